// CORVSignedFile: the four results of the trust check, the signer search
// over the signer's own chain, and its traces. The fixtures are signed at
// build time (tests/fixtures/make_signing_fixtures.sh).
#include "orv_windows_signedfile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "services_log_fixture.h"

namespace {

using orv_test::narrow;
using orv_test::signingFixture;
using orv_test::signingFixturePath;
using orv_test::wideString;

struct Verdict {
  const char* fixture;
  const char* signer;
  bool passed;
  bool signerFound;
  const char* logs;  // the exception's text, or nothing
};

class SignedFileTest : public orv_test::ServicesLogTest {
 protected:
  void expectVerdict(const Verdict& v) {
    SCOPED_TRACE(std::string(v.fixture) + " for \"" + v.signer + "\"");
    clearLog();
    CORVSignedFile file(wideString(signingFixture(v.fixture)));
    bool found = !v.signerFound;
    EXPECT_EQ(file.verifySignature(wideString(std::string(v.signer)), found), v.passed);
    EXPECT_EQ(found, v.signerFound);
    if (v.logs != nullptr) {
      EXPECT_TRUE(logged({"<EXCEPTION_BAD>", v.logs, "orv_windows_signedfile.cpp"})) << logText();
    } else {
      EXPECT_TRUE(linesWith({"<EXCEPTION_BAD>"}).empty()) << logText();
    }
  }
};

TEST_F(SignedFileTest, AcceptsTheMakersSignatureAndRefusesEveryOther) {
  const Verdict verdicts[] = {
      {"signed", "HALVIK", true, true, nullptr},
      {"signed", "halvik software", true, true, nullptr},
      {"signed", "ORV Test Root", true, true, nullptr},
      {"signed", "", true, true, nullptr},
      {"foreign", "HALVIK", true, false, nullptr},
      {"foreign", "", true, true, nullptr},
      {"stray", "HALVIK", true, false, nullptr},
      {"stray", "Foreign Signer", true, true, nullptr},
      {"subjectless", "HALVIK", true, false, nullptr},
      {"unsigned", "HALVIK", false, false, "\"TRUST_E_NOSIGNATURE during verification\""},
      {"unsigned", "", false, false, "\"TRUST_E_NOSIGNATURE during verification\""},
      {"tampered", "HALVIK", false, false, "\"TRUST_E_BAD_DIGEST when verifying file signature\""},
  };
  for (const Verdict& v : verdicts) expectVerdict(v);
}

#ifndef _WIN32
// What Wine does not refuse (an untrusted root) or what only a detached
// signature can get wrong.
TEST_F(SignedFileTest, RefusesUntrustedAndBrokenDetachedSignatures) {
  const Verdict verdicts[] = {
      {"signed_pem", "HALVIK", true, true, nullptr},
      {"untrusted", "HALVIK", false, false, "\"Error in call to WinVerifyTrust\" <Error: 0x800b0109>"},
      {"wrong_usage", "HALVIK", false, false, "\"Error in call to WinVerifyTrust\" <Error: 0x800b0110>"},
      {"two_signers", "HALVIK", false, false, "\"TRUST_E_NOSIGNATURE during verification\""},
      {"garbage_signature", "", false, false, "\"TRUST_E_NOSIGNATURE during verification\""},
      {"truncated_signature", "", false, false, "\"TRUST_E_NOSIGNATURE during verification\""},
      {"other_file", "HALVIK", false, false, "\"TRUST_E_BAD_DIGEST when verifying file signature\""},
      // Signed by "foreign"; the signer information names its issuer in
      // other letter case, which an impostor "HALVIK" certificate matches
      // byte for byte. Only the certificate that verified may vouch.
      {"case_issuer", "HALVIK", true, false, nullptr},
      {"case_issuer", "Foreign Signer", true, true, nullptr},
  };
  for (const Verdict& v : verdicts) expectVerdict(v);
}

// An anchor that a group may write vouches for nothing, and the log says
// which file was passed over; so does a folder that a group may write.
TEST_F(SignedFileTest, AnAnchorOthersMayWriteIsIgnoredAndNamed) {
  const std::filesystem::path trust = std::filesystem::path(std::getenv("ORV_REGISTRY_DIR")) / "trust";
  const std::filesystem::path anchor = trust / "root.pem";
  std::filesystem::permissions(anchor, std::filesystem::perms::group_write, std::filesystem::perm_options::add);
  expectVerdict({"signed", "HALVIK", false, false, "\"Error in call to WinVerifyTrust\" <Error: 0x800b0109>"});
  EXPECT_TRUE(logged({"<EXCEPTION_BAD>", "\"Trust anchor " + anchor.string() + " ignored"})) << logText();

  std::filesystem::permissions(anchor, std::filesystem::perms::group_write, std::filesystem::perm_options::remove);
  std::filesystem::permissions(trust, std::filesystem::perms::others_write, std::filesystem::perm_options::add);
  clearLog();
  CORVSignedFile file(wideString(signingFixture("signed")));
  bool found = true;
  EXPECT_FALSE(file.verifySignature(wideString(std::string("HALVIK")), found));
  EXPECT_FALSE(found);
  EXPECT_TRUE(logged({"\"Trust anchor " + trust.string() + " ignored"})) << logText();
  std::filesystem::permissions(trust, std::filesystem::perms::others_write, std::filesystem::perm_options::remove);

  clearLog();
  expectVerdict({"signed", "HALVIK", true, true, nullptr});
}

TEST_F(SignedFileTest, AFolderIsFoundButCannotBeRead) {
  CORVSignedFile folder(wideString(orv_test::widePath(signingFixturePath("signed").parent_path())));
  bool found = true;
  EXPECT_FALSE(folder.verifySignature(wideString(std::string("HALVIK")), found));
  EXPECT_FALSE(found);
  EXPECT_TRUE(logged({"\"CRYPT_E_FILE_ERROR during verification\""})) << logText();
}
#endif

TEST_F(SignedFileTest, AMissingFileCannotBeConstructed) {
  const auto missing = signingFixture("missing");
  EXPECT_THROW(CORVSignedFile file(wideString(missing)), CORVSignedFileInitException);
  EXPECT_TRUE(logged({"\"Provided signed filename " + narrow(missing) + " does not exist.\""})) << logText();
  EXPECT_TRUE(logged({"\"CORVSignedFile object failed to initialize\""})) << logText();
}

TEST_F(SignedFileTest, AFileThatGoesAfterConstructionIsRefused) {
  orv_test::ScratchFolder folder;
  std::filesystem::copy_file(signingFixturePath("unsigned"), folder.path() / "module");
  CORVSignedFile file(wideString(folder.wide("module")));
  std::filesystem::remove(folder.path() / "module");
  bool found = true;
  EXPECT_FALSE(file.verifySignature(CORVWCharString(), found));
  EXPECT_FALSE(found);
  EXPECT_TRUE(logged({"does not exist."})) << logText();
}

TEST_F(SignedFileTest, EveryOperationIsTracedUnderItsName) {
  {
    CORVSignedFile unnamed;
    CORVSignedFile file(wideString(signingFixture("signed")));
    bool found = false;
    file.verifySignature(wideString(std::string("HALVIK")), found);
  }
  for (const char* method :
       {"Default Constructor", "Constructor", "initialize", "verifySignature", "~CORVSignedFile"}) {
    SCOPED_TRACE(method);
    EXPECT_TRUE(traced(std::string("CORVSignedFile::") + method)) << logText();
  }
  EXPECT_TRUE(logged({"<EXIT>", "<CORVSignedFile::verifySignature>", "<Passed>"}));
}

}  // namespace
