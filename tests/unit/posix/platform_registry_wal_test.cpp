// The registry store under other users and faults: a reader never holds up a
// writer, a user who may only read a hive reads it after its writer was
// killed, and enumeration stays right while another process changes the key.
// Nothing of this exists in the Windows build.

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "orv_win32.h"
#include "test_text.h"

namespace {

namespace fs = std::filesystem;
using orv_test::widen;
using orv_test::WString;

// A fresh registry folder for one test, readable (not writable) by others:
// the machine hive's folder as a normal user sees it.
class RegistryFolder {
 public:
  RegistryFolder() {
    char pattern[] = "/tmp/orv-registry-wal-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    folder_ = pattern;
    chmod(pattern, 0755);
    setenv("ORV_REGISTRY_DIR", pattern, 1);
  }
  ~RegistryFolder() {
    unsetenv("ORV_REGISTRY_DIR");
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  fs::path machineHive() const { return folder_ / "machine.db"; }

 private:
  fs::path folder_;
};

// Why a test that needs another user cannot run here; empty when it can.
std::string whyNoOtherUser() {
  if (geteuid() != 0) return "the tests do not run as root, so they cannot act as another user";
  if (getpwnam("nobody") == nullptr) return "this machine has no user \"nobody\"";
  return std::string();
}

// In a forked child: the child's own registry connections (another spelling
// of the folder), and as `nobody` (no groups) with `unprivileged`.
void becomeChild(bool unprivileged) {
  const std::string folder = std::string(std::getenv("ORV_REGISTRY_DIR")) + "/.";
  setenv("ORV_REGISTRY_DIR", folder.c_str(), 1);
  if (!unprivileged) return;
  const passwd* nobody = getpwnam("nobody");
  if (nobody == nullptr || setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) {
    _exit(2);
  }
}

// Runs `work` in a child and returns what it wrote to the pipe, as numbers.
std::vector<int64_t> inChild(bool unprivileged, const std::function<std::vector<int64_t>()>& work) {
  int results[2];
  if (pipe(results) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(results[0]);
    becomeChild(unprivileged);
    const std::vector<int64_t> numbers = work();
    const auto size = static_cast<ssize_t>(numbers.size() * sizeof(int64_t));
    _exit(write(results[1], numbers.data(), static_cast<size_t>(size)) == size ? 0 : 3);
  }
  close(results[1]);
  std::vector<int64_t> numbers;
  int64_t number = 0;
  while (read(results[0], &number, sizeof(number)) == static_cast<ssize_t>(sizeof(number))) numbers.push_back(number);
  close(results[0]);
  int exit = 0;
  waitpid(child, &exit, 0);
  EXPECT_TRUE(WIFEXITED(exit) && WEXITSTATUS(exit) == 0) << "the child failed";
  return numbers;
}

// Value i of a series: its bytes derive from i, so a torn one shows.
std::string patternOf(int index) {
  std::string bytes(512 + index % 3000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(index * 13 + i);
  return bytes;
}

LONG writePattern(HKEY key, int index) {
  const std::string bytes = patternOf(index);
  return RegSetValueExW(key, widen("v" + std::to_string(index)).c_str(), 0, REG_BINARY,
                        reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
}

// The index of the first value of 0..last that is missing or torn, or -1.
int64_t firstBadPattern(HKEY key, int last) {
  std::string bytes(8192, '\0');
  for (int i = 0; i <= last; ++i) {
    DWORD size = static_cast<DWORD>(bytes.size());
    if (RegQueryValueExW(key, widen("v" + std::to_string(i)).c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(bytes.data()), &size) != ERROR_SUCCESS ||
        bytes.compare(0, size, patternOf(i)) != 0 || size != patternOf(i).size()) {
      return i;
    }
  }
  return -1;
}

LONG createKey(const char* path, HKEY* key) {
  return RegCreateKeyExW(HKEY_LOCAL_MACHINE, widen(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key, nullptr);
}

TEST(RegistryWal, AReaderHoldingATransactionDoesNotHoldUpAWriter) {
  RegistryFolder registry;
  HKEY key = nullptr;
  ASSERT_EQ(createKey("Software\\Halvik\\Logs", &key), ERROR_SUCCESS);
  ASSERT_EQ(writePattern(key, 0), ERROR_SUCCESS);
  // Anyone who may read the hive can do this with `sqlite3 -readonly`.
  const bool asNobody = whyNoOtherUser().empty();
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t reader = fork();
  if (reader == 0) {
    close(ready[0]);
    becomeChild(asNobody);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(registry.machineHive().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) _exit(4);
    if (sqlite3_exec(db, "BEGIN; SELECT count(*) FROM vals;", nullptr, nullptr, nullptr) != SQLITE_OK) _exit(5);
    const char one = 1;
    if (write(ready[1], &one, 1) != 1) _exit(6);
    sleep(5);
    _exit(0);
  }
  close(ready[1]);
  char got = 0;
  ASSERT_EQ(read(ready[0], &got, 1), 1) << "the reader could not start its transaction";
  close(ready[0]);
  const auto start = std::chrono::steady_clock::now();
  const LONG status = writePattern(key, 1);
  const auto took = std::chrono::steady_clock::now() - start;
  kill(reader, SIGKILL);
  waitpid(reader, nullptr, 0);
  EXPECT_EQ(status, ERROR_SUCCESS);
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 200)
      << "the write waited for the reader";
  EXPECT_EQ(firstBadPattern(key, 1), -1);
  EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST(RegistryWal, AUserWhoMayOnlyReadReadsTheHiveAfterItsWriterWasKilled) {
  const std::string why = whyNoOtherUser();
  if (!why.empty()) GTEST_SKIP() << why;
  RegistryFolder registry;
  HKEY key = nullptr;
  ASSERT_EQ(createKey("Software\\Killed", &key), ERROR_SUCCESS);
  RegCloseKey(key);
  // Killed after a few different amounts of work, so that the kill lands in
  // different places of a commit.
  int next = 0;
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    int reports[2];
    ASSERT_EQ(pipe(reports), 0);
    const pid_t writer = fork();
    if (writer == 0) {
      close(reports[0]);
      becomeChild(false);
      HKEY held = nullptr;
      if (createKey("Software\\Killed", &held) != ERROR_SUCCESS) _exit(1);
      for (int i = next;; ++i) {
        if (writePattern(held, i) != ERROR_SUCCESS) _exit(1);
        if (write(reports[1], &i, sizeof(i)) != static_cast<ssize_t>(sizeof(i))) _exit(1);
      }
    }
    close(reports[1]);
    int last = next - 1;
    int reported = 0;
    while (last < next + 20 * (round + 1) &&
           read(reports[0], &reported, sizeof(reported)) == static_cast<ssize_t>(sizeof(reported))) {
      last = reported;
    }
    kill(writer, SIGKILL);
    while (read(reports[0], &reported, sizeof(reported)) == static_cast<ssize_t>(sizeof(reported))) last = reported;
    close(reports[0]);
    waitpid(writer, nullptr, 0);
    next = last + 1;

    const std::vector<int64_t> seen = inChild(true, [last] {
      HKEY readKey = nullptr;
      const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, ORV_W("Software\\Killed"), 0, KEY_READ, &readKey);
      if (opened != ERROR_SUCCESS) return std::vector<int64_t>{opened, 0};
      const int64_t bad = firstBadPattern(readKey, last);
      DWORD values = 0;
      RegQueryInfoKeyW(readKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr);
      return std::vector<int64_t>{ERROR_SUCCESS, bad, values};
    });
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], ERROR_SUCCESS) << "nobody could not open the key";
    EXPECT_EQ(seen[1], -1) << "a value the writer had reported is missing or torn";
    // The one write in flight at the kill is there whole or not at all.
    EXPECT_TRUE(seen[2] == last + 1 || seen[2] == last + 2) << seen[2] << " values after " << last + 1;
  }
}

// Another process changes the key between two indexes: the next index is
// what a fresh enumeration gives at that position, as without a cursor.
TEST(RegistryWal, EnumerationFollowsChangesMadeBetweenIndexes) {
  RegistryFolder registry;
  HKEY key = nullptr;
  ASSERT_EQ(createKey("Software\\Listed", &key), ERROR_SUCCESS);
  for (int i = 0; i < 6; ++i) {
    const DWORD data = static_cast<DWORD>(i);
    ASSERT_EQ(RegSetValueExW(key, widen("v" + std::to_string(i)).c_str(), 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&data), 4),
              ERROR_SUCCESS);
    HKEY sub = nullptr;
    ASSERT_EQ(RegCreateKeyExW(key, widen("k" + std::to_string(i)).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(sub);
  }
  const auto valueName = [&](DWORD index) {
    WCHAR name[16];
    DWORD length = 16;
    DWORD size = 0;
    DWORD type = 0;
    const LONG status = RegEnumValueW(key, index, name, &length, nullptr, &type, nullptr, &size);
    return status == ERROR_SUCCESS ? WString(name, length) + widen(":" + std::to_string(size)) : WString();
  };
  const auto keyName = [&](DWORD index) {
    WCHAR name[16];
    DWORD length = 16;
    const LONG status = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    return status == ERROR_SUCCESS ? WString(name, length) : WString();
  };
  EXPECT_TRUE(valueName(0) == ORV_W("v0:4"));
  EXPECT_TRUE(valueName(1) == ORV_W("v1:4"));
  EXPECT_TRUE(keyName(0) == ORV_W("k0"));
  EXPECT_TRUE(keyName(1) == ORV_W("k1"));
  inChild(false, [] {
    HKEY other = nullptr;
    createKey("Software\\Listed", &other);
    RegDeleteValueW(other, ORV_W("v0"));
    RegDeleteKeyW(other, ORV_W("k0"));
    RegCloseKey(other);
    return std::vector<int64_t>{};
  });
  EXPECT_TRUE(valueName(2) == ORV_W("v3:4"));
  EXPECT_TRUE(valueName(3) == ORV_W("v4:4"));
  EXPECT_TRUE(keyName(2) == ORV_W("k3"));
  EXPECT_TRUE(keyName(3) == ORV_W("k4"));
  // Out of turn: any index, backwards too.
  EXPECT_TRUE(valueName(0) == ORV_W("v1:4"));
  EXPECT_TRUE(keyName(4) == ORV_W("k5"));
  EXPECT_TRUE(keyName(5).empty());
  RegCloseKey(key);
}

}  // namespace
