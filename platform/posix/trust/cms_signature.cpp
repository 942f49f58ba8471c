#include "cms_signature.h"

#include <dirent.h>
#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "core/posix_io.h"
#include "orv_platform/trust_anchors.h"
#include "orv_platform/text_encoding.h"

namespace orv_posix {
namespace {

// A signature is a few kilobytes; more is not one we read into memory.
constexpr size_t kMaxSignatureBytes = 1u << 20;

// Only what root or this user owns, and nobody else may write, can vouch
// for anything: another user who could write an anchor could sign as anyone.
bool isTrustworthy(const struct stat& info) {
  const bool ownOwner = info.st_uid == 0 || info.st_uid == geteuid();
  return ownOwner && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

struct IgnoredAnchors {
  std::mutex lock;
  std::vector<std::string> paths;
};

IgnoredAnchors& ignoredAnchors() {
  static IgnoredAnchors* ignored = new IgnoredAnchors();  // outlives static destructors
  return *ignored;
}

void ignoreAnchor(const std::string& path) {
  IgnoredAnchors& ignored = ignoredAnchors();
  std::lock_guard<std::mutex> guard(ignored.lock);
  if (std::find(ignored.paths.begin(), ignored.paths.end(), path) == ignored.paths.end()) ignored.paths.push_back(path);
}

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

CmsPtr decodeSignature(const std::string& bytes, bool& pem) {
  BioPtr stream(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
  if (!stream) return nullptr;
  const size_t start = bytes.find_first_not_of(" \t\r\n");
  pem = start != std::string::npos && bytes.compare(start, 10, "-----BEGIN") == 0;
  return CmsPtr(pem ? PEM_read_bio_CMS(stream.get(), nullptr, nullptr, nullptr) : d2i_CMS_bio(stream.get(), nullptr));
}

bool isDetachedWithOneSigner(CMS_ContentInfo* message) {
  if (OBJ_obj2nid(CMS_get0_type(message)) != NID_pkcs7_signed) return false;
  if (CMS_is_detached(message) != 1) return false;
  STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(message);
  return signers != nullptr && sk_CMS_SignerInfo_num(signers) == 1;
}

// An anchor file holds a few certificates; read whole, in one call, not
// through an unbuffered stream that the PEM reader takes one byte at a time.
constexpr size_t kMaxAnchorFileBytes = 1u << 20;

void addAnchorsFrom(const FileDescriptor& file, X509_STORE* anchors) {
  std::string bytes;
  const bool read = readAll(file.get(), bytes, kMaxAnchorFileBytes);
  if (!read || bytes.size() > kMaxAnchorFileBytes) return;
  BioPtr stream(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
  if (!stream) return;
  while (X509* certificate = PEM_read_bio_X509(stream.get(), nullptr, nullptr, nullptr)) {
    X509_STORE_add_cert(anchors, certificate);
    X509_free(certificate);
  }
  ERR_clear_error();  // the end of the file reads as a "no start line" error
}

X509StorePtr loadTrustAnchors() {
  X509StorePtr anchors(X509_STORE_new());
  if (!anchors) return anchors;
  FileDescriptor folder(open(trustAnchorFolder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder.valid()) return anchors;
  struct stat folderInfo {};
  DIR* listing = nullptr;
  const bool examined = fstat(folder.get(), &folderInfo) == 0;
  if (examined && !isTrustworthy(folderInfo)) ignoreAnchor(trustAnchorFolder());
  if (!examined || !isTrustworthy(folderInfo) || (listing = fdopendir(folder.get())) == nullptr) return anchors;
  folder.release();  // the listing owns it now
  while (dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (!endsWith(name, ".pem")) continue;
    const FileDescriptor file(openat(dirfd(listing), name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!file.valid()) continue;
    struct stat info {};
    if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || !isTrustworthy(info)) {
      if (S_ISREG(info.st_mode)) ignoreAnchor(trustAnchorFolder() + "/" + name);
      continue;
    }
    addAnchorsFrom(file, anchors.get());
  }
  closedir(listing);  // closes folderFd
  return anchors;
}

struct VerdictOf {
  int verifyError;
  HRESULT result;
  DWORD trustStatus;
};

constexpr VerdictOf kVerdicts[] = {
    {X509_V_ERR_CERT_HAS_EXPIRED, CERT_E_EXPIRED, CERT_TRUST_IS_NOT_TIME_VALID},
    {X509_V_ERR_CERT_NOT_YET_VALID, CERT_E_EXPIRED, CERT_TRUST_IS_NOT_TIME_VALID},
    {X509_V_ERR_CERT_SIGNATURE_FAILURE, TRUST_E_CERT_SIGNATURE, CERT_TRUST_IS_NOT_SIGNATURE_VALID},
    {X509_V_ERR_INVALID_CA, TRUST_E_BASIC_CONSTRAINTS, CERT_TRUST_INVALID_BASIC_CONSTRAINTS},
    {X509_V_ERR_PATH_LENGTH_EXCEEDED, TRUST_E_BASIC_CONSTRAINTS, CERT_TRUST_INVALID_BASIC_CONSTRAINTS},
    {X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT, CERT_E_UNTRUSTEDROOT, CERT_TRUST_IS_PARTIAL_CHAIN},
    {X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY, CERT_E_UNTRUSTEDROOT, CERT_TRUST_IS_PARTIAL_CHAIN},
};

}  // namespace

DetachedSignature readDetachedSignature(const std::string& file) {
  DetachedSignature signature;
  const FileDescriptor signatureFile = openRegularFile(file + ".p7s");
  if (!signatureFile.valid()) {
    signature.status = (errno == ENOENT || errno == ENOTDIR) ? TRUST_E_NOSIGNATURE : CRYPT_E_FILE_ERROR;
    return signature;
  }
  std::string bytes;
  if (!readAll(signatureFile.get(), bytes, kMaxSignatureBytes)) {
    signature.status = CRYPT_E_FILE_ERROR;
    return signature;
  }
  signature.status = TRUST_E_NOSIGNATURE;
  if (bytes.empty() || bytes.size() > kMaxSignatureBytes) return signature;
  CmsPtr message = decodeSignature(bytes, signature.pem);
  ERR_clear_error();
  if (!message || !isDetachedWithOneSigner(message.get())) return signature;
  signature.status = 0;
  signature.message = std::move(message);
  return signature;
}

std::string trustAnchorFolder() {
  const char* registry = std::getenv("ORV_REGISTRY_DIR");
  if (registry != nullptr && registry[0] != '\0') return std::string(registry) + "/trust";
  return "/etc/orv/trust";
}

ChainResult buildChain(X509* certificate, STACK_OF(X509) * untrusted, const time_t* at) {
  ChainResult result;
  X509StorePtr anchors = loadTrustAnchors();
  std::unique_ptr<X509_STORE_CTX, OpenSslFree> context(X509_STORE_CTX_new());
  if (!anchors || !context || X509_STORE_CTX_init(context.get(), anchors.get(), certificate, untrusted) != 1) {
    result.error = X509_V_ERR_OUT_OF_MEM;
  } else {
    // An administrator's anchor needs no self-signed root above it.
    X509_STORE_CTX_set_flags(context.get(), X509_V_FLAG_PARTIAL_CHAIN);
    if (at != nullptr) X509_STORE_CTX_set_time(context.get(), 0, *at);
    if (X509_verify_cert(context.get()) != 1) {
      result.error = X509_STORE_CTX_get_error(context.get());
      if (result.error == X509_V_OK) result.error = X509_V_ERR_UNSPECIFIED;
      result.errorDepth = X509_STORE_CTX_get_error_depth(context.get());
    }
    result.chain.reset(X509_STORE_CTX_get1_chain(context.get()));
  }
  if (!result.chain || sk_X509_num(result.chain.get()) == 0) {
    result.chain.reset(sk_X509_new_null());
    if (result.chain && X509_up_ref(certificate) == 1 && !sk_X509_push(result.chain.get(), certificate))
      X509_free(certificate);
  }
  ERR_clear_error();
  return result;
}

HRESULT trustResultOf(int verifyError) {
  if (verifyError == X509_V_OK) return 0;
  for (const VerdictOf& verdict : kVerdicts)
    if (verdict.verifyError == verifyError) return verdict.result;
  return CERT_E_UNTRUSTEDROOT;  // a self-signed certificate that is no anchor, and the like
}

DWORD trustStatusOf(int verifyError) {
  if (verifyError == X509_V_OK) return CERT_TRUST_NO_ERROR;
  for (const VerdictOf& verdict : kVerdicts)
    if (verdict.verifyError == verifyError) return verdict.trustStatus;
  return CERT_TRUST_IS_UNTRUSTED_ROOT;
}

}  // namespace orv_posix

std::vector<std::basic_string<WCHAR>> orv_platform::takeIgnoredTrustAnchors() {
  orv_posix::IgnoredAnchors& ignored = orv_posix::ignoredAnchors();
  std::vector<std::string> paths;
  {
    std::lock_guard<std::mutex> guard(ignored.lock);
    paths.swap(ignored.paths);
  }
  std::vector<std::basic_string<WCHAR>> names;
  for (const std::string& path : paths)
    names.push_back(orv_platform::utf16Of(path, orv_platform::InvalidText::kReplace));
  return names;
}
