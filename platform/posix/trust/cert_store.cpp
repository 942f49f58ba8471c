// Certificate stores and contexts: CertOpenStore, CertCloseStore,
// CertAddCertificateContextToStore, CertFindCertificateInStore,
// CertDuplicateCertificateContext and CertFreeCertificateContext.
#include "cert_store.h"

#include <locale.h>
#include <openssl/err.h>
#include <wctype.h>

#include <algorithm>
#include <ctime>
#include <map>

#include "orv_platform/text_encoding.h"

namespace orv_posix {
namespace {

BOOL fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// The handed-out contexts and how many references each has.
struct ContextTable {
  struct Entry {
    std::shared_ptr<CertificateRecord> record;
    unsigned references;
  };
  std::mutex lock;
  std::map<PCCERT_CONTEXT, Entry> entries;
};

ContextTable& contexts() {
  static ContextTable* table = new ContextTable();  // outlives static destructors
  return *table;
}

FILETIME fileTimeOf(const ASN1_TIME* when) {
  struct tm parts {};
  if (when == nullptr || ASN1_TIME_to_tm(when, &parts) != 1) return FILETIME{0, 0};
  constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
  const uint64_t ticks = static_cast<uint64_t>((timegm(&parts) + kSecondsFrom1601To1970) * 10000000LL);
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

std::u16string textOf(const X509_NAME* name) {
  std::u16string text;
  for (int i = 0; i < X509_NAME_entry_count(name); ++i) {
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, i)));
    if (length < 0) continue;
    if (!text.empty()) text += u", ";
    orv_platform::WideText entry;
    orv_platform::toUtf16(reinterpret_cast<const char*>(utf8), static_cast<size_t>(length), entry,
                          orv_platform::InvalidText::kReplace);
    text += entry;
    OPENSSL_free(utf8);
  }
  return text;
}

BYTE* dataOf(std::vector<BYTE>& bytes) { return bytes.empty() ? nullptr : bytes.data(); }

// Lower case as CharLowerW gives it, through the C library's Unicode tables.
std::u16string lowerCase(const WCHAR* text) {
  static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  std::u16string lower;
  for (; *text != 0; ++text) {
    const WCHAR unit = *text;
    const bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
    wint_t folded = unit;
    if (!surrogate) folded = unicode != static_cast<locale_t>(0) ? towlower_l(unit, unicode) : towlower(unit);
    lower.push_back(folded <= 0xFFFF ? static_cast<WCHAR>(folded) : unit);
  }
  return lower;
}

bool sameBytes(const CRYPTOAPI_BLOB& blob, const std::vector<BYTE>& bytes) {
  return blob.cbData == bytes.size() && (bytes.empty() || std::equal(bytes.begin(), bytes.end(), blob.pbData));
}

bool matches(const CertificateRecord& record, DWORD findType, const void* findPara) {
  switch (findType) {
    case CERT_FIND_ANY: return true;
    case CERT_FIND_SUBJECT_CERT: {
      const CERT_INFO* wanted = static_cast<const CERT_INFO*>(findPara);
      return sameBytes(wanted->Issuer, record.issuer) && sameBytes(wanted->SerialNumber, record.serialNumber);
    }
    case CERT_FIND_SUBJECT_STR_W: {
      const std::u16string needle = lowerCase(static_cast<const WCHAR*>(findPara));
      return lowerCase(record.subjectText.c_str()).find(needle) != std::u16string::npos;
    }
    default: return false;
  }
}

bool isSupportedFind(DWORD findType) {
  return findType == CERT_FIND_ANY || findType == CERT_FIND_SUBJECT_CERT || findType == CERT_FIND_SUBJECT_STR_W;
}

}  // namespace

std::vector<BYTE> derNameOf(const X509_NAME* name) {
  unsigned char* der = nullptr;
  const int length = i2d_X509_NAME(name, &der);
  if (length <= 0) return std::vector<BYTE>();
  std::vector<BYTE> bytes(der, der + length);
  OPENSSL_free(der);
  return bytes;
}

std::vector<BYTE> serialNumberOf(const ASN1_INTEGER* serial) {
  const unsigned char* bigEndian = ASN1_STRING_get0_data(serial);
  const int length = ASN1_STRING_length(serial);
  if (bigEndian == nullptr || length <= 0) return std::vector<BYTE>();
  return std::vector<BYTE>(std::reverse_iterator<const unsigned char*>(bigEndian + length),
                           std::reverse_iterator<const unsigned char*>(bigEndian));
}

std::shared_ptr<CertificateRecord> makeCertificateRecord(X509* certificate, HCERTSTORE store) {
  auto record = std::make_shared<CertificateRecord>();
  unsigned char* der = nullptr;
  const int length = i2d_X509(certificate, &der);
  if (length <= 0 || X509_up_ref(certificate) != 1) {
    OPENSSL_free(der);
    ERR_clear_error();
    return nullptr;
  }
  record->certificate.reset(certificate);
  record->encoded.assign(der, der + length);
  OPENSSL_free(der);
  record->serialNumber = serialNumberOf(X509_get0_serialNumber(certificate));
  record->issuer = derNameOf(X509_get_issuer_name(certificate));
  record->subject = derNameOf(X509_get_subject_name(certificate));
  record->subjectText = textOf(X509_get_subject_name(certificate));

  CERT_INFO& info = record->info;
  info.dwVersion = static_cast<DWORD>(X509_get_version(certificate));
  info.SerialNumber = CRYPTOAPI_BLOB{static_cast<DWORD>(record->serialNumber.size()), dataOf(record->serialNumber)};
  info.Issuer = CRYPTOAPI_BLOB{static_cast<DWORD>(record->issuer.size()), dataOf(record->issuer)};
  info.Subject = CRYPTOAPI_BLOB{static_cast<DWORD>(record->subject.size()), dataOf(record->subject)};
  info.NotBefore = fileTimeOf(X509_get0_notBefore(certificate));
  info.NotAfter = fileTimeOf(X509_get0_notAfter(certificate));

  CERT_CONTEXT& context = record->context;
  context.dwCertEncodingType = X509_ASN_ENCODING;
  context.pbCertEncoded = record->encoded.data();
  context.cbCertEncoded = static_cast<DWORD>(record->encoded.size());
  context.pCertInfo = &record->info;
  context.hCertStore = store;
  ERR_clear_error();
  return record;
}

PCCERT_CONTEXT handOutContext(const std::shared_ptr<CertificateRecord>& record) {
  ContextTable& table = contexts();
  std::lock_guard<std::mutex> guard(table.lock);
  PCCERT_CONTEXT context = &record->context;
  auto found = table.entries.find(context);
  if (found == table.entries.end())
    table.entries.emplace(context, ContextTable::Entry{record, 1});
  else
    ++found->second.references;
  return context;
}

std::shared_ptr<CertificateRecord> recordOfContext(PCCERT_CONTEXT context) {
  ContextTable& table = contexts();
  std::lock_guard<std::mutex> guard(table.lock);
  auto found = table.entries.find(context);
  return found == table.entries.end() ? nullptr : found->second.record;
}

bool releaseContext(PCCERT_CONTEXT context) {
  std::shared_ptr<CertificateRecord> released;  // goes after the lock is let go
  ContextTable& table = contexts();
  std::lock_guard<std::mutex> guard(table.lock);
  auto found = table.entries.find(context);
  if (found == table.entries.end()) return false;
  if (--found->second.references == 0) {
    released = std::move(found->second.record);
    table.entries.erase(found);
  }
  return true;
}

namespace {

// A forced close frees every context taken from the store.
void releaseContextsOf(HCERTSTORE store) {
  std::vector<std::shared_ptr<CertificateRecord>> released;
  ContextTable& table = contexts();
  std::lock_guard<std::mutex> guard(table.lock);
  for (auto entry = table.entries.begin(); entry != table.entries.end();) {
    if (entry->first->hCertStore == store) {
      released.push_back(std::move(entry->second.record));
      entry = table.entries.erase(entry);
    } else {
      ++entry;
    }
  }
}

bool hasContextsOf(HCERTSTORE store) {
  ContextTable& table = contexts();
  std::lock_guard<std::mutex> guard(table.lock);
  return std::any_of(table.entries.begin(), table.entries.end(),
                     [store](const auto& entry) { return entry.first->hCertStore == store; });
}

}  // namespace

HCERTSTORE openStoreOf(STACK_OF(X509) * certificates) {
  auto store = std::make_shared<CertStore>();
  HCERTSTORE handle = registerHandle(store);
  std::lock_guard<std::mutex> guard(store->lock);
  for (int i = 0; certificates != nullptr && i < sk_X509_num(certificates); ++i) {
    std::shared_ptr<CertificateRecord> record = makeCertificateRecord(sk_X509_value(certificates, i), handle);
    if (record) store->records.push_back(std::move(record));
  }
  return handle;
}

void appendCertificatesOf(HCERTSTORE handle, STACK_OF(X509) * certificates) {
  std::shared_ptr<CertStore> store = std::dynamic_pointer_cast<CertStore>(lookupHandle(handle));
  if (!store) return;
  std::lock_guard<std::mutex> guard(store->lock);
  for (const std::shared_ptr<CertificateRecord>& record : store->records)
    if (X509_up_ref(record->certificate.get()) == 1 && !sk_X509_push(certificates, record->certificate.get()))
      X509_free(record->certificate.get());
}

}  // namespace orv_posix

using orv_posix::CertificateRecord;
using orv_posix::CertStore;

HCERTSTORE CertOpenStore(LPCSTR lpszStoreProvider, DWORD, HCRYPTPROV_LEGACY, DWORD, const void*) {
  if (lpszStoreProvider != CERT_STORE_PROV_MEMORY) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return orv_posix::openStoreOf(nullptr);
}

BOOL CertCloseStore(HCERTSTORE hCertStore, DWORD dwFlags) {
  if (hCertStore == nullptr) return TRUE;
  if (!orv_posix::lookupHandleAs<CertStore>(hCertStore)) return FALSE;
  if ((dwFlags & CERT_CLOSE_STORE_FORCE_FLAG) != 0) orv_posix::releaseContextsOf(hCertStore);
  const bool pending = orv_posix::hasContextsOf(hCertStore);
  CloseHandle(hCertStore);
  if (pending && (dwFlags & CERT_CLOSE_STORE_CHECK_FLAG) != 0)
    return orv_posix::fail(static_cast<DWORD>(CRYPT_E_PENDING_CLOSE));
  return TRUE;
}

BOOL CertAddCertificateContextToStore(HCERTSTORE hCertStore, PCCERT_CONTEXT pCertContext, DWORD dwAddDisposition,
                                      PCCERT_CONTEXT* ppStoreContext) {
  if (ppStoreContext != nullptr) *ppStoreContext = nullptr;
  std::shared_ptr<CertStore> store = orv_posix::lookupHandleAs<CertStore>(hCertStore);
  if (!store) return FALSE;
  std::shared_ptr<CertificateRecord> source = orv_posix::recordOfContext(pCertContext);
  if (!source || dwAddDisposition < CERT_STORE_ADD_NEW || dwAddDisposition > CERT_STORE_ADD_ALWAYS)
    return orv_posix::fail(static_cast<DWORD>(E_INVALIDARG));

  std::lock_guard<std::mutex> guard(store->lock);
  auto existing = std::find_if(store->records.begin(), store->records.end(),
                               [&](const auto& record) { return record->encoded == source->encoded; });
  std::shared_ptr<CertificateRecord> kept;
  if (existing != store->records.end() && dwAddDisposition == CERT_STORE_ADD_NEW)
    return orv_posix::fail(static_cast<DWORD>(CRYPT_E_EXISTS));
  if (existing != store->records.end() && dwAddDisposition == CERT_STORE_ADD_USE_EXISTING) {
    kept = *existing;
  } else {
    kept = orv_posix::makeCertificateRecord(source->certificate.get(), hCertStore);
    if (!kept) return orv_posix::fail(ERROR_NOT_ENOUGH_MEMORY);
    if (existing != store->records.end() && dwAddDisposition == CERT_STORE_ADD_REPLACE_EXISTING)
      *existing = kept;
    else
      store->records.push_back(kept);
  }
  if (ppStoreContext != nullptr) *ppStoreContext = orv_posix::handOutContext(kept);
  return TRUE;
}

PCCERT_CONTEXT CertFindCertificateInStore(HCERTSTORE hCertStore, DWORD, DWORD, DWORD dwFindType, const void* pvFindPara,
                                          PCCERT_CONTEXT pPrevCertContext) {
  std::shared_ptr<CertStore> store = orv_posix::lookupHandleAs<CertStore>(hCertStore);
  if (!store) return nullptr;
  if (!orv_posix::isSupportedFind(dwFindType) || (dwFindType != CERT_FIND_ANY && pvFindPara == nullptr)) {
    SetLastError(static_cast<DWORD>(E_INVALIDARG));
    return nullptr;
  }
  PCCERT_CONTEXT found = nullptr;
  {
    std::lock_guard<std::mutex> guard(store->lock);
    size_t next = 0;
    if (pPrevCertContext != nullptr) {
      auto previous = std::find_if(store->records.begin(), store->records.end(),
                                   [&](const auto& record) { return &record->context == pPrevCertContext; });
      next = previous == store->records.end() ? store->records.size() : (previous - store->records.begin()) + 1;
    }
    for (; next < store->records.size() && found == nullptr; ++next)
      if (orv_posix::matches(*store->records[next], dwFindType, pvFindPara))
        found = orv_posix::handOutContext(store->records[next]);
  }
  if (pPrevCertContext != nullptr) orv_posix::releaseContext(pPrevCertContext);
  if (found == nullptr) SetLastError(static_cast<DWORD>(CRYPT_E_NOT_FOUND));
  return found;
}

PCCERT_CONTEXT CertDuplicateCertificateContext(PCCERT_CONTEXT pCertContext) {
  std::shared_ptr<CertificateRecord> record = orv_posix::recordOfContext(pCertContext);
  return record ? orv_posix::handOutContext(record) : nullptr;
}

BOOL CertFreeCertificateContext(PCCERT_CONTEXT pCertContext) {
  if (pCertContext == nullptr) return TRUE;
  if (!orv_posix::releaseContext(pCertContext)) return orv_posix::fail(static_cast<DWORD>(E_INVALIDARG));
  return TRUE;
}
