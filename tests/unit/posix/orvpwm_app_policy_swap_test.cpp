// The module that the application policy loads is the file it checked: a
// second process swaps the module's path between the maker's signed module
// and an unsigned one that marks every load, while new processes build the
// proxy as the host does at start-up. The unsigned module must never run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "orv_pwm_application_policy.h"
#include "services_log_fixture.h"

namespace {

const WCHAR kModulesKey[] = ORV_W("Software\\Halvik\\Password Manager\\Modules");
constexpr int kStarts = 100;

class PolicySwapTest : public orv_test::ServicesLogTest {
 protected:
  void SetUp() override {
    ServicesLogTest::SetUp();
    std::filesystem::copy_file(std::filesystem::u8path(ORV_POLICY_SIGNING_FIXTURES) / "trust" / "root.pem",
                               std::filesystem::path(std::getenv("ORV_REGISTRY_DIR")) / "trust" / "policy_root.pem",
                               std::filesystem::copy_options::overwrite_existing);
    const std::filesystem::path fixtures = std::filesystem::u8path(ORV_POLICY_SIGNING_FIXTURES);
    std::filesystem::copy_file(fixtures / "signed.so", folder_.path() / "signed.so");
    std::filesystem::copy_file(std::filesystem::u8path(ORV_TEST_MODULES_DIR) / "marker" / "marker.dll",
                               folder_.path() / "marker.so");
    std::filesystem::copy_file(fixtures / "signed.so.p7s", folder_.path() / "policy.so.p7s");
    std::filesystem::copy_file(folder_.path() / "signed.so", folder_.path() / "policy.so");
    const std::u16string path = (folder_.path() / "policy.so").u16string();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kModulesKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, ORV_W("AppPolicy"), 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
    marker_ = folder_.path() / "unsigned-code-ran";
    setenv("ORV_TEST_LOAD_MARKER", marker_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ORV_TEST_LOAD_MARKER");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kModulesKey);
    ServicesLogTest::TearDown();
  }

  // Puts the two modules in the path's place in turn, as fast as it can.
  pid_t startSwapping() {
    const std::string signedModule = (folder_.path() / "signed.so").string();
    const std::string unsignedModule = (folder_.path() / "marker.so").string();
    const std::string next = (folder_.path() / "policy.next").string();
    const std::string target = (folder_.path() / "policy.so").string();
    const pid_t swapper = fork();
    if (swapper == 0) {
      for (;;) {
        for (const std::string* source : {&signedModule, &unsignedModule}) {
          unlink(next.c_str());
          if (link(source->c_str(), next.c_str()) == 0) rename(next.c_str(), target.c_str());
        }
      }
    }
    return swapper;
  }

  // Builds the proxy in a new process, as a host start does; whether the
  // maker's module answered there.
  static bool startOnce() {
    const pid_t start = fork();
    if (start == 0) {
      CORVPwmApplicationPolicy policy(false);
      _exit(policy.isPwmEnabled() ? 0 : 1);
    }
    int status = 0;
    waitpid(start, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  orv_test::ScratchFolder folder_;
  std::filesystem::path marker_;
};

TEST_F(PolicySwapTest, AModuleSwappedAfterTheCheckNeverRuns) {
  ASSERT_TRUE(startOnce()) << "the signed module loads while nothing swaps it";
  const pid_t swapper = startSwapping();
  ASSERT_GT(swapper, 0);
  int loaded = 0;
  for (int i = 0; i < kStarts && !std::filesystem::exists(marker_); ++i) loaded += startOnce() ? 1 : 0;
  kill(swapper, SIGKILL);
  waitpid(swapper, nullptr, 0);
  EXPECT_FALSE(std::filesystem::exists(marker_)) << "the unsigned module ran after the signed one was checked";
  EXPECT_GT(loaded, 0) << "the signed module never loaded at all";
}

}  // namespace
