// Process snapshots: the same results from Windows (under Wine) and from the
// POSIX layer's walk of /proc.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "log_test_support.h"
#include "orv_win32.h"
#include "process_test_support.h"

namespace {

using orv_test::narrow;
using orv_test::processIdsNamed;
using orv_test::RunningCopy;

TEST(ProcessSnapshot, ListsThisProcessUnderItsExecutablesFileName) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  std::string ownName;
  size_t count = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    ++count;
    if (entry.th32ProcessID == GetCurrentProcessId()) ownName = narrow(entry.szExeFile);
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_GT(count, 1u);
  std::transform(ownName.begin(), ownName.end(), ownName.begin(),
                 [](char c) { return static_cast<char>(std::tolower(c)); });
  EXPECT_EQ(ownName.rfind("orv_unit_tests", 0), 0u) << ownName;

  // Process32FirstW starts the walk again.
  ASSERT_TRUE(Process32FirstW(snapshot, &entry));
  EXPECT_TRUE(CloseHandle(snapshot));
  EXPECT_FALSE(CloseHandle(snapshot));
}

TEST(ProcessSnapshot, AStartedProgramShowsUnderItsFileNameAndGoesWhenItEnds) {
  const std::string name = "orv_probe_" + std::to_string(GetCurrentProcessId()) + ".exe";
  RunningCopy copy(name);
  ASSERT_TRUE(copy.running());
  ASSERT_TRUE(copy.visible());
  EXPECT_EQ(processIdsNamed(name).size(), 1u);
  EXPECT_NE(processIdsNamed(name)[0], 0u);
  copy.stop();
  EXPECT_TRUE(processIdsNamed(name).empty());
}

TEST(ProcessSnapshot, IsTakenAtOnceSoProcessesThatEndDoNoHarm) {
  const std::string name = "orv_vanishing_" + std::to_string(GetCurrentProcessId()) + ".exe";
  RunningCopy copy(name);
  ASSERT_TRUE(copy.visible());
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
  copy.stop();
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool seen = false;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    seen = seen || narrow(entry.szExeFile) == name;
  EXPECT_TRUE(seen);
  CloseHandle(snapshot);
}

TEST(ProcessSnapshot, RejectsAShortEntryAndOtherHandles) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry - 4;
  SetLastError(0);
  EXPECT_FALSE(Process32FirstW(snapshot, &entry));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  CloseHandle(snapshot);

  entry.dwSize = sizeof entry;
  EXPECT_FALSE(Process32FirstW(snapshot, &entry));  // closed
  EXPECT_FALSE(Process32NextW(INVALID_HANDLE_VALUE, &entry));
}

}  // namespace
