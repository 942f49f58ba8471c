#include <gtest/gtest.h>

#include <cstring>

#include "orv_win32.h"

#ifndef _WIN32
#include <sys/utsname.h>

#include <cstdio>
#endif

namespace {

static_assert(sizeof(OSVERSIONINFOW) == 276, "Windows' size of the plain version structure");
static_assert(sizeof(OSVERSIONINFOEXW) == 284, "Windows' size of the extended version structure");

// The version call writes no further than the size it was given.
TEST(VersionInfo, FillsBothStructureSizesWithinTheirBounds) {
  struct {
    OSVERSIONINFOEXW info;
    unsigned char guard[16];
  } plain, extended;
  std::memset(&plain, 0xA5, sizeof(plain));
  std::memset(&extended, 0xA5, sizeof(extended));
  plain.info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  extended.info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);

  ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&plain.info)));
  ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&extended.info)));

  EXPECT_EQ(plain.info.dwMajorVersion, extended.info.dwMajorVersion);
  EXPECT_EQ(plain.info.dwMinorVersion, extended.info.dwMinorVersion);
  EXPECT_GT(extended.info.dwMajorVersion, 0u);
  EXPECT_EQ(extended.info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  // The extension of the plain structure is left as it was.
  const auto* plainTail = reinterpret_cast<const unsigned char*>(&plain.info) + sizeof(OSVERSIONINFOW);
  for (size_t i = 0; i < sizeof(OSVERSIONINFOEXW) - sizeof(OSVERSIONINFOW); ++i) EXPECT_EQ(plainTail[i], 0xA5);
  for (unsigned char byte : extended.guard) EXPECT_EQ(byte, 0xA5);
}

TEST(VersionInfo, RejectsAnyOtherStructureSize) {
  OSVERSIONINFOEXW info;
  const DWORD sizes[] = {0, sizeof(OSVERSIONINFOW) - 4, sizeof(OSVERSIONINFOEXW) + 4};
  for (DWORD size : sizes) {
    std::memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = size;
    SetLastError(0);
    EXPECT_FALSE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&info))) << "size " << size;
#ifndef _WIN32
    // Windows' code for it; Wine leaves the last error alone.
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << "size " << size;
#endif
    EXPECT_EQ(info.dwMajorVersion, 0u);
  }
}

#ifndef _WIN32
TEST(VersionInfo, ReportsTheKernelsMajorAndMinorRelease) {
  utsname names;
  ASSERT_EQ(uname(&names), 0);
  unsigned major = 0, minor = 0;
  ASSERT_EQ(std::sscanf(names.release, "%u.%u", &major, &minor), 2) << names.release;

  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&info)));
  EXPECT_EQ(info.dwMajorVersion, major);
  EXPECT_EQ(info.dwMinorVersion, minor);
  EXPECT_EQ(info.szCSDVersion[0], 0);
}
#endif

TEST(NativeSystemInfo, ReportsTheMachinesArchitectureWithWindowsCodes) {
  SYSTEM_INFO info;
  std::memset(&info, 0xA5, sizeof(info));
  GetNativeSystemInfo(&info);
#if defined(__x86_64__) || defined(_M_X64)
  EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
#elif defined(__aarch64__) || defined(_M_ARM64)
  EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_ARM64);
#endif
  EXPECT_NE(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_UNKNOWN);
  EXPECT_GE(info.dwNumberOfProcessors, 1u);
  EXPECT_NE(info.dwActiveProcessorMask, 0u);
  EXPECT_GT(info.dwPageSize, 0u);
  EXPECT_EQ(info.dwPageSize & (info.dwPageSize - 1), 0u) << "page size is a power of two";
  EXPECT_EQ(info.dwAllocationGranularity, 65536u);
}

}  // namespace
