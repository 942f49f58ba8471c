// CORVWindowsOSInfo: the facts it gathers when built, against a registry of
// the test's own and the process environment.
#include "orv_windows_os_info.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "registry_test_support.h"

namespace {

using orv_test::RegistryPath;
using orv_test::widen;

// The system key keeps its other values; only "CSDVersion" is set or removed
// for a test and put back afterwards.
class ServicePackValue {
 public:
  static RegistryPath key() { return {HKEY_LOCAL_MACHINE, widen("SYSTEM\\CurrentControlSet\\Control\\Windows")}; }

  ServicePackValue() { hadValue_ = orv_test::getRawValue(key(), widen("CSDVersion"), type_, data_); }
  ~ServicePackValue() {
    if (hadValue_)
      orv_test::setRawValue(key(), widen("CSDVersion"), type_, data_.data(), static_cast<DWORD>(data_.size()));
    else
      remove();
  }
  void set(DWORD value) { orv_test::setDwordValue(key(), widen("CSDVersion"), value); }
  void remove() {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(key().root, key().path.c_str(), 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS) return;
    RegDeleteValueW(handle, ORV_W("CSDVersion"));
    RegCloseKey(handle);
  }

 private:
  bool hadValue_ = false;
  DWORD type_ = 0;
  std::vector<BYTE> data_;
};

class WindowsOSInfoTest : public ::testing::Test {
 protected:
  orv_test::ScratchRegistry registry_;
  ServicePackValue servicePack_;
};

TEST_F(WindowsOSInfoTest, TheServicePackIsTheHighByteOfCSDVersion) {
  struct Case {
    bool present;
    DWORD value;
    ULONG servicePack;
  };
  const Case cases[] = {{true, 0x100, 1}, {true, 0x2FF, 2}, {true, 0xFF, 0}, {false, 0, 0}};
  for (const Case& c : cases) {
    if (c.present)
      servicePack_.set(c.value);
    else
      servicePack_.remove();
    EXPECT_EQ(CORVWindowsOSInfo().getServicePack(), c.servicePack) << std::hex << c.value;
  }
}

TEST_F(WindowsOSInfoTest, TheVersionIsMajorPlusATenthOfMinor) {
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&version)));
  const double expected = version.dwMajorVersion + version.dwMinorVersion / 10.0;
  EXPECT_DOUBLE_EQ(CORVWindowsOSInfo().getVersion(), expected);
}

TEST_F(WindowsOSInfoTest, ThePECheckNeedsANonEmptyORVDrive) {
  struct Case {
    const WCHAR* value;
    bool isPE;
  };
  const Case cases[] = {{ORV_W("X:"), true}, {ORV_W(""), false}, {nullptr, false}};
  for (const Case& c : cases) {
    ASSERT_TRUE(SetEnvironmentVariableW(ORV_W("ORVDrive"), c.value));
    EXPECT_EQ(CORVWindowsOSInfo().isPE(), c.isPE) << (c.value == nullptr ? "unset" : orv_test::narrow(c.value));
  }
}

TEST_F(WindowsOSInfoTest, ThePlatformIsTheMachinesWidth) {
  SYSTEM_INFO info = {};
  GetNativeSystemInfo(&info);
  const bool is64Bit = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                       info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64 ||
                       info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA32_ON_WIN64;
  CORVWindowsOSInfo osInfo;
  EXPECT_EQ(osInfo.getPlatform(), is64Bit ? CORVWindowsOSInfo::kPlatform64 : CORVWindowsOSInfo::kPlatform32);
#if defined(__x86_64__) || defined(_M_X64)
  EXPECT_EQ(osInfo.getPlatform(), CORVWindowsOSInfo::kPlatform64);
#endif
}

TEST_F(WindowsOSInfoTest, TheShellsFeatureQueryIsAnsweredOnlyOnWindows) {
  CORVWindowsOSInfo osInfo;
  bool answer = true;
#ifdef _WIN32
  EXPECT_TRUE(osInfo.performOSQueryFunction(18, answer));
#else
  EXPECT_FALSE(osInfo.performOSQueryFunction(18, answer));
  EXPECT_TRUE(answer) << "left alone";
  EXPECT_FALSE(osInfo.getOSFeature18());
  EXPECT_FALSE(osInfo.getOSFeature37());
#endif
}

}  // namespace
