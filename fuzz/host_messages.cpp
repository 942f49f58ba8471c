// Arbitrary bytes on the host's standard input: the framing loop, and the
// handler's parse and dispatch of one body. The host runs as installed, in a
// throw-away registry: the signed reference policy module ("AppPolicy"), the
// reference interface module ("InstallPath") with its store in a scratch
// folder, the stand-in "password_manager.exe" running and the text log on,
// so that loads and creates reach the record path, the store and the log.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ChromeNativeMessageHandle.h"
#include "MessageReader.h"
#include "launched_program.h"
#include "orv_win32.h"
#include "process_wait.h"

namespace {

std::string gFolder;
std::unique_ptr<orv_test::LaunchedProgram> gStandIn;

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "host_messages: %s\n", what);
  std::abort();
}

std::u16string widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

HKEY createKey(const char* path) {
  HKEY key = nullptr;
  require(RegCreateKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<LPCWSTR>(widen(path).c_str()), 0, nullptr, 0,
                          KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS,
          "cannot create a registry key");
  return key;
}

void setString(const char* path, const char* name, const std::string& value) {
  HKEY key = createKey(path);
  const std::u16string text = widen(value);
  RegSetValueExW(key, reinterpret_cast<LPCWSTR>(widen(name).c_str()), 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>((text.size() + 1) * 2));
  RegCloseKey(key);
}

void setDword(const char* path, const char* name, DWORD value) {
  HKEY key = createKey(path);
  RegSetValueExW(key, reinterpret_cast<LPCWSTR>(widen(name).c_str()), 0, REG_DWORD,
                 reinterpret_cast<const BYTE*>(&value), sizeof(value));
  RegCloseKey(key);
}

void cleanUp() {
  gStandIn.reset();
  std::error_code ignored;
  std::filesystem::remove_all(gFolder, ignored);
}

// The installation, once per process; the handler is built after it, as the
// host builds it at start-up.
CChromeNativeMessageHandle* installedHost() {
  std::string pattern = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/orv_fuzz_host_XXXXXX";
  require(mkdtemp(pattern.data()) != nullptr, "no scratch folder");
  gFolder = pattern;
  std::atexit(cleanUp);
  const std::string registry = gFolder + "/registry";
  std::filesystem::create_directories(registry);
  setenv("ORV_REGISTRY_DIR", registry.c_str(), 1);
  setenv("ORVPWM_RECORDS_DIR", (gFolder + "/records").c_str(), 1);

  const std::string policy = gFolder + "/orvpwm_policy.so";
  std::filesystem::copy_file(ORV_BIN_DIR "/orvpwm_policy.so", policy);
  orv_test::LaunchedProgram signer({ORV_SOURCE_DIR "/scripts/sign-module", policy, registry + "/trust"},
                                   {orv_test::LaunchOptions::Streams::kInherit});
  require(signer.waitForExit() == 0, "cannot sign the policy module (scripts/sign-module)");

  setString("Software\\Halvik\\Password Manager", "InstallPath", ORV_BIN_DIR "/");
  setString("Software\\Halvik\\Password Manager\\Modules", "AppPolicy", policy);
  // Exceptions and warnings go to a small rotating log; tracing stays off.
  setDword("SOFTWARE\\Halvik\\Logs", "Logging", 1);
  setDword("SOFTWARE\\Halvik\\Logs", "MaxLogFileSize", 64);
  setDword("SOFTWARE\\Halvik\\Logs", "MaxLogFileNum", 2);
  setString("SOFTWARE\\Halvik\\Logs", "TextOutput", gFolder + "/log/host.log");

  gStandIn = std::make_unique<orv_test::LaunchedProgram>(std::vector<std::string>{ORV_BIN_DIR "/password_manager.exe"});
  require(orv_test::waitUntilRunning("password_manager.exe"), "the stand-in does not show as running");
  // Replies go nowhere; the fuzzer's own output stays on standard error.
  require(std::freopen("/dev/null", "wb", stdout) != nullptr, "cannot silence standard output");
  return new CChromeNativeMessageHandle();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static CChromeNativeMessageHandle* handler = installedHost();
  std::FILE* input = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (input != nullptr) {
    runMessageLoop(input, *handler);
    std::fclose(input);
  }
  handler->HandleMessage(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
