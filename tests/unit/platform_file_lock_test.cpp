// Whole-file locks through LockFileEx and UnlockFileEx: they belong to the
// handle, so two handles of one process exclude each other as two processes
// do, the same on Windows and on the POSIX layer.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "log_test_support.h"
#include "orv_win32.h"

namespace {

using orv_test::ScratchFolder;
using orv_test::WString;

HANDLE openLockFile(const WString& path) {
  return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool lockWhole(HANDLE file, DWORD flags) {
  OVERLAPPED whole{};
  return LockFileEx(file, flags, 0, MAXDWORD, MAXDWORD, &whole) != FALSE;
}

bool unlockWhole(HANDLE file) {
  OVERLAPPED whole{};
  return UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole) != FALSE;
}

TEST(PlatformFileLock, ExclusiveAndSharedLocksConflictBetweenHandles) {
  ScratchFolder folder;
  const WString path = folder.wide("x.lock");
  HANDLE first = openLockFile(path);
  HANDLE second = openLockFile(path);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  ASSERT_NE(second, INVALID_HANDLE_VALUE);

  ASSERT_TRUE(lockWhole(first, LOCKFILE_EXCLUSIVE_LOCK));
  SetLastError(0);
  EXPECT_FALSE(lockWhole(second, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_LOCK_VIOLATION));
  EXPECT_FALSE(lockWhole(second, LOCKFILE_FAIL_IMMEDIATELY)) << "a shared lock beside an exclusive one";
  ASSERT_TRUE(unlockWhole(first));
  EXPECT_TRUE(lockWhole(second, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY));
  ASSERT_TRUE(unlockWhole(second));

  // Shared locks coexist and keep an exclusive one out.
  EXPECT_TRUE(lockWhole(first, LOCKFILE_FAIL_IMMEDIATELY));
  EXPECT_TRUE(lockWhole(second, LOCKFILE_FAIL_IMMEDIATELY));
  HANDLE third = openLockFile(path);
  EXPECT_FALSE(lockWhole(third, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY));
  EXPECT_TRUE(unlockWhole(first));
  EXPECT_TRUE(unlockWhole(second));
  EXPECT_TRUE(lockWhole(third, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY));
  CloseHandle(third);  // closing releases
  EXPECT_TRUE(lockWhole(first, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY));
  CloseHandle(first);
  CloseHandle(second);
}

TEST(PlatformFileLock, AWaitingLockIsGrantedWhenTheHolderUnlocks) {
  ScratchFolder folder;
  const WString path = folder.wide("w.lock");
  HANDLE holder = openLockFile(path);
  HANDLE waiter = openLockFile(path);
  ASSERT_TRUE(lockWhole(holder, LOCKFILE_EXCLUSIVE_LOCK));
  bool granted = false;
  std::thread waiting([&] { granted = lockWhole(waiter, LOCKFILE_EXCLUSIVE_LOCK); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(unlockWhole(holder));
  waiting.join();
  EXPECT_TRUE(granted);
  EXPECT_FALSE(lockWhole(holder, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY));
  CloseHandle(waiter);
  CloseHandle(holder);
}

TEST(PlatformFileLock, BadArgumentsFail) {
  OVERLAPPED whole{};
  EXPECT_FALSE(LockFileEx(INVALID_HANDLE_VALUE, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole));
  EXPECT_FALSE(UnlockFileEx(INVALID_HANDLE_VALUE, 0, MAXDWORD, MAXDWORD, &whole));
}

}  // namespace
