#include "orv_windows_signedfile.h"

#include "orv_catch.h"
#include "orv_trace_scope.h"

// initialize and verifySignature, unlike most of the library, pass foreign
// exceptions on to their caller, as a written CORVUnhandledExceptionException.
#define ORV_SIGNED_FILE_CATCH(result)                                                 \
  catch (CORVLogging & caught) {                                                     \
    orvLogCaught(caught);                                                            \
    result = false;                                                                  \
  }                                                                                  \
  catch (...) {                                                                      \
    ORV_THROW_IN_PLACE(CORVUnhandledExceptionException, ORV_NO_ERROR_CODE, __LINE__); \
  }

namespace {

const WCHAR* textOf(const CORVWCharString& text) { return text.isValid() ? text.getBuffer() : ORV_W(""); }

// What WinVerifyTrust said, as the library's exception.
void raiseTrustFailure(LONG result, ULONG line) {
  switch (result) {
    case 0:
      return;
    case TRUST_E_BAD_DIGEST:
      ORV_THROW_IN_PLACE(CBadDigestException, ORV_NO_ERROR_CODE, line);
    case TRUST_E_NOSIGNATURE:
      ORV_THROW_IN_PLACE(CNoSignatureException, ORV_NO_ERROR_CODE, line);
    case CRYPT_E_FILE_ERROR:
      ORV_THROW_IN_PLACE(CSignatureFileErrorException, ORV_NO_ERROR_CODE, line);
    default:
      ORV_THROW_IN_PLACE(CWinVerifyTrustException, result, line);
  }
}

LONG verifyTrust(const CORVWCharString& strFilename) {
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = textOf(strFilename);
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = 0;
  data.dwProvFlags = WTD_REVOCATION_CHECK_NONE;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  return WinVerifyTrust(nullptr, &action, &data);
}

void raiseCertQuery(ULONG line) { ORV_THROW_IN_PLACE(CCertQueryException, GetLastError(), line); }

// Everything the signer search opens, released on every way out.
struct SignatureObjects {
  ~SignatureObjects() {
    if (chainStore != nullptr) CertCloseStore(chainStore, CERT_CLOSE_STORE_FORCE_FLAG);
    if (chain != nullptr) CertFreeCertificateChain(chain);
    if (signer != nullptr) CertFreeCertificateContext(signer);
    if (message != nullptr) CryptMsgClose(message);
    if (store != nullptr) CertCloseStore(store, CERT_CLOSE_STORE_FORCE_FLAG);  // frees what was found in it
  }
  DWORD encoding = 0;
  DWORD contentType = 0;
  DWORD formatType = 0;
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  PCCERT_CONTEXT signer = nullptr;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  HCERTSTORE chainStore = nullptr;
};

// The signing certificate, named by the message's signer information.
void findSigner(SignatureObjects& objects) {
  DWORD size = 0;
  if (!CryptMsgGetParam(objects.message, CMSG_SIGNER_CERT_INFO_PARAM, 0, nullptr, &size) || size == 0)
    raiseCertQuery(__LINE__);
  CORVBuffer<BYTE> signerInfo(size);
  if (!CryptMsgGetParam(objects.message, CMSG_SIGNER_CERT_INFO_PARAM, 0, signerInfo.getBuffer(), &size))
    raiseCertQuery(__LINE__);
  objects.signer = CertFindCertificateInStore(objects.store, objects.encoding, 0, CERT_FIND_SUBJECT_CERT,
                                              signerInfo.getBuffer(), nullptr);
  if (objects.signer == nullptr) raiseCertQuery(__LINE__);
}

// A store of the certificates of the signer's chain, built by the
// platform's chain engine from the signer up to its anchor.
void collectSignersChain(SignatureObjects& objects) {
  CERT_CHAIN_PARA parameters{};
  parameters.cbSize = sizeof parameters;
  if (!CertGetCertificateChain(nullptr, objects.signer, nullptr, objects.store, &parameters, 0, nullptr,
                               &objects.chain) ||
      objects.chain == nullptr || objects.chain->cChain == 0)
    raiseCertQuery(__LINE__);
  objects.chainStore = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
  if (objects.chainStore == nullptr) raiseCertQuery(__LINE__);
  const CERT_SIMPLE_CHAIN* signersChain = objects.chain->rgpChain[0];
  for (DWORD i = 0; i < signersChain->cElement; ++i)
    if (!CertAddCertificateContextToStore(objects.chainStore, signersChain->rgpElement[i]->pCertContext,
                                          CERT_STORE_ADD_ALWAYS, nullptr))
      raiseCertQuery(__LINE__);
}

bool chainNamesSigner(const CORVWCharString& strFilename, const CORVWCharString& strSignerName) {
  SignatureObjects objects;
  if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, textOf(strFilename), CERT_QUERY_CONTENT_FLAG_ALL,
                        CERT_QUERY_FORMAT_FLAG_ALL, 0, &objects.encoding, &objects.contentType,
                        &objects.formatType, &objects.store, &objects.message, nullptr))
    raiseCertQuery(__LINE__);
  findSigner(objects);
  collectSignersChain(objects);
  return CertFindCertificateInStore(objects.chainStore, objects.encoding, 0, CERT_FIND_SUBJECT_STR_W,
                                    textOf(strSignerName), nullptr) != nullptr;
}

}  // namespace

CORVSignedFile::CORVSignedFile() { ORV_TRACE("CORVSignedFile", "Default Constructor"); }

CORVSignedFile::CORVSignedFile(const CORVWCharString& strFilename) : CORVFile(strFilename) {
  ORV_TRACE("CORVSignedFile", "Constructor");
  if (!initialize()) ORV_THROW_IN_PLACE(CORVSignedFileInitException, ORV_NO_ERROR_CODE, __LINE__);
}

CORVSignedFile::~CORVSignedFile() { ORV_TRACE("CORVSignedFile", "~CORVSignedFile"); }

void CORVSignedFile::raiseInvalidFile(ULONG line) const {
  throw CORVSignedFileInvalidFileException(textOf(m_strFilename), ORV_SOURCE_FILE, line, ORV_OUTPUT_TEXT, true,
                                           false);
}

bool CORVSignedFile::initialize() {
  ORV_TRACE("CORVSignedFile", "initialize");
  bool valid = false;
  try {
    valid = isValidFile();
    if (!valid) raiseInvalidFile(__LINE__);
  }
  ORV_SIGNED_FILE_CATCH(valid)
  ORV_TRACE_RESULT(valid);
  return valid;
}

bool CORVSignedFile::verifySignature(const CORVWCharString& strSignerName, bool& bSignerFound) {
  ORV_TRACE("CORVSignedFile", "verifySignature");
  bSignerFound = false;
  bool passed = false;
  try {
    if (!isValidFile()) raiseInvalidFile(__LINE__);
    raiseTrustFailure(verifyTrust(m_strFilename), __LINE__);
    const bool signerFound = strSignerName.getLength() == 0 || chainNamesSigner(m_strFilename, strSignerName);
    bSignerFound = signerFound;
    passed = true;
  }
  ORV_SIGNED_FILE_CATCH(passed)
  ORV_TRACE_RESULT(passed);
  return passed;
}
