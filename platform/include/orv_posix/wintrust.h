// Signature verification (wintrust, softpub.h) over OpenSSL. ELF files carry
// no Authenticode, so a file's signature is a detached CMS (PKCS#7)
// signature in FILE.p7s beside it, DER or PEM, made for example with
//   openssl cms -sign -binary -outform DER -in FILE -out FILE.p7s -signer CERT -inkey KEY
//
// Trust anchors are only the certificates in the PEM files (*.pem) of one
// machine-scope folder: $ORV_REGISTRY_DIR/trust/ when that variable is set
// (the variable that also moves the registry), else /etc/orv/trust/. Files
// or a folder that others may write in are ignored. Any certificate placed
// there is an anchor, whether self-signed or not. The system's TLS roots
// vouch for web servers, not for code, and are never used.
#pragma once

#include "orv_posix/base.h"
#include "orv_posix/wincrypt.h"

struct HWND__;
typedef HWND__* HWND;

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};

#define WINTRUST_ACTION_GENERIC_VERIFY_V2                                          \
  {                                                                                \
    0x00AAC56B, 0xCD44, 0x11D0, { 0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE } \
  }

#define WTD_UI_ALL 1u
#define WTD_UI_NONE 2u
#define WTD_UI_NOBAD 3u
#define WTD_UI_NOGOOD 4u
#define WTD_REVOKE_NONE 0u
#define WTD_REVOKE_WHOLECHAIN 1u
#define WTD_CHOICE_FILE 1u
#define WTD_CHOICE_CATALOG 2u
#define WTD_CHOICE_BLOB 3u
#define WTD_CHOICE_SIGNER 4u
#define WTD_CHOICE_CERT 5u
#define WTD_STATEACTION_IGNORE 0u
#define WTD_STATEACTION_VERIFY 1u
#define WTD_STATEACTION_CLOSE 2u
#define WTD_REVOCATION_CHECK_NONE 0x00000010u

#define TRUST_E_PROVIDER_UNKNOWN (static_cast<HRESULT>(0x800B0001u))
#define TRUST_E_SUBJECT_FORM_UNKNOWN (static_cast<HRESULT>(0x800B0003u))
#define TRUST_E_NOSIGNATURE (static_cast<HRESULT>(0x800B0100u))
#define TRUST_E_NO_SIGNER_CERT (static_cast<HRESULT>(0x80096002u))
#define TRUST_E_CERT_SIGNATURE (static_cast<HRESULT>(0x80096004u))
#define TRUST_E_BAD_DIGEST (static_cast<HRESULT>(0x80096010u))
#define TRUST_E_BASIC_CONSTRAINTS (static_cast<HRESULT>(0x80096019u))
#define CERT_E_EXPIRED (static_cast<HRESULT>(0x800B0101u))
#define CERT_E_UNTRUSTEDROOT (static_cast<HRESULT>(0x800B0109u))
#define CERT_E_WRONG_USAGE (static_cast<HRESULT>(0x800B0110u))

struct WINTRUST_FILE_INFO {
  DWORD cbStruct;
  LPCWSTR pcwszFilePath;
  HANDLE hFile;
  GUID* pgKnownSubject;
};
typedef WINTRUST_FILE_INFO* PWINTRUST_FILE_INFO;

struct WINTRUST_DATA {
  DWORD cbStruct;
  LPVOID pPolicyCallbackData;
  LPVOID pSIPClientData;
  DWORD dwUIChoice;
  DWORD fdwRevocationChecks;
  DWORD dwUnionChoice;
  union {
    WINTRUST_FILE_INFO* pFile;
    void* pCatalog;
    void* pBlob;
    void* pSgnr;
    void* pCert;
  };
  DWORD dwStateAction;
  HANDLE hWVTStateData;
  WCHAR* pwszURLReference;
  DWORD dwProvFlags;
  DWORD dwUIContext;
};
typedef WINTRUST_DATA* PWINTRUST_DATA;

// WINTRUST_ACTION_GENERIC_VERIFY_V2 on a file (WTD_CHOICE_FILE). With a file
// handle (hFile) the file's bytes are read through that handle, so that what
// is checked is the file the caller holds open; the path then names only
// the signature file beside it. Results:
//   0                        signed by exactly one signer, the file is what
//                            was signed, the signer chains to an anchor and
//                            may sign code (no EKU, or code signing)
//   CRYPT_E_FILE_ERROR       the file, or its signature file, cannot be read
//                            (missing, not a regular file, no permission)
//   TRUST_E_NOSIGNATURE      no FILE.p7s, or one that is empty, larger than
//                            1 MiB, not a CMS signed-data structure, not
//                            detached, or without exactly one signer
//   TRUST_E_NO_SIGNER_CERT   the signer's certificate is not in the signature
//   TRUST_E_BAD_DIGEST       the signature does not match the file
//   CERT_E_UNTRUSTEDROOT     the signer chains to no anchor
//   CERT_E_EXPIRED, TRUST_E_CERT_SIGNATURE, TRUST_E_BASIC_CONSTRAINTS,
//   CERT_E_WRONG_USAGE       the chain's other faults
// Revocation is never checked. WTD_STATEACTION_VERIFY keeps, after a
// successful check, the provider's state in hWVTStateData (null otherwise):
// one signer whose certificate chain is the one the check verified, from the
// signing certificate to its anchor. WTD_STATEACTION_CLOSE releases it. The
// result is also the last error.
LONG WinVerifyTrust(HWND hwnd, GUID* pgActionID, LPVOID pWVTData);

// The provider's state kept by WTD_STATEACTION_VERIFY: the fields that the
// signer and its verified chain are read from.
struct CRYPT_PROVIDER_CERT {
  DWORD cbStruct;
  PCCERT_CONTEXT pCert;
};
struct CRYPT_PROVIDER_SGNR {
  DWORD cbStruct;
  DWORD csCertChain;
  CRYPT_PROVIDER_CERT* pasCertChain;
};
struct CRYPT_PROVIDER_DATA {
  DWORD cbStruct;
  DWORD csSigners;
  CRYPT_PROVIDER_SGNR* pasSigners;
};
typedef CRYPT_PROVIDER_DATA* PCRYPT_PROVIDER_DATA;
typedef CRYPT_PROVIDER_SGNR* PCRYPT_PROVIDER_SGNR;

// The state behind hWVTStateData, or null.
CRYPT_PROVIDER_DATA* WTHelperProvDataFromStateData(HANDLE hStateData);
// Signer idxSigner of the state (no countersigners here), or null.
CRYPT_PROVIDER_SGNR* WTHelperGetProvSignerFromChain(CRYPT_PROVIDER_DATA* pProvData, DWORD idxSigner,
                                                    BOOL fCounterSigner, DWORD idxCounterSigner);
