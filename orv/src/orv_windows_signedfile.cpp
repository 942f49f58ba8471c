#include "orv_windows_signedfile.h"

#include "orv_catch.h"
#include "orv_platform/trust_anchors.h"
#include "orv_trace_scope.h"

// initialize and verifySignature, unlike most of the library, pass foreign
// exceptions on to their caller, as a written CORVUnhandledExceptionException.
#define ORV_SIGNED_FILE_CATCH(result)                                                 \
  catch (CORVLogging & caught) {                                                      \
    orvLogCaught(caught);                                                             \
    result = false;                                                                   \
  }                                                                                   \
  catch (...) {                                                                       \
    ORV_THROW_IN_PLACE(CORVUnhandledExceptionException, ORV_NO_ERROR_CODE, __LINE__); \
  }

namespace {

// What WinVerifyTrust said, as the library's exception.
void raiseTrustFailure(LONG result, ULONG line) {
  switch (result) {
    case 0: return;
    case TRUST_E_BAD_DIGEST: ORV_THROW_IN_PLACE(CBadDigestException, ORV_NO_ERROR_CODE, line);
    case TRUST_E_NOSIGNATURE: ORV_THROW_IN_PLACE(CNoSignatureException, ORV_NO_ERROR_CODE, line);
    case CRYPT_E_FILE_ERROR: ORV_THROW_IN_PLACE(CSignatureFileErrorException, ORV_NO_ERROR_CODE, line);
    default: ORV_THROW_IN_PLACE(CWinVerifyTrustException, result, line);
  }
}

void raiseCertQuery(ULONG line) { ORV_THROW_IN_PLACE(CCertQueryException, GetLastError(), line); }

// One trust check whose provider state (the signer and the chain it
// verified) is kept until the object goes.
class TrustCheck {
 public:
  TrustCheck(const CORVWCharString& strFilename, HANDLE hFile) {
    m_file.cbStruct = sizeof m_file;
    m_file.pcwszFilePath = strFilename.getTextOrEmpty();
    m_file.hFile = hFile;
    m_data.cbStruct = sizeof m_data;
    m_data.dwUIChoice = WTD_UI_NONE;
    m_data.fdwRevocationChecks = WTD_REVOKE_NONE;
    m_data.dwUnionChoice = WTD_CHOICE_FILE;
    m_data.pFile = &m_file;
    m_data.dwStateAction = WTD_STATEACTION_VERIFY;
    m_data.dwProvFlags = WTD_REVOCATION_CHECK_NONE;
  }
  ~TrustCheck() {
    m_data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(nullptr, &m_action, &m_data);
  }
  TrustCheck(const TrustCheck&) = delete;
  TrustCheck& operator=(const TrustCheck&) = delete;

  LONG verify() { return WinVerifyTrust(nullptr, &m_action, &m_data); }

  // The signer's chain as verified, from its certificate up to the anchor.
  const CRYPT_PROVIDER_SGNR& signer() const {
    CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(m_data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* signer = provider != nullptr ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    if (signer == nullptr || signer->csCertChain == 0 || signer->pasCertChain == nullptr) raiseCertQuery(__LINE__);
    return *signer;
  }

 private:
  GUID m_action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_FILE_INFO m_file{};
  WINTRUST_DATA m_data{};
};

// A store of copies of the chain's certificates, closed on every way out.
struct ChainStore {
  ~ChainStore() {
    if (store != nullptr) CertCloseStore(store, CERT_CLOSE_STORE_FORCE_FLAG);  // frees what was found in it
  }
  HCERTSTORE store = nullptr;
};

bool chainNamesSigner(const CRYPT_PROVIDER_SGNR& signer, const CORVWCharString& strSignerName) {
  ChainStore chain;
  chain.store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
  if (chain.store == nullptr) raiseCertQuery(__LINE__);
  for (DWORD i = 0; i < signer.csCertChain; ++i) {
    PCCERT_CONTEXT certificate = signer.pasCertChain[i].pCert;
    if (certificate == nullptr ||
        !CertAddCertificateContextToStore(chain.store, certificate, CERT_STORE_ADD_ALWAYS, nullptr))
      raiseCertQuery(__LINE__);
  }
  return CertFindCertificateInStore(chain.store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, CERT_FIND_SUBJECT_STR_W,
                                    strSignerName.getTextOrEmpty(), nullptr) != nullptr;
}

}  // namespace

CORVSignedFile::CORVSignedFile() : m_hHeldFile(INVALID_HANDLE_VALUE) {
  ORV_TRACE("CORVSignedFile", "Default Constructor");
}

CORVSignedFile::CORVSignedFile(const CORVWCharString& strFilename)
    : CORVFile(strFilename), m_hHeldFile(INVALID_HANDLE_VALUE) {
  ORV_TRACE("CORVSignedFile", "Constructor");
  if (!initialize()) ORV_THROW_IN_PLACE(CORVSignedFileInitException, ORV_NO_ERROR_CODE, __LINE__);
}

CORVSignedFile::~CORVSignedFile() {
  ORV_TRACE("CORVSignedFile", "~CORVSignedFile");
  if (m_hHeldFile != INVALID_HANDLE_VALUE) CloseHandle(m_hHeldFile);
}

HANDLE CORVSignedFile::heldFile() {
  if (m_hHeldFile == INVALID_HANDLE_VALUE)
    m_hHeldFile = CreateFileW(m_strFilename.getTextOrEmpty(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  return m_hHeldFile;
}

void CORVSignedFile::raiseInvalidFile(ULONG line) const {
  throw CORVSignedFileInvalidFileException(m_strFilename.getTextOrEmpty(), ORV_SOURCE_FILE, line, ORV_OUTPUT_TEXT, true,
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
    // A file that cannot be held (a folder, no permission, shared for
    // writing elsewhere) is one whose check could not vouch for what loads.
    const HANDLE hFile = heldFile();
    if (hFile == INVALID_HANDLE_VALUE) ORV_THROW_IN_PLACE(CSignatureFileErrorException, ORV_NO_ERROR_CODE, __LINE__);
    TrustCheck check(m_strFilename, hFile);
    const LONG trust = check.verify();
    for (const auto& anchor : orv_platform::takeIgnoredTrustAnchors())
      CORVIgnoredTrustAnchorException(anchor.c_str(), ORV_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    raiseTrustFailure(trust, __LINE__);
    const bool signerFound = strSignerName.getLength() == 0 || chainNamesSigner(check.signer(), strSignerName);
    bSignerFound = signerFound;
    passed = true;
  }
  ORV_SIGNED_FILE_CATCH(passed)
  ORV_TRACE_RESULT(passed);
  return passed;
}
