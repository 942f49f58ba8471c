// WinVerifyTrust over OpenSSL: a detached CMS signature beside the file,
// verified against the file's bytes and chained to the trust anchors.
#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "cert_store.h"
#include "core/kernel_object.h"
#include "core/posix_error.h"
#include "core/posix_io.h"
#include "files/held_file.h"
#include "orv_win32.h"

namespace {

using orv_posix::BioPtr;
using orv_posix::X509StackPtr;

bool isGenericVerifyV2(const GUID* action) {
  static const GUID kGenericVerifyV2 = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  return action != nullptr && std::memcmp(action, &kGenericVerifyV2, sizeof(GUID)) == 0;
}

// A signer certificate with an extended key usage must allow code signing.
bool maySignCode(X509* signer) {
  if ((X509_get_extension_flags(signer) & EXFLAG_XKUSAGE) == 0) return true;
  return (X509_get_extended_key_usage(signer) & (XKU_CODE_SIGN | XKU_ANYEKU)) != 0;
}

// Large reads: the digest takes the file in 4 KiB pieces otherwise, one
// system call each, which costs more than the hashing.
constexpr long kContentReadBytes = 1 << 20;

// The signature over the file's bytes, read as a stream from the open file.
HRESULT verifyDigest(CMS_ContentInfo* message, int fileFd) {
  BIO* file = BIO_new_fd(fileFd, BIO_CLOSE);
  if (file == nullptr) {
    close(fileFd);
    return CRYPT_E_FILE_ERROR;
  }
  BIO* buffer = BIO_new(BIO_f_buffer());
  if (buffer == nullptr || BIO_set_read_buffer_size(buffer, kContentReadBytes) != 1) {
    BIO_free(buffer);
    BIO_free(file);
    return CRYPT_E_FILE_ERROR;
  }
  BioPtr content(BIO_push(buffer, file));  // frees the whole chain
  if (CMS_verify(message, nullptr, nullptr, content.get(), nullptr, CMS_BINARY | CMS_NO_SIGNER_CERT_VERIFY) == 1)
    return 0;
  const unsigned long error = ERR_peek_last_error();
  if (ERR_GET_LIB(error) == ERR_LIB_CMS && ERR_GET_REASON(error) == CMS_R_SIGNER_CERTIFICATE_NOT_FOUND)
    return TRUST_E_NO_SIGNER_CERT;
  return TRUST_E_BAD_DIGEST;
}

// What WTD_STATEACTION_VERIFY keeps: the one signer and the chain that the
// check verified, as certificate contexts of their own.
class ProviderState : public orv_posix::KernelObject {
 public:
  explicit ProviderState(STACK_OF(X509) * chain) {
    for (int i = 0; i < sk_X509_num(chain); ++i) {
      std::shared_ptr<orv_posix::CertificateRecord> record =
          orv_posix::makeCertificateRecord(sk_X509_value(chain, i), nullptr);
      if (!record) continue;
      chain_.push_back(CRYPT_PROVIDER_CERT{sizeof(CRYPT_PROVIDER_CERT), orv_posix::handOutContext(record)});
    }
    signer_.cbStruct = sizeof signer_;
    signer_.csCertChain = static_cast<DWORD>(chain_.size());
    signer_.pasCertChain = chain_.empty() ? nullptr : chain_.data();
    data_.cbStruct = sizeof data_;
    data_.csSigners = 1;
    data_.pasSigners = &signer_;
  }
  ~ProviderState() override {
    for (const CRYPT_PROVIDER_CERT& certificate : chain_) orv_posix::releaseContext(certificate.pCert);
  }
  CRYPT_PROVIDER_DATA* data() { return &data_; }

 private:
  std::vector<CRYPT_PROVIDER_CERT> chain_;
  CRYPT_PROVIDER_SGNR signer_{};
  CRYPT_PROVIDER_DATA data_{};
};

// The file's bytes through a descriptor of its own (its own offset): from
// the caller's handle when it gave one, else from the path.
int openContent(const std::string& path, HANDLE held) {
  if (held == nullptr || held == INVALID_HANDLE_VALUE) return orv_posix::openRegularFile(path).release();
  const orv_posix::FileDescriptor duplicate(orv_posix::duplicateFileDescriptor(held));
  if (!duplicate.valid()) return -1;
  return orv_posix::openRegularFile("/proc/self/fd/" + std::to_string(duplicate.get())).release();
}

// The chain kept for the caller when it asked for the state.
HRESULT verifyFile(const std::string& path, HANDLE held, X509StackPtr* verifiedChain) {
  const int fileFd = openContent(path, held);
  if (fileFd < 0) return CRYPT_E_FILE_ERROR;
  orv_posix::DetachedSignature signature = orv_posix::readDetachedSignature(path);
  if (signature.status != 0) {
    close(fileFd);
    return signature.status;
  }
  CMS_ContentInfo* message = signature.message.get();
  const HRESULT digest = verifyDigest(message, fileFd);
  if (digest != 0) return digest;

  // The certificate that CMS_verify checked the signature with, found among
  // those carried; the message keeps owning it. Nothing is looked up again.
  STACK_OF(X509)* signers = CMS_get0_signers(message);
  X509* signer = signers != nullptr && sk_X509_num(signers) == 1 ? sk_X509_value(signers, 0) : nullptr;
  sk_X509_free(signers);
  if (signer == nullptr) return TRUST_E_NO_SIGNER_CERT;
  X509StackPtr carried(CMS_get1_certs(message));
  orv_posix::ChainResult chain = orv_posix::buildChain(signer, carried.get(), nullptr);
  if (chain.error != X509_V_OK) return orv_posix::trustResultOf(chain.error);
  if (!maySignCode(signer)) return CERT_E_WRONG_USAGE;
  if (verifiedChain != nullptr) *verifiedChain = std::move(chain.chain);
  return 0;
}

LONG verdict(HRESULT result) {
  SetLastError(static_cast<DWORD>(result));
  return result;
}

}  // namespace

LONG WinVerifyTrust(HWND, GUID* pgActionID, LPVOID pWVTData) {
  orv_posix::ErrnoKeeper keepErrno;
  if (!isGenericVerifyV2(pgActionID)) return verdict(TRUST_E_PROVIDER_UNKNOWN);
  WINTRUST_DATA* data = static_cast<WINTRUST_DATA*>(pWVTData);
  if (data == nullptr || data->cbStruct < offsetof(WINTRUST_DATA, dwProvFlags) + sizeof(DWORD))
    return verdict(E_INVALIDARG);
  if (data->dwStateAction == WTD_STATEACTION_CLOSE) {
    if (data->hWVTStateData != nullptr && orv_posix::lookupHandleAs<ProviderState>(data->hWVTStateData))
      CloseHandle(data->hWVTStateData);
    data->hWVTStateData = nullptr;
    return verdict(0);
  }
  const bool keepsState = data->dwStateAction == WTD_STATEACTION_VERIFY;
  if (keepsState) data->hWVTStateData = nullptr;
  if (data->dwUnionChoice != WTD_CHOICE_FILE) return verdict(TRUST_E_SUBJECT_FORM_UNKNOWN);
  if (data->pFile == nullptr || data->pFile->pcwszFilePath == nullptr) return verdict(E_INVALIDARG);
  std::string path;
  if (!orv_posix::utf8PathOf(data->pFile->pcwszFilePath, path) || path.empty()) return verdict(CRYPT_E_FILE_ERROR);
  X509StackPtr chain;
  const HRESULT result = verifyFile(path, data->pFile->hFile, keepsState ? &chain : nullptr);
  if (result == 0 && keepsState)
    data->hWVTStateData = orv_posix::registerHandle(std::make_shared<ProviderState>(chain.get()));
  ERR_clear_error();
  return verdict(result);
}

CRYPT_PROVIDER_DATA* WTHelperProvDataFromStateData(HANDLE hStateData) {
  std::shared_ptr<ProviderState> state = orv_posix::lookupHandleAs<ProviderState>(hStateData);
  return state ? state->data() : nullptr;  // lives until WTD_STATEACTION_CLOSE
}

CRYPT_PROVIDER_SGNR* WTHelperGetProvSignerFromChain(CRYPT_PROVIDER_DATA* pProvData, DWORD idxSigner,
                                                    BOOL fCounterSigner, DWORD) {
  if (pProvData == nullptr || fCounterSigner || idxSigner >= pProvData->csSigners) return nullptr;
  return &pProvData->pasSigners[idxSigner];
}
