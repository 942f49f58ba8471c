// The least a native messaging host can do: read each frame and write it
// back. The record benchmarks measure the real host against it. Built with
// ORV_FLOOR it first does what no start of the real host can avoid: its
// libraries loaded and OpenSSL's one-time set-up for a signature check.
#include <cstdint>
#include <cstdio>
#include <string>

#ifdef ORV_FLOOR
#include <json/json.h>
#include <openssl/crypto.h>
#include <openssl/x509.h>

#include "orv_win32.h"

namespace {

// A public key (the generator of P-256): decoding it builds OpenSSL's
// decoder and key management tables, as the first certificate read does.
constexpr unsigned char kPublicKey[] = {
    0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48, 0xce,
    0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04, 0x6b, 0x17, 0xd1, 0xf2, 0xe1, 0x2c, 0x42, 0x47, 0xf8, 0xbc, 0xe6,
    0xe5, 0x63, 0xa4, 0x40, 0xf2, 0x77, 0x03, 0x7d, 0x81, 0x2d, 0xeb, 0x33, 0xa0, 0xf4, 0xa1, 0x39, 0x45, 0xd8, 0x98,
    0xc2, 0x96, 0x4f, 0xe3, 0x42, 0xe2, 0xfe, 0x1a, 0x7f, 0x9b, 0x8e, 0xe7, 0xeb, 0x4a, 0x7c, 0x0f, 0x9e, 0x16, 0x2b,
    0xce, 0x33, 0x57, 0x6b, 0x31, 0x5e, 0xce, 0xcb, 0xb6, 0x40, 0x68, 0x37, 0xbf, 0x51, 0xf5};

void setUpAsTheHostMust() {
  SetLastError(0);           // the library (and SQLite with it) loaded
  const Json::Value loaded;  // JsonCpp loaded
  OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CONFIG, nullptr);
  const unsigned char* cursor = kPublicKey;
  EVP_PKEY_free(d2i_PUBKEY(nullptr, &cursor, sizeof kPublicKey));
}

}  // namespace
#endif

int main() {
#ifdef ORV_FLOOR
  setUpAsTheHostMust();
#endif
  for (;;) {
    uint32_t length = 0;
    if (std::fread(&length, sizeof length, 1, stdin) != 1 || length == 0) return 0;
    std::string body(length, '\0');
    if (std::fread(body.data(), 1, length, stdin) != length) return 0;
    std::fwrite(&length, sizeof length, 1, stdout);
    std::fwrite(body.data(), 1, length, stdout);
    std::fflush(stdout);
  }
}
