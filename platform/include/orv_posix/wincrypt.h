// Certificate stores, messages and chains (crypt32) for the signatures that
// wintrust.h verifies. Here a file's signature is a detached CMS (PKCS#7)
// signature in FILE.p7s beside it, DER or PEM, read with OpenSSL; trust
// anchors are described in wintrust.h.
#pragma once

#include "orv_posix/base.h"
#include "orv_posix/find.h"

typedef void* HCERTSTORE;
typedef void* HCRYPTMSG;
typedef void* HCERTCHAINENGINE;
typedef ULONG_PTR HCRYPTPROV_LEGACY;

#define HCCE_CURRENT_USER (reinterpret_cast<HCERTCHAINENGINE>(0))
#define HCCE_LOCAL_MACHINE (reinterpret_cast<HCERTCHAINENGINE>(1))

#define X509_ASN_ENCODING 0x00000001u
#define PKCS_7_ASN_ENCODING 0x00010000u

#define CERT_QUERY_OBJECT_FILE 0x00000001u
#define CERT_QUERY_OBJECT_BLOB 0x00000002u

#define CERT_QUERY_CONTENT_CERT 1u
#define CERT_QUERY_CONTENT_PKCS7_SIGNED 8u
#define CERT_QUERY_CONTENT_PKCS7_SIGNED_EMBED 10u
#define CERT_QUERY_CONTENT_FLAG_CERT (1u << CERT_QUERY_CONTENT_CERT)
#define CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED (1u << CERT_QUERY_CONTENT_PKCS7_SIGNED)
#define CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED (1u << CERT_QUERY_CONTENT_PKCS7_SIGNED_EMBED)
#define CERT_QUERY_CONTENT_FLAG_ALL 0x00003FFEu

#define CERT_QUERY_FORMAT_BINARY 1u
#define CERT_QUERY_FORMAT_BASE64_ENCODED 2u
#define CERT_QUERY_FORMAT_ASN_ASCII_HEX_ENCODED 3u
#define CERT_QUERY_FORMAT_FLAG_BINARY (1u << CERT_QUERY_FORMAT_BINARY)
#define CERT_QUERY_FORMAT_FLAG_BASE64_ENCODED (1u << CERT_QUERY_FORMAT_BASE64_ENCODED)
#define CERT_QUERY_FORMAT_FLAG_ALL 0x0000000Eu

#define CERT_COMPARE_SHIFT 16
#define CERT_INFO_SUBJECT_FLAG 7u
#define CERT_FIND_ANY 0u
#define CERT_FIND_SUBJECT_CERT (11u << CERT_COMPARE_SHIFT)
#define CERT_FIND_SUBJECT_STR_W ((8u << CERT_COMPARE_SHIFT) | CERT_INFO_SUBJECT_FLAG)
#define CERT_FIND_SUBJECT_STR CERT_FIND_SUBJECT_STR_W

#define CERT_STORE_PROV_MEMORY (reinterpret_cast<LPCSTR>(2))
#define CERT_STORE_ADD_NEW 1u
#define CERT_STORE_ADD_USE_EXISTING 2u
#define CERT_STORE_ADD_REPLACE_EXISTING 3u
#define CERT_STORE_ADD_ALWAYS 4u
#define CERT_CLOSE_STORE_FORCE_FLAG 0x00000001u
#define CERT_CLOSE_STORE_CHECK_FLAG 0x00000002u

#define CMSG_SIGNER_COUNT_PARAM 5u
#define CMSG_SIGNER_CERT_INFO_PARAM 7u

#define CERT_TRUST_NO_ERROR 0x00000000u
#define CERT_TRUST_IS_NOT_TIME_VALID 0x00000001u
#define CERT_TRUST_IS_NOT_SIGNATURE_VALID 0x00000008u
#define CERT_TRUST_IS_NOT_VALID_FOR_USAGE 0x00000010u
#define CERT_TRUST_IS_UNTRUSTED_ROOT 0x00000020u
#define CERT_TRUST_INVALID_BASIC_CONSTRAINTS 0x00000400u
#define CERT_TRUST_IS_PARTIAL_CHAIN 0x00010000u

#define E_INVALIDARG (static_cast<HRESULT>(0x80070057u))
#define CRYPT_E_INVALID_MSG_TYPE (static_cast<HRESULT>(0x80091004u))
#define CRYPT_E_INVALID_INDEX (static_cast<HRESULT>(0x80091008u))
#define CRYPT_E_FILE_ERROR (static_cast<HRESULT>(0x80092003u))
#define CRYPT_E_NOT_FOUND (static_cast<HRESULT>(0x80092004u))
#define CRYPT_E_EXISTS (static_cast<HRESULT>(0x80092005u))
#define CRYPT_E_NO_MATCH (static_cast<HRESULT>(0x80092009u))
#define CRYPT_E_PENDING_CLOSE (static_cast<HRESULT>(0x8009200Fu))

struct CRYPTOAPI_BLOB {
  DWORD cbData;
  BYTE* pbData;
};
typedef CRYPTOAPI_BLOB CRYPT_INTEGER_BLOB, CRYPT_OBJID_BLOB, CERT_NAME_BLOB, CRYPT_DATA_BLOB;
typedef CRYPTOAPI_BLOB* PCRYPT_INTEGER_BLOB;
typedef CRYPTOAPI_BLOB* PCERT_NAME_BLOB;

struct CRYPT_BIT_BLOB {
  DWORD cbData;
  BYTE* pbData;
  DWORD cUnusedBits;
};

struct CRYPT_ALGORITHM_IDENTIFIER {
  LPSTR pszObjId;
  CRYPT_OBJID_BLOB Parameters;
};

struct CERT_PUBLIC_KEY_INFO {
  CRYPT_ALGORITHM_IDENTIFIER Algorithm;
  CRYPT_BIT_BLOB PublicKey;
};

struct CERT_EXTENSION {
  LPSTR pszObjId;
  BOOL fCritical;
  CRYPT_OBJID_BLOB Value;
};
typedef CERT_EXTENSION* PCERT_EXTENSION;

// Filled here: dwVersion, SerialNumber (little-endian, as Windows keeps it),
// Issuer and Subject (DER names), NotBefore and NotAfter.
struct CERT_INFO {
  DWORD dwVersion;
  CRYPT_INTEGER_BLOB SerialNumber;
  CRYPT_ALGORITHM_IDENTIFIER SignatureAlgorithm;
  CERT_NAME_BLOB Issuer;
  FILETIME NotBefore;
  FILETIME NotAfter;
  CERT_NAME_BLOB Subject;
  CERT_PUBLIC_KEY_INFO SubjectPublicKeyInfo;
  CRYPT_BIT_BLOB IssuerUniqueId;
  CRYPT_BIT_BLOB SubjectUniqueId;
  DWORD cExtension;
  PCERT_EXTENSION rgExtension;
};
typedef CERT_INFO* PCERT_INFO;

struct CERT_CONTEXT {
  DWORD dwCertEncodingType;
  BYTE* pbCertEncoded;
  DWORD cbCertEncoded;
  PCERT_INFO pCertInfo;
  HCERTSTORE hCertStore;
};
typedef CERT_CONTEXT* PCERT_CONTEXT;
typedef const CERT_CONTEXT* PCCERT_CONTEXT;

struct CERT_TRUST_STATUS {
  DWORD dwErrorStatus;
  DWORD dwInfoStatus;
};

struct CERT_ENHKEY_USAGE {
  DWORD cUsageIdentifier;
  LPSTR* rgpszUsageIdentifier;
};
typedef CERT_ENHKEY_USAGE* PCERT_ENHKEY_USAGE;

struct CERT_USAGE_MATCH {
  DWORD dwType;
  CERT_ENHKEY_USAGE Usage;
};

struct CERT_CHAIN_PARA {
  DWORD cbSize;
  CERT_USAGE_MATCH RequestedUsage;
};
typedef CERT_CHAIN_PARA* PCERT_CHAIN_PARA;

struct CERT_CHAIN_ELEMENT {
  DWORD cbSize;
  PCCERT_CONTEXT pCertContext;
  CERT_TRUST_STATUS TrustStatus;
  void* pRevocationInfo;
  PCERT_ENHKEY_USAGE pIssuanceUsage;
  PCERT_ENHKEY_USAGE pApplicationUsage;
  LPCWSTR pwszExtendedErrorInfo;
};
typedef CERT_CHAIN_ELEMENT* PCERT_CHAIN_ELEMENT;

struct CERT_SIMPLE_CHAIN {
  DWORD cbSize;
  CERT_TRUST_STATUS TrustStatus;
  DWORD cElement;
  PCERT_CHAIN_ELEMENT* rgpElement;
  void* pTrustListInfo;
  BOOL fHasRevocationFreshnessTime;
  DWORD dwRevocationFreshnessTime;
};
typedef CERT_SIMPLE_CHAIN* PCERT_SIMPLE_CHAIN;

struct CERT_CHAIN_CONTEXT;
typedef const CERT_CHAIN_CONTEXT* PCCERT_CHAIN_CONTEXT;
struct CERT_CHAIN_CONTEXT {
  DWORD cbSize;
  CERT_TRUST_STATUS TrustStatus;
  DWORD cChain;
  PCERT_SIMPLE_CHAIN* rgpChain;
  DWORD cLowerQualityChainContext;
  PCCERT_CHAIN_CONTEXT* rgpLowerQualityChainContext;
  BOOL fHasRevocationFreshnessTime;
  DWORD dwRevocationFreshnessTime;
};

// Only files (CERT_QUERY_OBJECT_FILE) with a signature: FILE.p7s beside
// FILE, reported as CERT_QUERY_CONTENT_PKCS7_SIGNED_EMBED in the format it is
// written in, with a store of the certificates it carries and its message.
// An unsigned file fails with CRYPT_E_NO_MATCH; a missing one with the error
// of opening it. ppvContext must be null.
BOOL CryptQueryObject(DWORD dwObjectType, const void* pvObject, DWORD dwExpectedContentTypeFlags,
                      DWORD dwExpectedFormatTypeFlags, DWORD dwFlags, DWORD* pdwMsgAndCertEncodingType,
                      DWORD* pdwContentType, DWORD* pdwFormatType, HCERTSTORE* phCertStore, HCRYPTMSG* phMsg,
                      const void** ppvContext);

// CMSG_SIGNER_COUNT_PARAM (a DWORD) and CMSG_SIGNER_CERT_INFO_PARAM (a
// CERT_INFO that holds the signer's Issuer and SerialNumber). A null pvData
// asks for the size; a short buffer fails with ERROR_MORE_DATA.
BOOL CryptMsgGetParam(HCRYPTMSG hCryptMsg, DWORD dwParamType, DWORD dwIndex, void* pvData, DWORD* pcbData);
BOOL CryptMsgClose(HCRYPTMSG hCryptMsg);

// Only CERT_STORE_PROV_MEMORY.
HCERTSTORE CertOpenStore(LPCSTR lpszStoreProvider, DWORD dwEncodingType, HCRYPTPROV_LEGACY hCryptProv, DWORD dwFlags,
                         const void* pvPara);
// CERT_CLOSE_STORE_FORCE_FLAG also frees every context taken from the store;
// without it they stay valid until freed.
BOOL CertCloseStore(HCERTSTORE hCertStore, DWORD dwFlags);
BOOL CertAddCertificateContextToStore(HCERTSTORE hCertStore, PCCERT_CONTEXT pCertContext, DWORD dwAddDisposition,
                                      PCCERT_CONTEXT* ppStoreContext);

// CERT_FIND_ANY; CERT_FIND_SUBJECT_CERT (pvFindPara a CERT_INFO: same Issuer
// and SerialNumber); CERT_FIND_SUBJECT_STR_W (the text anywhere in the
// subject's values joined by ", ", ignoring case as CharLowerW does). A
// previous context continues the search and is freed.
PCCERT_CONTEXT CertFindCertificateInStore(HCERTSTORE hCertStore, DWORD dwCertEncodingType, DWORD dwFindFlags,
                                          DWORD dwFindType, const void* pvFindPara, PCCERT_CONTEXT pPrevCertContext);
PCCERT_CONTEXT CertDuplicateCertificateContext(PCCERT_CONTEXT pCertContext);
BOOL CertFreeCertificateContext(PCCERT_CONTEXT pCertContext);

// Builds the chain from the certificate to a trust anchor, looking for its
// issuers among the certificates of hAdditionalStore and of the
// certificate's own store, at pTime (null: now). It succeeds whenever a chain
// was built, as on Windows: a chain that reaches no anchor ends where it
// stopped, with its error in TrustStatus. RequestedUsage is not checked;
// revocation is never checked.
BOOL CertGetCertificateChain(HCERTCHAINENGINE hChainEngine, PCCERT_CONTEXT pCertContext, LPFILETIME pTime,
                             HCERTSTORE hAdditionalStore, PCERT_CHAIN_PARA pChainPara, DWORD dwFlags, void* pvReserved,
                             PCCERT_CHAIN_CONTEXT* ppChainContext);
void CertFreeCertificateChain(PCCERT_CHAIN_CONTEXT pChainContext);
