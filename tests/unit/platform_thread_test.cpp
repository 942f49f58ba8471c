#include <gtest/gtest.h>

#include <atomic>

#include "orv_win32.h"

namespace {

std::atomic<bool> gRelease{false};

unsigned __stdcall waitForRelease(void* result) {
  while (!gRelease) Sleep(1);
  return *static_cast<unsigned*>(result);
}

TEST(Thread, WaitTimesOutWhileRunningAndReturnsTheExitCodeAfterwards) {
  unsigned result = 7;
  gRelease = false;
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, waitForRelease, &result, 0, nullptr));
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 10), static_cast<DWORD>(WAIT_TIMEOUT));
  gRelease = true;
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_TRUE(CloseHandle(thread));
}

TEST(Thread, ClosingAHandleTwiceIsRejected) {
  unsigned result = 0;
  gRelease = true;
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, waitForRelease, &result, 0, nullptr));
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  EXPECT_TRUE(CloseHandle(thread));
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(thread));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(LastError, EachThreadHasItsOwn) {
  SetLastError(1234);
  unsigned seen = 0;
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(
      nullptr, 0,
      [](void* out) -> unsigned {
        *static_cast<unsigned*>(out) = GetLastError();
        SetLastError(99);
        return 0;
      },
      &seen, 0, nullptr));
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(seen, 0u);
  EXPECT_EQ(GetLastError(), 1234u);
}

}  // namespace
