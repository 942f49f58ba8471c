// The signed and broken copies of the sample module made at build time
// (tests/fixtures/make_signing_fixtures.sh), and the trust anchors that the
// POSIX build checks them against.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "log_test_support.h"
#include "orv_win32.h"

namespace orv_test {

#ifdef _WIN32
constexpr const char* kModuleExtension = ".dll";
#else
constexpr const char* kModuleExtension = ".so";
#endif

inline std::filesystem::path signingFixturePath(const std::string& stem) {
  return std::filesystem::u8path(ORV_SIGNING_FIXTURES) / (stem + kModuleExtension);
}

inline WString signingFixture(const std::string& stem) { return widePath(signingFixturePath(stem)); }

// Makes the test root the one trust anchor of the POSIX build whose
// ORV_REGISTRY_DIR is registryFolder.
inline void installTestTrustAnchor(const std::filesystem::path& registryFolder) {
  std::filesystem::create_directories(registryFolder / "trust");
  std::filesystem::copy_file(std::filesystem::u8path(ORV_SIGNING_FIXTURES) / "trust" / "root.pem",
                             registryFolder / "trust" / "root.pem", std::filesystem::copy_options::overwrite_existing);
}

// While it lives, the POSIX build trusts only the test root (or nothing):
// ORV_REGISTRY_DIR names a scratch folder whose trust/ holds the anchors.
// Windows trusts what Wine trusts; there it changes nothing.
class TestTrustAnchors {
 public:
  enum class Anchors { TestRoot, None };

  explicit TestTrustAnchors(Anchors anchors = Anchors::TestRoot) {
#ifndef _WIN32
    const char* previous = std::getenv("ORV_REGISTRY_DIR");
    if (previous != nullptr) previous_ = previous;
    if (anchors == Anchors::TestRoot)
      installTestTrustAnchor(folder_.path());
    else
      std::filesystem::create_directory(trustFolder());
    setenv("ORV_REGISTRY_DIR", folder_.path().c_str(), 1);
#else
    (void)anchors;
#endif
  }
  ~TestTrustAnchors() {
#ifndef _WIN32
    if (previous_)
      setenv("ORV_REGISTRY_DIR", previous_->c_str(), 1);
    else
      unsetenv("ORV_REGISTRY_DIR");
#endif
  }
  TestTrustAnchors(const TestTrustAnchors&) = delete;
  TestTrustAnchors& operator=(const TestTrustAnchors&) = delete;

  std::filesystem::path trustFolder() const { return folder_.path() / "trust"; }

 private:
  ScratchFolder folder_;
  std::optional<std::string> previous_;
};

// WinVerifyTrust as the signed-file check calls it.
inline LONG verifyFileTrust(const WString& path) {
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path.c_str();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwProvFlags = WTD_REVOCATION_CHECK_NONE;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  return WinVerifyTrust(nullptr, &action, &data);
}

}  // namespace orv_test
