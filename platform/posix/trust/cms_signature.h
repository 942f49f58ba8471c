// The OpenSSL side of signatures, shared by wintrust and crypt32: the
// detached signature beside a file, the trust anchors, and chain building.
#pragma once

#include <openssl/pem.h>  // before cms.h, which declares its PEM calls only then
#include <openssl/cms.h>
#include <openssl/x509.h>

#include <ctime>
#include <memory>
#include <string>

#include "orv_win32.h"

namespace orv_posix {

struct OpenSslFree {
  void operator()(X509* certificate) const { X509_free(certificate); }
  void operator()(X509_STORE* store) const { X509_STORE_free(store); }
  void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
  void operator()(CMS_ContentInfo* message) const { CMS_ContentInfo_free(message); }
  void operator()(BIO* stream) const { BIO_free_all(stream); }
  void operator()(STACK_OF(X509) * certificates) const { sk_X509_pop_free(certificates, X509_free); }
};
using X509Ptr = std::unique_ptr<X509, OpenSslFree>;
using X509StorePtr = std::unique_ptr<X509_STORE, OpenSslFree>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, OpenSslFree>;
using BioPtr = std::unique_ptr<BIO, OpenSslFree>;
using X509StackPtr = std::unique_ptr<STACK_OF(X509), OpenSslFree>;

struct DetachedSignature {
  HRESULT status = 0;  // 0, TRUST_E_NOSIGNATURE or CRYPT_E_FILE_ERROR
  CmsPtr message;      // a detached signed-data message with one signer
  bool pem = false;
};

// The signature in FILE.p7s, checked only for its shape.
DetachedSignature readDetachedSignature(const std::string& file);

// $ORV_REGISTRY_DIR/trust, else /etc/orv/trust.
std::string trustAnchorFolder();

struct ChainResult {
  int error = X509_V_OK;  // OpenSSL's verify error
  int errorDepth = -1;    // the chain position it concerns
  X509StackPtr chain;     // from the certificate up to where building stopped
};

// The chain from a certificate through the untrusted ones to an anchor, at
// the given time (null: now). No revocation, no purpose.
ChainResult buildChain(X509* certificate, STACK_OF(X509) * untrusted, const time_t* at);

// Windows' verdict (CERT_E_..., TRUST_E_...) and CERT_TRUST_... bit for a
// chain error.
HRESULT trustResultOf(int verifyError);
DWORD trustStatusOf(int verifyError);

}  // namespace orv_posix
