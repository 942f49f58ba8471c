// CryptQueryObject, CryptMsgGetParam and CryptMsgClose: a file's detached
// signature opened as a message and a store of the certificates it carries.
#include <openssl/err.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cert_store.h"
#include "core/posix_error.h"
#include "core/posix_io.h"

namespace {

using orv_posix::CmsPtr;

class CryptMessage : public orv_posix::KernelObject {
 public:
  explicit CryptMessage(CmsPtr message) : message(std::move(message)) {}
  const CmsPtr message;
};

BOOL fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

BOOL failWith(HRESULT error) { return fail(static_cast<DWORD>(error)); }

// The signer's issuer and serial number; a signer named by its key
// identifier is looked up among the certificates the message carries.
bool signerIdOf(CMS_ContentInfo* message, CMS_SignerInfo* signer, std::vector<BYTE>& issuer,
                std::vector<BYTE>& serial) {
  ASN1_OCTET_STRING* keyId = nullptr;
  X509_NAME* issuerName = nullptr;
  ASN1_INTEGER* serialNumber = nullptr;
  if (CMS_SignerInfo_get0_signer_id(signer, &keyId, &issuerName, &serialNumber) != 1) return false;
  if (issuerName != nullptr && serialNumber != nullptr) {
    issuer = orv_posix::derNameOf(issuerName);
    serial = orv_posix::serialNumberOf(serialNumber);
    return !issuer.empty();
  }
  orv_posix::X509StackPtr carried(CMS_get1_certs(message));
  for (int i = 0; carried && i < sk_X509_num(carried.get()); ++i) {
    X509* certificate = sk_X509_value(carried.get(), i);
    if (CMS_SignerInfo_cert_cmp(signer, certificate) == 0) {
      issuer = orv_posix::derNameOf(X509_get_issuer_name(certificate));
      serial = orv_posix::serialNumberOf(X509_get0_serialNumber(certificate));
      return !issuer.empty();
    }
  }
  return false;
}

// A CERT_INFO with the two blobs placed behind it in the caller's buffer.
BOOL deliverSignerCertInfo(const std::vector<BYTE>& issuer, const std::vector<BYTE>& serial, void* pvData,
                           DWORD* pcbData) {
  const size_t needed = sizeof(CERT_INFO) + issuer.size() + serial.size();
  const DWORD offered = *pcbData;
  *pcbData = static_cast<DWORD>(needed);
  if (pvData == nullptr) return TRUE;
  if (offered < needed) return fail(ERROR_MORE_DATA);
  BYTE* bytes = static_cast<BYTE*>(pvData);
  CERT_INFO* info = static_cast<CERT_INFO*>(pvData);
  *info = CERT_INFO{};
  BYTE* issuerBytes = bytes + sizeof(CERT_INFO);
  BYTE* serialBytes = issuerBytes + issuer.size();
  std::memcpy(issuerBytes, issuer.data(), issuer.size());
  if (!serial.empty()) std::memcpy(serialBytes, serial.data(), serial.size());
  info->Issuer = CRYPTOAPI_BLOB{static_cast<DWORD>(issuer.size()), issuerBytes};
  info->SerialNumber = CRYPTOAPI_BLOB{static_cast<DWORD>(serial.size()), serial.empty() ? nullptr : serialBytes};
  return TRUE;
}

BOOL deliverDword(DWORD value, void* pvData, DWORD* pcbData) {
  const DWORD offered = *pcbData;
  *pcbData = sizeof(DWORD);
  if (pvData == nullptr) return TRUE;
  if (offered < sizeof(DWORD)) return fail(ERROR_MORE_DATA);
  std::memcpy(pvData, &value, sizeof value);
  return TRUE;
}

}  // namespace

BOOL CryptQueryObject(DWORD dwObjectType, const void* pvObject, DWORD dwExpectedContentTypeFlags,
                      DWORD dwExpectedFormatTypeFlags, DWORD, DWORD* pdwMsgAndCertEncodingType, DWORD* pdwContentType,
                      DWORD* pdwFormatType, HCERTSTORE* phCertStore, HCRYPTMSG* phMsg, const void** ppvContext) {
  orv_posix::ErrnoKeeper keepErrno;
  if (dwObjectType != CERT_QUERY_OBJECT_FILE || pvObject == nullptr || ppvContext != nullptr)
    return failWith(E_INVALIDARG);
  std::string path;
  if (!orv_posix::utf8PathOf(static_cast<LPCWSTR>(pvObject), path) || path.empty()) return fail(ERROR_INVALID_NAME);

  if (!orv_posix::openRegularFile(path).valid())
    return fail(errno == EISDIR ? ERROR_ACCESS_DENIED : orv_posix::win32ErrorFromErrno(errno, path));
  orv_posix::DetachedSignature signature = orv_posix::readDetachedSignature(path);
  if (signature.status == CRYPT_E_FILE_ERROR) return failWith(CRYPT_E_FILE_ERROR);
  const DWORD format = signature.pem ? CERT_QUERY_FORMAT_BASE64_ENCODED : CERT_QUERY_FORMAT_BINARY;
  if (signature.status != 0 || (dwExpectedContentTypeFlags & CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED) == 0 ||
      (dwExpectedFormatTypeFlags & (1u << format)) == 0)
    return failWith(CRYPT_E_NO_MATCH);

  if (pdwMsgAndCertEncodingType != nullptr) *pdwMsgAndCertEncodingType = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
  if (pdwContentType != nullptr) *pdwContentType = CERT_QUERY_CONTENT_PKCS7_SIGNED_EMBED;
  if (pdwFormatType != nullptr) *pdwFormatType = format;
  if (phCertStore != nullptr) {
    orv_posix::X509StackPtr carried(CMS_get1_certs(signature.message.get()));
    *phCertStore = orv_posix::openStoreOf(carried.get());
  }
  if (phMsg != nullptr)
    *phMsg = orv_posix::registerHandle(std::make_shared<CryptMessage>(std::move(signature.message)));
  ERR_clear_error();
  return TRUE;
}

BOOL CryptMsgGetParam(HCRYPTMSG hCryptMsg, DWORD dwParamType, DWORD dwIndex, void* pvData, DWORD* pcbData) {
  std::shared_ptr<CryptMessage> message = orv_posix::lookupHandleAs<CryptMessage>(hCryptMsg);
  if (!message) return FALSE;
  if (pcbData == nullptr) return failWith(E_INVALIDARG);
  STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(message->message.get());
  const int count = signers == nullptr ? 0 : sk_CMS_SignerInfo_num(signers);
  switch (dwParamType) {
    case CMSG_SIGNER_COUNT_PARAM: return deliverDword(static_cast<DWORD>(count), pvData, pcbData);
    case CMSG_SIGNER_CERT_INFO_PARAM: {
      if (dwIndex >= static_cast<DWORD>(count)) return failWith(CRYPT_E_INVALID_INDEX);
      std::vector<BYTE> issuer, serial;
      const bool known = signerIdOf(message->message.get(), sk_CMS_SignerInfo_value(signers, static_cast<int>(dwIndex)),
                                    issuer, serial);
      ERR_clear_error();
      if (!known) return failWith(CRYPT_E_NOT_FOUND);
      return deliverSignerCertInfo(issuer, serial, pvData, pcbData);
    }
    default: return failWith(CRYPT_E_INVALID_MSG_TYPE);
  }
}

BOOL CryptMsgClose(HCRYPTMSG hCryptMsg) {
  if (hCryptMsg == nullptr) return TRUE;
  if (!orv_posix::lookupHandleAs<CryptMessage>(hCryptMsg)) return FALSE;
  return CloseHandle(hCryptMsg);
}
