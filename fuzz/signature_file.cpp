// Arbitrary bytes as a module's detached signature (FILE.p7s): the trust
// check, through the path and through a held handle, with the verified
// signer's chain read from the provider state as the signer search reads it,
// and the certificate calls, must refuse or accept them without a crash, a
// leak or a hang. The trust folder holds one throw-away root; the seed
// "accepted" is its "HALVIK" certificate's signature over the module's
// bytes, so the accepting branch is reached from the start.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "orv_win32.h"

namespace {

const char kTrustAnchor[] =
    "-----BEGIN CERTIFICATE-----\n"
    "MIIBbzCCARSgAwIBAgIUfPC6eH+MJnV3THUA+T3g1WBQq5IwCgYIKoZIzj0EAwIw\n"
    "FDESMBAGA1UEAwwJRnV6eiBSb290MCAXDTI2MTIwODE0MTE0OFoYDzIxMjYxMTE0\n"
    "MTQxMTQ4WjAUMRIwEAYDVQQDDAlGdXp6IFJvb3QwWTATBgcqhkjOPQIBBggqhkjO\n"
    "PQMBBwNCAATvC5ZYDB3eN+ySS/PWCF88h8nym8O6P12LJQYY0Sdsx9heNgLCiRCK\n"
    "ey8afUL1YqdQbEUVM8e4mbGMdYCvbUuIo0IwQDAPBgNVHRMBAf8EBTADAQH/MA4G\n"
    "A1UdDwEB/wQEAwIBBjAdBgNVHQ4EFgQUWwVW96EkOuebwINCBDghU2Fp2xYwCgYI\n"
    "KoZIzj0EAwIDSQAwRgIhAOjkiqTjns4kZie3i+EekRvNUS0QOjkE7Bxhsm/9NQ+t\n"
    "AiEA1J/lShcXaSjsbJxKShikZ3OXegmZX1rf8ezc6un+B/E=\n"
    "-----END CERTIFICATE-----\n";

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
    setenv("ORV_REGISTRY_DIR", path.c_str(), 1);
    mkdir((path + "/trust").c_str(), 0755);
    std::FILE* anchor = std::fopen((path + "/trust/root.pem").c_str(), "wb");
    std::fputs(kTrustAnchor, anchor);
    std::fclose(anchor);
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

  // As the signed-file check asks: through a held handle, keeping the state.
  file.hFile = CreateFileW(scratch.wideModule.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  trust.dwStateAction = WTD_STATEACTION_VERIFY;
  if (WinVerifyTrust(nullptr, &action, &trust) == 0) {
    CRYPT_PROVIDER_SGNR* signer =
        WTHelperGetProvSignerFromChain(WTHelperProvDataFromStateData(trust.hWVTStateData), 0, FALSE, 0);
    HCERTSTORE chain = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    for (DWORD i = 0; signer != nullptr && i < signer->csCertChain; ++i)
      CertAddCertificateContextToStore(chain, signer->pasCertChain[i].pCert, CERT_STORE_ADD_ALWAYS, nullptr);
    const std::u16string maker = u"HALVIK";
    CertFreeCertificateContext(
        CertFindCertificateInStore(chain, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_STR_W, maker.c_str(), nullptr));
    CertCloseStore(chain, CERT_CLOSE_STORE_FORCE_FLAG);
  }
  trust.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(nullptr, &action, &trust);
  CloseHandle(file.hFile);

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
