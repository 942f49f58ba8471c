// Signature verification and the certificate calls around it: Wine's
// Authenticode for the Windows build, detached CMS signatures for POSIX.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "log_test_support.h"
#include "orv_win32.h"
#include "signing_test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using orv_test::signingFixture;
using orv_test::signingFixturePath;
using orv_test::TestTrustAnchors;
using orv_test::verifyFileTrust;
using orv_test::widen;
using orv_test::WString;

struct TrustCase {
  const char* fixture;
  LONG result;
};

void expectVerdicts(const std::vector<TrustCase>& cases) {
  for (const TrustCase& c : cases) {
    SCOPED_TRACE(c.fixture);
    EXPECT_EQ(static_cast<DWORD>(verifyFileTrust(signingFixture(c.fixture))), static_cast<DWORD>(c.result));
  }
}

TEST(WinVerifyTrust, AcceptsSignedFilesAndRefusesUnsignedAndTamperedOnes) {
  TestTrustAnchors anchors;
  expectVerdicts({
      {"signed", 0},
      {"foreign", 0},
      {"stray", 0},
      {"subjectless", 0},
      {"unsigned", TRUST_E_NOSIGNATURE},
      {"tampered", TRUST_E_BAD_DIGEST},
  });
}

// The signature as a message and a store, the signer in it, and its chain.
class SignatureObjects : public ::testing::Test {
 protected:
  void open(const std::string& fixture) {
    const auto path = signingFixture(fixture);
    ASSERT_TRUE(CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_ALL,
                                 CERT_QUERY_FORMAT_FLAG_ALL, 0, &encoding_, &content_, &format_, &store_, &message_,
                                 nullptr))
        << std::hex << GetLastError();
  }

  PCCERT_CONTEXT signer() {
    DWORD size = 0;
    EXPECT_TRUE(CryptMsgGetParam(message_, CMSG_SIGNER_CERT_INFO_PARAM, 0, nullptr, &size));
    std::vector<BYTE> buffer(size);
    EXPECT_TRUE(CryptMsgGetParam(message_, CMSG_SIGNER_CERT_INFO_PARAM, 0, buffer.data(), &size));
    return CertFindCertificateInStore(store_, encoding_, 0, CERT_FIND_SUBJECT_CERT, buffer.data(), nullptr);
  }

  bool subjectHas(HCERTSTORE store, const char* text) {
    const auto wide = widen(text);
    PCCERT_CONTEXT found =
        CertFindCertificateInStore(store, encoding_, 0, CERT_FIND_SUBJECT_STR_W, wide.c_str(), nullptr);
    CertFreeCertificateContext(found);
    return found != nullptr;
  }

  // The signer's certificate, its chain and a store of the chain's certificates.
  void buildSignersChain() {
    signer_ = signer();
    ASSERT_NE(signer_, nullptr);
    CERT_CHAIN_PARA parameters{};
    parameters.cbSize = sizeof parameters;
    ASSERT_TRUE(CertGetCertificateChain(nullptr, signer_, nullptr, store_, &parameters, 0, nullptr, &chain_));
    ASSERT_GE(chain_->cChain, 1u);
    chainStore_ = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    ASSERT_NE(chainStore_, nullptr);
    for (DWORD i = 0; i < chain_->rgpChain[0]->cElement; ++i)
      EXPECT_TRUE(CertAddCertificateContextToStore(chainStore_, chain_->rgpChain[0]->rgpElement[i]->pCertContext,
                                                   CERT_STORE_ADD_ALWAYS, nullptr));
  }

  void TearDown() override {
    if (chainStore_ != nullptr) {
      EXPECT_TRUE(CertCloseStore(chainStore_, CERT_CLOSE_STORE_FORCE_FLAG));
    }
    if (chain_ != nullptr) CertFreeCertificateChain(chain_);
    if (signer_ != nullptr) {
      EXPECT_TRUE(CertFreeCertificateContext(signer_));
    }
    if (message_ != nullptr) {
      EXPECT_TRUE(CryptMsgClose(message_));
    }
    if (store_ != nullptr) {
      EXPECT_TRUE(CertCloseStore(store_, CERT_CLOSE_STORE_FORCE_FLAG));
    }
  }

  TestTrustAnchors anchors_;
  DWORD encoding_ = 0, content_ = 0, format_ = 0;
  HCERTSTORE store_ = nullptr;
  HCRYPTMSG message_ = nullptr;
  PCCERT_CONTEXT signer_ = nullptr;
  PCCERT_CHAIN_CONTEXT chain_ = nullptr;
  HCERTSTORE chainStore_ = nullptr;
};

TEST_F(SignatureObjects, TheSignersChainRunsFromItsCertificateToTheRoot) {
  open("signed");
  EXPECT_EQ(content_, CERT_QUERY_CONTENT_PKCS7_SIGNED_EMBED);
  EXPECT_EQ(format_, CERT_QUERY_FORMAT_BINARY);
  EXPECT_NE(encoding_ & X509_ASN_ENCODING, 0u);
  buildSignersChain();
  ASSERT_NE(chain_, nullptr);
  const CERT_SIMPLE_CHAIN* simple = chain_->rgpChain[0];
  ASSERT_EQ(simple->cElement, 2u);
  const CERT_CONTEXT* first = simple->rgpElement[0]->pCertContext;
  EXPECT_EQ(std::string(first->pbCertEncoded, first->pbCertEncoded + first->cbCertEncoded),
            std::string(signer_->pbCertEncoded, signer_->pbCertEncoded + signer_->cbCertEncoded));
  // Searched by subject text regardless of case.
  EXPECT_TRUE(subjectHas(chainStore_, "halvik software"));
  EXPECT_TRUE(subjectHas(chainStore_, "ORV TEST ROOT"));
  EXPECT_FALSE(subjectHas(chainStore_, "Elsewhere"));
}

TEST_F(SignatureObjects, AStrayCertificateIsInTheStoreButNotInTheSignersChain) {
  open("stray");
  EXPECT_TRUE(subjectHas(store_, "HALVIK"));
  buildSignersChain();
  EXPECT_TRUE(subjectHas(chainStore_, "Foreign Signer"));
  EXPECT_FALSE(subjectHas(chainStore_, "HALVIK"));
}

TEST_F(SignatureObjects, AFindContinuesAfterThePreviousMatch) {
  open("stray");
  size_t count = 0;
  for (PCCERT_CONTEXT found = nullptr;
       (found = CertFindCertificateInStore(store_, encoding_, 0, CERT_FIND_ANY, nullptr, found)) != nullptr;)
    ++count;
  EXPECT_GE(count, 2u);  // the signer and the stray, at least
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(CRYPT_E_NOT_FOUND));
}

TEST(CryptQueryObject, FindsNothingInAnUnsignedFile) {
  const auto path = signingFixture("unsigned");
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  DWORD encoding = 0, content = 0, format = 0;
  SetLastError(0);
  EXPECT_FALSE(CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_ALL,
                                CERT_QUERY_FORMAT_FLAG_ALL, 0, &encoding, &content, &format, &store, &message,
                                nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(CRYPT_E_NO_MATCH));
  EXPECT_EQ(store, nullptr);
  EXPECT_EQ(message, nullptr);
}

#ifndef _WIN32
// Detached signatures, the trust folder and the chain's faults, which only the
// POSIX build has or which Wine does not tell apart.

TEST(WinVerifyTrustPosix, TellsEveryFaultOfADetachedSignatureApart) {
  TestTrustAnchors anchors;
  expectVerdicts({
      {"signed_pem", 0},
      {"untrusted", CERT_E_UNTRUSTEDROOT},
      {"wrong_usage", CERT_E_WRONG_USAGE},
      {"other_file", TRUST_E_BAD_DIGEST},
      {"empty_signature", TRUST_E_NOSIGNATURE},
      {"garbage_signature", TRUST_E_NOSIGNATURE},
      {"truncated_signature", TRUST_E_NOSIGNATURE},
      {"attached", TRUST_E_NOSIGNATURE},
      {"two_signers", TRUST_E_NOSIGNATURE},
      {"missing", CRYPT_E_FILE_ERROR},
  });
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(CRYPT_E_FILE_ERROR));
}

TEST(WinVerifyTrustPosix, TrustsOnlyTheAnchorsInTheTrustFolder) {
  {
    TestTrustAnchors none(TestTrustAnchors::Anchors::None);
    expectVerdicts({{"signed", CERT_E_UNTRUSTEDROOT}});
  }
  {
    // An anchor that anyone may replace vouches for nothing.
    TestTrustAnchors anchors;
    ASSERT_EQ(chmod((anchors.trustFolder() / "root.pem").c_str(), 0666), 0);
    expectVerdicts({{"signed", CERT_E_UNTRUSTEDROOT}});
  }
  {
    // Nor one that a group may write, in a file or in the folder.
    TestTrustAnchors anchors;
    ASSERT_EQ(chmod((anchors.trustFolder() / "root.pem").c_str(), 0664), 0);
    expectVerdicts({{"signed", CERT_E_UNTRUSTEDROOT}});
    ASSERT_EQ(chmod((anchors.trustFolder() / "root.pem").c_str(), 0644), 0);
    expectVerdicts({{"signed", 0}});
    ASSERT_EQ(chmod(anchors.trustFolder().c_str(), 0775), 0);
    expectVerdicts({{"signed", CERT_E_UNTRUSTEDROOT}});
  }
  if (geteuid() == 0) {
    // Nor one that another user owns, file or folder (only root can hand them over).
    TestTrustAnchors anchors;
    ASSERT_EQ(chown((anchors.trustFolder() / "root.pem").c_str(), 65534, 65534), 0);
    expectVerdicts({{"signed", CERT_E_UNTRUSTEDROOT}});
    ASSERT_EQ(chown((anchors.trustFolder() / "root.pem").c_str(), 0, 0), 0);
    ASSERT_EQ(chown(anchors.trustFolder().c_str(), 65534, 65534), 0);
    expectVerdicts({{"signed", CERT_E_UNTRUSTEDROOT}});
  }
  {
    // The signer's own certificate as the anchor: no self-signed root needed.
    TestTrustAnchors anchors(TestTrustAnchors::Anchors::None);
    std::filesystem::copy_file(std::filesystem::u8path(ORV_SIGNING_FIXTURES) / "pki" / "halvik.pem",
                               anchors.trustFolder() / "vendor.pem");
    expectVerdicts({{"signed", 0}, {"foreign", CERT_E_UNTRUSTEDROOT}});
  }
}

TEST(WinVerifyTrustPosix, RefusesWhatIsNotARegularFileWithoutWaiting) {
  TestTrustAnchors anchors;
  orv_test::ScratchFolder folder;
  const auto fifo = folder.path() / "module.so";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(static_cast<DWORD>(verifyFileTrust(orv_test::widePath(fifo))), static_cast<DWORD>(CRYPT_E_FILE_ERROR));
  EXPECT_EQ(static_cast<DWORD>(verifyFileTrust(orv_test::widePath(folder.path()))),
            static_cast<DWORD>(CRYPT_E_FILE_ERROR));

  // A FIFO in place of the signature.
  std::filesystem::copy_file(signingFixturePath("unsigned"), folder.path() / "plain.so");
  ASSERT_EQ(mkfifo((folder.path() / "plain.so.p7s").c_str(), 0600), 0);
  EXPECT_EQ(static_cast<DWORD>(verifyFileTrust(folder.wide("plain.so"))), static_cast<DWORD>(CRYPT_E_FILE_ERROR));
}

TEST(WinVerifyTrustPosix, RejectsMalformedRequests) {
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_DATA data{};
  EXPECT_EQ(static_cast<DWORD>(WinVerifyTrust(nullptr, &action, nullptr)), static_cast<DWORD>(E_INVALIDARG));
  data.cbStruct = 8;
  EXPECT_EQ(static_cast<DWORD>(WinVerifyTrust(nullptr, &action, &data)), static_cast<DWORD>(E_INVALIDARG));
  data.cbStruct = sizeof data;
  data.dwUnionChoice = WTD_CHOICE_CATALOG;
  EXPECT_EQ(static_cast<DWORD>(WinVerifyTrust(nullptr, &action, &data)),
            static_cast<DWORD>(TRUST_E_SUBJECT_FORM_UNKNOWN));
  data.dwUnionChoice = WTD_CHOICE_FILE;
  EXPECT_EQ(static_cast<DWORD>(WinVerifyTrust(nullptr, &action, &data)), static_cast<DWORD>(E_INVALIDARG));
  EXPECT_EQ(static_cast<DWORD>(WinVerifyTrust(nullptr, nullptr, &data)), static_cast<DWORD>(TRUST_E_PROVIDER_UNKNOWN));
  GUID other = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};  // Wine answers 0 here, Windows does not
  EXPECT_EQ(static_cast<DWORD>(WinVerifyTrust(nullptr, &other, &data)), static_cast<DWORD>(TRUST_E_PROVIDER_UNKNOWN));
}

TEST(CertificateContextsPosix, AreCountedAndRejectedOnceFreed) {
  TestTrustAnchors anchors;
  const auto path = signingFixture("signed_pem");
  HCERTSTORE store = nullptr;
  DWORD format = 0;
  ASSERT_TRUE(CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_ALL,
                               CERT_QUERY_FORMAT_FLAG_ALL, 0, nullptr, nullptr, &format, &store, nullptr, nullptr));
  EXPECT_EQ(format, CERT_QUERY_FORMAT_BASE64_ENCODED);
  PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_ANY, nullptr, nullptr);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(CertDuplicateCertificateContext(found), found);
  EXPECT_TRUE(CertFreeCertificateContext(found));
  EXPECT_TRUE(CertFreeCertificateContext(found));
  EXPECT_FALSE(CertFreeCertificateContext(found));

  // A forced close frees what was taken from the store.
  found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_ANY, nullptr, nullptr);
  EXPECT_TRUE(CertCloseStore(store, CERT_CLOSE_STORE_FORCE_FLAG));
  EXPECT_FALSE(CertFreeCertificateContext(found));
  EXPECT_FALSE(CertCloseStore(store, 0));  // closed already

  // Without force, what was taken stays valid after the close.
  ASSERT_TRUE(CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_ALL,
                               CERT_QUERY_FORMAT_FLAG_ALL, 0, nullptr, nullptr, nullptr, &store, nullptr, nullptr));
  found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_ANY, nullptr, nullptr);
  SetLastError(0);
  EXPECT_FALSE(CertCloseStore(store, CERT_CLOSE_STORE_CHECK_FLAG));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(CRYPT_E_PENDING_CLOSE));
  EXPECT_NE(found->pCertInfo->Subject.cbData, 0u);
  EXPECT_TRUE(CertFreeCertificateContext(found));
}

TEST(CertificateChainPosix, EndsWhereItStopsWithItsFaultInTheStatus) {
  TestTrustAnchors anchors;
  const auto path = signingFixture("untrusted");
  HCERTSTORE store = nullptr;
  ASSERT_TRUE(CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_ALL,
                               CERT_QUERY_FORMAT_FLAG_ALL, 0, nullptr, nullptr, nullptr, &store, nullptr, nullptr));
  const WString leafName = widen("Code Signing");
  PCCERT_CONTEXT leaf =
      CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_STR_W, leafName.c_str(), nullptr);
  ASSERT_NE(leaf, nullptr);
  CERT_CHAIN_PARA parameters{};
  parameters.cbSize = sizeof parameters;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  ASSERT_TRUE(CertGetCertificateChain(nullptr, leaf, nullptr, store, &parameters, 0, nullptr, &chain));
  EXPECT_EQ(chain->TrustStatus.dwErrorStatus, CERT_TRUST_IS_UNTRUSTED_ROOT);
  EXPECT_EQ(chain->rgpChain[0]->cElement, 2u);
  CertFreeCertificateChain(chain);
  CertFreeCertificateChain(chain);  // a second free is ignored
  EXPECT_FALSE(CertGetCertificateChain(nullptr, leaf, nullptr, store, nullptr, 0, nullptr, &chain));
  CertFreeCertificateContext(leaf);
  CertCloseStore(store, 0);
}
#endif

}  // namespace
