// CertGetCertificateChain and CertFreeCertificateChain over OpenSSL's chain
// building, with the trust anchors of the signature checks.
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "cert_store.h"

namespace {

using orv_posix::CertificateRecord;

// One chain context with everything its pointers point at.
struct ChainRecord {
  CERT_CHAIN_CONTEXT context{};
  CERT_SIMPLE_CHAIN simpleChain{};
  PCERT_SIMPLE_CHAIN chains[1] = {};
  std::vector<CERT_CHAIN_ELEMENT> elements;
  std::vector<PCERT_CHAIN_ELEMENT> elementPointers;
};

struct ChainTable {
  std::mutex lock;
  std::map<PCCERT_CHAIN_CONTEXT, std::unique_ptr<ChainRecord>> chains;
};

ChainTable& chainTable() {
  static ChainTable* table = new ChainTable();  // outlives static destructors
  return *table;
}

BOOL fail(HRESULT error) {
  SetLastError(static_cast<DWORD>(error));
  return FALSE;
}

time_t timeOf(const FILETIME& when) {
  constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
  const uint64_t ticks = (static_cast<uint64_t>(when.dwHighDateTime) << 32) | when.dwLowDateTime;
  return static_cast<time_t>(static_cast<int64_t>(ticks / 10000000u) - kSecondsFrom1601To1970);
}

std::unique_ptr<ChainRecord> chainRecordOf(const orv_posix::ChainResult& built) {
  auto record = std::make_unique<ChainRecord>();
  const int length = sk_X509_num(built.chain.get());
  record->elements.resize(static_cast<size_t>(length));
  const DWORD status = orv_posix::trustStatusOf(built.error);
  for (int i = 0; i < length; ++i) {
    CERT_CHAIN_ELEMENT& element = record->elements[static_cast<size_t>(i)];
    element.cbSize = sizeof(CERT_CHAIN_ELEMENT);
    std::shared_ptr<CertificateRecord> certificate =
        orv_posix::makeCertificateRecord(sk_X509_value(built.chain.get(), i), nullptr);
    if (certificate) element.pCertContext = orv_posix::handOutContext(certificate);
    // A chain that ends short of an anchor has its fault at its last element.
    const bool faulty = i == built.errorDepth || (i == length - 1 && built.errorDepth >= length);
    if (faulty) element.TrustStatus.dwErrorStatus = status;
  }
  for (CERT_CHAIN_ELEMENT& element : record->elements) record->elementPointers.push_back(&element);
  record->simpleChain.cbSize = sizeof(CERT_SIMPLE_CHAIN);
  record->simpleChain.TrustStatus.dwErrorStatus = status;
  record->simpleChain.cElement = static_cast<DWORD>(length);
  record->simpleChain.rgpElement = record->elementPointers.data();
  record->chains[0] = &record->simpleChain;
  record->context.cbSize = sizeof(CERT_CHAIN_CONTEXT);
  record->context.TrustStatus.dwErrorStatus = status;
  record->context.cChain = 1;
  record->context.rgpChain = record->chains;
  return record;
}

}  // namespace

BOOL CertGetCertificateChain(HCERTCHAINENGINE hChainEngine, PCCERT_CONTEXT pCertContext, LPFILETIME pTime,
                             HCERTSTORE hAdditionalStore, PCERT_CHAIN_PARA pChainPara, DWORD, void*,
                             PCCERT_CHAIN_CONTEXT* ppChainContext) {
  if (ppChainContext != nullptr) *ppChainContext = nullptr;
  if (ppChainContext == nullptr || pChainPara == nullptr ||
      (hChainEngine != HCCE_CURRENT_USER && hChainEngine != HCCE_LOCAL_MACHINE))
    return fail(E_INVALIDARG);
  std::shared_ptr<CertificateRecord> leaf = orv_posix::recordOfContext(pCertContext);
  if (!leaf) return fail(E_INVALIDARG);
  if (hAdditionalStore != nullptr && !orv_posix::lookupHandleAs<orv_posix::CertStore>(hAdditionalStore))
    return fail(E_INVALIDARG);

  orv_posix::X509StackPtr untrusted(sk_X509_new_null());
  if (!untrusted) return fail(ERROR_NOT_ENOUGH_MEMORY);
  if (hAdditionalStore != nullptr) orv_posix::appendCertificatesOf(hAdditionalStore, untrusted.get());
  if (pCertContext->hCertStore != nullptr && pCertContext->hCertStore != hAdditionalStore)
    orv_posix::appendCertificatesOf(pCertContext->hCertStore, untrusted.get());

  time_t at = 0;
  if (pTime != nullptr) at = timeOf(*pTime);
  const orv_posix::ChainResult built =
      orv_posix::buildChain(leaf->certificate.get(), untrusted.get(), pTime != nullptr ? &at : nullptr);
  if (!built.chain) return fail(ERROR_NOT_ENOUGH_MEMORY);

  std::unique_ptr<ChainRecord> record = chainRecordOf(built);
  PCCERT_CHAIN_CONTEXT context = &record->context;
  ChainTable& table = chainTable();
  std::lock_guard<std::mutex> guard(table.lock);
  table.chains.emplace(context, std::move(record));
  *ppChainContext = context;
  return TRUE;
}

void CertFreeCertificateChain(PCCERT_CHAIN_CONTEXT pChainContext) {
  std::unique_ptr<ChainRecord> record;
  {
    ChainTable& table = chainTable();
    std::lock_guard<std::mutex> guard(table.lock);
    auto found = table.chains.find(pChainContext);
    if (found == table.chains.end()) return;
    record = std::move(found->second);
    table.chains.erase(found);
  }
  for (const CERT_CHAIN_ELEMENT& element : record->elements)
    if (element.pCertContext != nullptr) orv_posix::releaseContext(element.pCertContext);
}
