// The process token and its privileges: the same results from Windows (under
// Wine) and from the POSIX layer, which holds every privilege.
#include <gtest/gtest.h>

#include "log_test_support.h"
#include "orv_win32.h"

namespace {

using orv_test::widen;

HANDLE openOwnToken(DWORD access) {
  HANDLE token = nullptr;
  EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), access, &token));
  return token;
}

BOOL adjust(HANDLE token, DWORD luid, DWORD attributes, TOKEN_PRIVILEGES* previous = nullptr) {
  TOKEN_PRIVILEGES wanted{};
  wanted.PrivilegeCount = 1;
  wanted.Privileges[0].Luid = LUID{luid, 0};
  wanted.Privileges[0].Attributes = attributes;
  DWORD length = 0;
  return AdjustTokenPrivileges(token, FALSE, &wanted, previous ? sizeof *previous : 0, previous,
                               previous ? &length : nullptr);
}

TEST(Privileges, NamesHaveWindowsLuidsWhateverTheirCase) {
  struct Case {
    const char* name;
    DWORD luid;
  };
  const Case cases[] = {
      {"SeBackupPrivilege", 17},       {"SeRestorePrivilege", 18},  {"SeDebugPrivilege", 20},
      {"SECHANGENOTIFYPRIVILEGE", 23}, {"seshutdownprivilege", 19},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LUID luid{0, -1};
    EXPECT_TRUE(LookupPrivilegeValueW(nullptr, widen(c.name).c_str(), &luid));
    EXPECT_EQ(luid.LowPart, c.luid);
    EXPECT_EQ(luid.HighPart, 0);
  }
  for (const char* unknown : {"SeNoSuchPrivilege", "", "SeBackupPrivilege "}) {
    SCOPED_TRACE(unknown);
    LUID luid{};
    SetLastError(0);
    EXPECT_FALSE(LookupPrivilegeValueW(nullptr, widen(unknown).c_str(), &luid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));
  }
}

TEST(Privileges, TokenHandlesAreRealObjects) {
  HANDLE token = openOwnToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
  ASSERT_NE(token, nullptr);
  EXPECT_NE(token, INVALID_HANDLE_VALUE);
  HANDLE second = openOwnToken(TOKEN_ADJUST_PRIVILEGES);
  EXPECT_NE(second, token);
  EXPECT_TRUE(CloseHandle(token));
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(token));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(adjust(token, 17, SE_PRIVILEGE_ENABLED));
  EXPECT_TRUE(CloseHandle(second));
}

TEST(Privileges, AdjustingSucceedsAndReportsThePreviousState) {
  HANDLE token = openOwnToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
  ASSERT_NE(token, nullptr);
  SetLastError(12345);
  EXPECT_TRUE(adjust(token, 17, SE_PRIVILEGE_ENABLED));
  const DWORD outcome = GetLastError();
  EXPECT_TRUE(outcome == ERROR_SUCCESS || outcome == ERROR_NOT_ALL_ASSIGNED) << outcome;
  if (outcome == ERROR_SUCCESS) {
    TOKEN_PRIVILEGES previous{};
    EXPECT_TRUE(adjust(token, 17, 0, &previous));
    ASSERT_EQ(previous.PrivilegeCount, 1u);
    EXPECT_EQ(previous.Privileges[0].Luid.LowPart, 17u);
    EXPECT_NE(previous.Privileges[0].Attributes & SE_PRIVILEGE_ENABLED, 0u);
  }
  CloseHandle(token);
}

TEST(Privileges, AdjustingNeedsTheRightToAdjust) {
  HANDLE token = openOwnToken(TOKEN_QUERY);
  ASSERT_NE(token, nullptr);
  SetLastError(0);
  EXPECT_FALSE(adjust(token, 17, SE_PRIVILEGE_ENABLED));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(token);
}

#ifndef _WIN32
// The POSIX token's own state: every privilege present, removal for good.
TEST(PrivilegesPosix, AllAreHeldUntilRemovedAndUnknownOnesAreNotAssigned) {
  HANDLE token = openOwnToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
  for (DWORD luid : {2u, 17u, 18u, 33u, 36u}) {  // not SeDebugPrivilege, which closeProcess removes
    SCOPED_TRACE(luid);
    SetLastError(12345);
    EXPECT_TRUE(adjust(token, luid, SE_PRIVILEGE_ENABLED));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  }
  SetLastError(0);
  EXPECT_TRUE(adjust(token, 999, SE_PRIVILEGE_ENABLED));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));

  const DWORD undock = 25;  // a privilege nothing else here uses
  EXPECT_TRUE(adjust(token, undock, SE_PRIVILEGE_REMOVED));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(adjust(token, undock, SE_PRIVILEGE_ENABLED));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
  CloseHandle(token);
}

TEST(PrivilegesPosix, OnlyThisProcessAndThisSystemAreKnown) {
  HANDLE token = nullptr;
  SetLastError(0);
  EXPECT_FALSE(OpenProcessToken(reinterpret_cast<HANDLE>(0x1234), TOKEN_QUERY, &token));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  LUID luid{};
  EXPECT_FALSE(LookupPrivilegeValueW(u"elsewhere", u"SeBackupPrivilege", &luid));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
  EXPECT_FALSE(LookupPrivilegeValueW(nullptr, nullptr, &luid));
}
#endif

}  // namespace
