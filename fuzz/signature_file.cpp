// Arbitrary bytes as a module's detached signature (FILE.p7s): the trust
// check and the certificate calls the signer search makes must refuse or
// accept them without a crash, a leak or a hang.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "orv_win32.h"

namespace {

struct Scratch {
  Scratch() {
    char folder[] = "/tmp/orv_fuzz_signature_XXXXXX";
    if (mkdtemp(folder) == nullptr) std::abort();
    path = folder;
    module = path + "/module.so";
    std::FILE* file = std::fopen(module.c_str(), "wb");
    std::fputs("a module's bytes", file);
    std::fclose(file);
    wideModule.assign(module.begin(), module.end());
    setenv("ORV_REGISTRY_DIR", path.c_str(), 1);  // no trust anchors
  }
  std::string path, module;
  std::u16string wideModule;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Scratch scratch;
  std::FILE* signature = std::fopen((scratch.module + ".p7s").c_str(), "wb");
  if (signature == nullptr) return 0;
  std::fwrite(data, 1, size, signature);
  std::fclose(signature);

  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = scratch.wideModule.c_str();
  WINTRUST_DATA trust{};
  trust.cbStruct = sizeof trust;
  trust.dwUIChoice = WTD_UI_NONE;
  trust.dwUnionChoice = WTD_CHOICE_FILE;
  trust.pFile = &file;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WinVerifyTrust(nullptr, &action, &trust);

  DWORD encoding = 0;
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  if (CryptQueryObject(CERT_QUERY_OBJECT_FILE, scratch.wideModule.c_str(), CERT_QUERY_CONTENT_FLAG_ALL,
                       CERT_QUERY_FORMAT_FLAG_ALL, 0, &encoding, nullptr, nullptr, &store, &message, nullptr)) {
    DWORD infoSize = 0;
    if (CryptMsgGetParam(message, CMSG_SIGNER_CERT_INFO_PARAM, 0, nullptr, &infoSize) && infoSize < (1u << 20)) {
      std::string info(infoSize, '\0');
      if (CryptMsgGetParam(message, CMSG_SIGNER_CERT_INFO_PARAM, 0, info.data(), &infoSize)) {
        PCCERT_CONTEXT signer =
            CertFindCertificateInStore(store, encoding, 0, CERT_FIND_SUBJECT_CERT, info.data(), nullptr);
        if (signer != nullptr) {
          CERT_CHAIN_PARA parameters{};
          parameters.cbSize = sizeof parameters;
          PCCERT_CHAIN_CONTEXT chain = nullptr;
          if (CertGetCertificateChain(nullptr, signer, nullptr, store, &parameters, 0, nullptr, &chain))
            CertFreeCertificateChain(chain);
          CertFreeCertificateContext(signer);
        }
      }
    }
    const std::u16string name = u"HALVIK";
    CertFreeCertificateContext(
        CertFindCertificateInStore(store, encoding, 0, CERT_FIND_SUBJECT_STR_W, name.c_str(), nullptr));
    CryptMsgClose(message);
    CertCloseStore(store, CERT_CLOSE_STORE_FORCE_FLAG);
  }
  return 0;
}
