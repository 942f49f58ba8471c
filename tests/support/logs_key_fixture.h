// A fixture for the logging tests that read the registry: it gives each
// test an empty HKEY_LOCAL_MACHINE\SOFTWARE\Halvik\Logs (on Linux in a
// scratch registry of its own), a "TextOutput" in a scratch folder, and
// puts back the process-wide logging values afterwards.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <string>

#include "log_test_support.h"
#include "orv_log_globals.h"
#include "orv_win32.h"

namespace orv_test {

class LogsKeyTest : public ::testing::Test {
 protected:
  static constexpr const WCHAR* kLogsKey = ORV_W("SOFTWARE\\Halvik\\Logs");

  void SetUp() override {
    const char* registryDir = std::getenv("ORV_REGISTRY_DIR");
    if (registryDir != nullptr) savedRegistryDir_ = registryDir;
    setEnvironment("ORV_REGISTRY_DIR", (registry_.path() / "registry").string());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kLogsKey);
    saved_ = {g_ulDynamicLogging.load(), g_ulMaxLogFileNum.load(), g_ulMaxLogFileSize.load(),
              g_ulLogBytesWritten.load(), g_ulLogRotations.load()};
    g_ulMaxLogFileNum = 1;
    g_ulMaxLogFileSize = 10240;
    g_ulLogBytesWritten = 0;
    g_ulLogRotations = 0;
  }

  void TearDown() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kLogsKey);
    g_ulDynamicLogging = saved_[0];
    g_ulMaxLogFileNum = saved_[1];
    g_ulMaxLogFileSize = saved_[2];
    g_ulLogBytesWritten = saved_[3];
    g_ulLogRotations = saved_[4];
    if (savedRegistryDir_)
      setEnvironment("ORV_REGISTRY_DIR", *savedRegistryDir_);
    else
      unsetEnvironment("ORV_REGISTRY_DIR");
  }

  // "Logging" 1 and the text log in the scratch folder.
  void enableTextLog(DWORD logDetail) {
    setDword(ORV_W("Logging"), 1);
    setDword(ORV_W("LogDetail"), logDetail);
    setString(ORV_W("TextOutput"), logPath());
  }

  void setDword(const WCHAR* name, DWORD value) {
    HKEY key = createLogsKey();
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void setString(const WCHAR* name, const WString& text) {
    HKEY key = createLogsKey();
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR))),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void setString(const WCHAR* name, const std::string& ascii) { setString(name, widen(ascii)); }
  void removeValue(const WCHAR* name) {
    HKEY key = createLogsKey();
    RegDeleteValueW(key, name);
    RegCloseKey(key);
  }

  WString logPath() const { return folder_.wide("test.log"); }
  std::vector<std::string> logLines() const { return readLogLines(folder_.path() / "test.log"); }
  void clearLog() const { std::filesystem::remove(folder_.path() / "test.log"); }

  ScratchFolder folder_;

 private:
  HKEY createLogsKey() {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kLogsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
  }
  static void setEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
  }
  static void unsetEnvironment(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
  }

  ScratchFolder registry_;
  std::optional<std::string> savedRegistryDir_;
  std::array<ULONG, 5> saved_{};
};

}  // namespace orv_test
