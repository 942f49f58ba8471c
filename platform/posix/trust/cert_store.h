// Certificate contexts and stores of the crypt32 layer. A context is the
// CERT_CONTEXT inside a record that holds the certificate and the bytes its
// CERT_INFO points at; the contexts handed to callers are counted in one
// table, so that a context that was freed or never handed out is rejected
// instead of touched.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cms_signature.h"
#include "core/kernel_object.h"
#include "orv_win32.h"

namespace orv_posix {

struct CertificateRecord {
  X509Ptr certificate;
  std::vector<BYTE> encoded;
  std::vector<BYTE> serialNumber;  // little-endian, as CERT_INFO holds it
  std::vector<BYTE> issuer;        // DER
  std::vector<BYTE> subject;       // DER
  std::u16string subjectText;      // the values of the subject joined by ", "
  CERT_INFO info{};
  CERT_CONTEXT context{};
};

// A record of the certificate (taking a reference of its own) that names the
// store in its context; null when it cannot be encoded.
std::shared_ptr<CertificateRecord> makeCertificateRecord(X509* certificate, HCERTSTORE store);

// The issuer's DER name and the serial number as CERT_INFO holds them.
std::vector<BYTE> derNameOf(const X509_NAME* name);
std::vector<BYTE> serialNumberOf(const ASN1_INTEGER* serial);

// Hands out one more reference to the record's context.
PCCERT_CONTEXT handOutContext(const std::shared_ptr<CertificateRecord>& record);
// The record behind a handed-out context, or null.
std::shared_ptr<CertificateRecord> recordOfContext(PCCERT_CONTEXT context);
// Gives one reference back; false for a context that was not handed out.
bool releaseContext(PCCERT_CONTEXT context);

class CertStore : public KernelObject {
 public:
  std::mutex lock;
  std::vector<std::shared_ptr<CertificateRecord>> records;
};

// A new store of copies of the certificates, registered as a handle.
HCERTSTORE openStoreOf(STACK_OF(X509) * certificates);

// The store's certificates, each with a reference of the stack's own.
void appendCertificatesOf(HCERTSTORE store, STACK_OF(X509) * certificates);

}  // namespace orv_posix
