// The SQLite store behind the registry calls on Linux: where the hive files
// are, who may write them, what a damaged file does, and several processes
// using one hive at once. Nothing of this exists in the Windows build.

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "orv_win32.h"
#include "test_text.h"

namespace {

namespace fs = std::filesystem;
using orv_test::widen;
using orv_test::WString;

fs::path makeTempFolder() {
  char pattern[] = "/tmp/orv-registry-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (made == nullptr) throw std::runtime_error("mkdtemp failed");
  chmod(made, 0755);  // other users (the unprivileged child) must reach the hives
  return made;
}

// Points the registry of this process at a fresh folder for the test's life.
class RegistryFolder {
 public:
  RegistryFolder() : folder_(makeTempFolder()) {
    const char* previous = std::getenv("ORV_REGISTRY_DIR");
    if (previous != nullptr) previous_ = previous;
    setenv("ORV_REGISTRY_DIR", folder_.c_str(), 1);
  }
  ~RegistryFolder() {
    setenv("ORV_REGISTRY_DIR", previous_.c_str(), 1);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  const fs::path& path() const { return folder_; }
  fs::path machineHive() const { return folder_ / "machine.db"; }
  fs::path userHive() const { return folder_ / "user.db"; }

 private:
  fs::path folder_;
  std::string previous_;
};

// Keeps every test of this binary away from the real registry.
class IsolatedRegistry : public ::testing::Environment {
 public:
  void SetUp() override { folder_ = std::make_unique<RegistryFolder>(); }
  void TearDown() override { folder_.reset(); }

 private:
  std::unique_ptr<RegistryFolder> folder_;
};
const auto* const kIsolatedRegistry = ::testing::AddGlobalTestEnvironment(new IsolatedRegistry);

std::string fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

mode_t modeOf(const fs::path& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

LONG createKey(HKEY root, const std::string& path, HKEY* key) {
  return RegCreateKeyExW(root, widen(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key, nullptr);
}

LONG setDword(HKEY root, const std::string& path, const std::string& name, DWORD value) {
  HKEY key = nullptr;
  LONG status = createKey(root, path, &key);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(key, widen(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
  RegCloseKey(key);
  return status;
}

// Open, query, close: the way the library reads a setting.
LONG readDword(HKEY root, const std::string& path, const std::string& name, DWORD* value) {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExW(root, widen(path).c_str(), 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) return status;
  DWORD size = sizeof(*value);
  status = RegQueryValueExW(key, widen(name).c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  return status;
}

// Runs `work` in a forked child and hands back the statuses it returns. The
// child reaches the same hives through another spelling of the folder, so
// that it opens connections of its own rather than use ones made before the
// fork. With `unprivileged` a root parent's child runs as nobody.
std::vector<LONG> inChild(const std::function<std::vector<LONG>()>& work, bool unprivileged = false) {
  int results[2];
  if (pipe(results) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(results[0]);
    const std::string folder = std::string(std::getenv("ORV_REGISTRY_DIR")) + "/.";
    setenv("ORV_REGISTRY_DIR", folder.c_str(), 1);
    if (unprivileged && geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
      _exit(2);
    }
    const std::vector<LONG> statuses = work();
    const ssize_t wrote = write(results[1], statuses.data(), statuses.size() * sizeof(LONG));
    _exit(wrote == static_cast<ssize_t>(statuses.size() * sizeof(LONG)) ? 0 : 3);
  }
  close(results[1]);
  std::vector<LONG> statuses;
  LONG status = 0;
  while (read(results[0], &status, sizeof(status)) == static_cast<ssize_t>(sizeof(status))) statuses.push_back(status);
  close(results[0]);
  int exit = 0;
  waitpid(child, &exit, 0);
  EXPECT_TRUE(WIFEXITED(exit) && WEXITSTATUS(exit) == 0) << "the child failed";
  return statuses;
}

TEST(RegistryStore, HiveFilesAppearOnTheFirstWriteWithTheirModes) {
  RegistryFolder registry;
  const fs::path nested = registry.path() / "nested" / "deeper";
  setenv("ORV_REGISTRY_DIR", nested.c_str(), 1);
  HKEY key = nullptr;
  DWORD value = 0;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, ORV_W("Software"), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(readDword(HKEY_CURRENT_USER, "", "Value", &value), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueW(HKEY_LOCAL_MACHINE, ORV_W("Value")), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, ORV_W("Software")), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(fs::exists(nested)) << "reads must not create the hive";

  const mode_t mask = umask(0077);  // the modes do not depend on the umask
  ASSERT_EQ(setDword(HKEY_LOCAL_MACHINE, "Software\\Test", "Value", 1), ERROR_SUCCESS);
  EXPECT_EQ(modeOf(nested / "machine.db"), 0644u);
  EXPECT_EQ(modeOf(nested), 0755u);
  EXPECT_FALSE(fs::exists(nested / "user.db"));
  ASSERT_EQ(setDword(HKEY_CURRENT_USER, "Software\\Test", "Value", 2), ERROR_SUCCESS);
  EXPECT_EQ(modeOf(nested / "user.db"), 0600u);
  umask(mask);
  // Each hive keeps its log and its shared index beside it, with its mode,
  // and nothing half-made is left behind.
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(nested)) files.push_back(entry.path().filename());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"machine.db", "machine.db-shm", "machine.db-wal", "user.db", "user.db-shm",
                                             "user.db-wal"}));
  for (const char* suffix : {"-wal", "-shm"}) {
    EXPECT_EQ(modeOf(nested / (std::string("machine.db") + suffix)), 0644u) << suffix;
    EXPECT_EQ(modeOf(nested / (std::string("user.db") + suffix)), 0600u) << suffix;
  }
}

TEST(RegistryStore, EachRootIsItsOwnTree) {
  RegistryFolder registry;
  ASSERT_EQ(setDword(HKEY_LOCAL_MACHINE, "Software\\Shared", "Where", 1), ERROR_SUCCESS);
  ASSERT_EQ(setDword(HKEY_CURRENT_USER, "Software\\Shared", "Where", 2), ERROR_SUCCESS);
  ASSERT_EQ(setDword(HKEY_CLASSES_ROOT, "Software\\Shared", "Where", 3), ERROR_SUCCESS);
  ASSERT_EQ(setDword(HKEY_USERS, "Software\\Shared", "Where", 4), ERROR_SUCCESS);
  ASSERT_EQ(setDword(HKEY_CURRENT_CONFIG, "Software\\Shared", "Where", 5), ERROR_SUCCESS);
  const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS, HKEY_CURRENT_CONFIG};
  for (DWORD i = 0; i < 5; ++i) {
    DWORD value = 0;
    EXPECT_EQ(readDword(roots[i], "Software\\Shared", "Where", &value), ERROR_SUCCESS);
    EXPECT_EQ(value, i + 1);
  }
  // Below HKEY_CLASSES_ROOT a leading backslash is accepted, as Windows does.
  DWORD value = 0;
  EXPECT_EQ(readDword(HKEY_CLASSES_ROOT, "\\Software\\Shared", "Where", &value), ERROR_SUCCESS);
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, "\\Software\\Shared", "Where", &value), ERROR_BAD_PATHNAME);
}

TEST(RegistryStore, DamagedOrForeignFilesAreReportedAndLeftAlone) {
  std::string validHive;
  {
    RegistryFolder source;
    for (int i = 0; i < 40; ++i) {
      ASSERT_EQ(setDword(HKEY_LOCAL_MACHINE, "Software\\Key" + std::to_string(i), "Value", i), ERROR_SUCCESS);
    }
    validHive = fileBytes(source.machineHive());
  }
  std::string foreign;
  {
    RegistryFolder source;
    const fs::path path = source.path() / "other.db";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES(1);", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    foreign = fileBytes(path);
  }
  std::string scrambled = validHive;
  for (size_t i = 4096; i < scrambled.size(); i += 7) scrambled[i] = static_cast<char>(scrambled[i] ^ 0x5A);
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty file", ""},
      {"text", "this is not a database\n"},
      {"header only", validHive.substr(0, 100)},
      {"truncated to a few pages", validHive.substr(0, 3 * 4096)},
      {"pages scrambled", scrambled},
      {"another application's database", foreign},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegistryFolder registry;
    writeFile(registry.machineHive(), c.bytes);
    DWORD value = 0;
    LONG status = ERROR_SUCCESS;
    for (int i = 0; i < 40 && status == ERROR_SUCCESS; ++i) {
      status = readDword(HKEY_LOCAL_MACHINE, "Software\\Key" + std::to_string(i), "Value", &value);
    }
    EXPECT_NE(status, ERROR_SUCCESS);
    EXPECT_NE(status, ERROR_FILE_NOT_FOUND) << "damage must not look like an empty hive";
    EXPECT_NE(setDword(HKEY_LOCAL_MACHINE, "Software\\New", "Value", 1), ERROR_SUCCESS);
    EXPECT_TRUE(fileBytes(registry.machineHive()) == c.bytes) << "the file was changed";
  }
}

TEST(RegistryStore, AHiveThisProcessMayNotWriteCanStillBeRead) {
  RegistryFolder registry;
  ASSERT_EQ(setDword(HKEY_LOCAL_MACHINE, "Software\\Locked", "Value", 7), ERROR_SUCCESS);
  if (geteuid() != 0) chmod(registry.machineHive().c_str(), 0444);
  const std::vector<LONG> statuses = inChild(
      [] {
        DWORD value = 0;
        std::vector<LONG> results;
        results.push_back(readDword(HKEY_LOCAL_MACHINE, "Software\\Locked", "Value", &value));
        results.push_back(static_cast<LONG>(value));
        results.push_back(setDword(HKEY_LOCAL_MACHINE, "Software\\Locked", "Value", 8));
        HKEY key = nullptr;
        results.push_back(createKey(HKEY_LOCAL_MACHINE, "Software\\Locked\\New", &key));
        results.push_back(RegOpenKeyExW(HKEY_LOCAL_MACHINE, ORV_W("Software\\Locked"), 0, KEY_WRITE, &key));
        results.push_back(RegOpenKeyExW(HKEY_LOCAL_MACHINE, ORV_W("Software\\Locked"), 0, MAXIMUM_ALLOWED, &key));
        results.push_back(RegSetValueExW(key, ORV_W("Value"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4));
        results.push_back(RegDeleteTreeW(HKEY_LOCAL_MACHINE, ORV_W("Software")));
        results.push_back(RegCloseKey(key));
        return results;
      },
      true);
  const std::vector<LONG> expected = {ERROR_SUCCESS,       7,
                                      ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED,
                                      ERROR_ACCESS_DENIED, ERROR_SUCCESS,
                                      ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED,
                                      ERROR_SUCCESS};
  EXPECT_EQ(statuses, expected);
  DWORD value = 0;
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, "Software\\Locked", "Value", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, 7u);
}

// A hive's writes need only its own three files, never a new one beside
// them; a hive that does not exist cannot be made in such a folder.
TEST(RegistryStore, AFolderThatCannotBeWrittenTakesNoNewHive) {
  RegistryFolder registry;
  ASSERT_EQ(setDword(HKEY_CURRENT_USER, "Software\\Test", "Value", 1), ERROR_SUCCESS);
  // The hive's files may be written, its folder may not.
  for (const char* suffix : {"", "-wal", "-shm"}) chmod((registry.userHive().string() + suffix).c_str(), 0666);
  if (geteuid() != 0) chmod(registry.path().c_str(), 0555);
  const std::vector<LONG> statuses = inChild(
      [] {
        DWORD value = 0;
        return std::vector<LONG>{readDword(HKEY_CURRENT_USER, "Software\\Test", "Value", &value),
                                 setDword(HKEY_CURRENT_USER, "Software\\Test", "Value", 2),
                                 setDword(HKEY_LOCAL_MACHINE, "Software\\Test", "Value", 2)};
      },
      true);
  chmod(registry.path().c_str(), 0755);
  EXPECT_EQ(statuses, (std::vector<LONG>{ERROR_SUCCESS, ERROR_SUCCESS, ERROR_ACCESS_DENIED}));
  EXPECT_FALSE(fs::exists(registry.machineHive()));
  DWORD value = 0;
  EXPECT_EQ(readDword(HKEY_CURRENT_USER, "Software\\Test", "Value", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, 2u);
}

TEST(RegistryStore, AChangeByAnotherProcessIsSeenByTheNextRead) {
  RegistryFolder registry;
  const std::string path = "Software\\Halvik\\Logs";
  ASSERT_EQ(setDword(HKEY_LOCAL_MACHINE, path, "Logging", 1), ERROR_SUCCESS);
  DWORD value = 0;
  ASSERT_EQ(readDword(HKEY_LOCAL_MACHINE, path, "Logging", &value), ERROR_SUCCESS);
  ASSERT_EQ(readDword(HKEY_LOCAL_MACHINE, path, "Missing", &value), ERROR_FILE_NOT_FOUND);
  HKEY held = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, widen(path).c_str(), 0, KEY_READ, &held), ERROR_SUCCESS);
  DWORD size = sizeof(value);
  ASSERT_EQ(RegQueryValueExW(held, ORV_W("Logging"), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
  // Opened before the key goes and not used until after: as on Windows the
  // handle names the deleted key.
  HKEY unused = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, widen(path).c_str(), 0, KEY_READ, &unused), ERROR_SUCCESS);

  inChild([&] {
    return std::vector<LONG>{setDword(HKEY_LOCAL_MACHINE, path, "Logging", 2),
                             setDword(HKEY_LOCAL_MACHINE, path, "Missing", 3)};
  });
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, path, "Logging", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, 2u);
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, path, "Missing", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, 3u);

  inChild([&] { return std::vector<LONG>{RegDeleteTreeW(HKEY_LOCAL_MACHINE, ORV_W("Software\\Halvik"))}; });
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, path, "Logging", &value), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExW(held, ORV_W("Logging"), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_KEY_DELETED);
  EXPECT_EQ(RegQueryValueExW(unused, ORV_W("Logging"), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_KEY_DELETED);
  RegCloseKey(held);
  RegCloseKey(unused);

  inChild([&] { return std::vector<LONG>{setDword(HKEY_LOCAL_MACHINE, path, "Logging", 4)}; });
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, path, "Logging", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, 4u);

  // A handle names the key it opened, not its path: after the key is
  // replaced the handle reports the old one deleted, a new open finds the new.
  HKEY stale = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, widen(path).c_str(), 0, KEY_READ, &stale), ERROR_SUCCESS);
  inChild([&] {
    return std::vector<LONG>{RegDeleteTreeW(HKEY_LOCAL_MACHINE, widen(path).c_str()),
                             setDword(HKEY_LOCAL_MACHINE, path, "Logging", 5)};
  });
  EXPECT_EQ(RegQueryValueExW(stale, ORV_W("Logging"), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_KEY_DELETED);
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, path, "Logging", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, 5u);
  RegCloseKey(stale);
}

TEST(RegistryStore, AnOpenAfterAnotherProcessDeletedTheKeyFailsAndCreateMakesItAgain) {
  RegistryFolder registry;
  const std::string path = "Software\\Halvik\\Password Manager";
  ASSERT_EQ(setDword(HKEY_LOCAL_MACHINE, path, "Version", 1), ERROR_SUCCESS);
  DWORD value = 0;
  ASSERT_EQ(readDword(HKEY_LOCAL_MACHINE, path, "Version", &value), ERROR_SUCCESS);  // now in the key cache
  inChild([&] { return std::vector<LONG>{RegDeleteTreeW(HKEY_LOCAL_MACHINE, ORV_W("Software\\Halvik"))}; });
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, widen(path).c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_FILE_NOT_FOUND);
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, widen(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  value = 2;
  EXPECT_EQ(RegSetValueExW(key, ORV_W("Version"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, path, "Version", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, 2u);
}

// A value whose bytes all derive from its writer and its number, so that a
// torn or mixed-up value shows.
std::string patternOf(int writer, int index) {
  std::string bytes(1024 + index, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(writer * 31 + index * 7 + i);
  return bytes;
}

LONG writePattern(HKEY key, int writer, int index) {
  const std::string bytes = patternOf(writer, index);
  const WString name = widen("w" + std::to_string(writer) + "-" + std::to_string(index));
  return RegSetValueExW(key, name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                        static_cast<DWORD>(bytes.size()));
}

// ERROR_SUCCESS when the value is whole, ERROR_INVALID_DATA when it is not.
LONG checkPattern(HKEY key, int writer, int index) {
  const WString name = widen("w" + std::to_string(writer) + "-" + std::to_string(index));
  std::string bytes(8192, '\0');
  DWORD size = static_cast<DWORD>(bytes.size());
  const LONG status =
      RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(bytes.data()), &size);
  if (status != ERROR_SUCCESS) return status;
  bytes.resize(size);
  return bytes == patternOf(writer, index) ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}

TEST(RegistryStore, TwoProcessesWritingAtOnceLoseAndTearNothing) {
  RegistryFolder registry;
  constexpr int kValues = 100;
  const auto writer = [](int self, int other) {
    return [self, other] {
      HKEY key = nullptr;
      std::vector<LONG> failures;
      LONG status = createKey(HKEY_LOCAL_MACHINE, "Software\\Busy", &key);
      for (int i = 0; i < kValues && status == ERROR_SUCCESS; ++i) {
        status = writePattern(key, self, i);
        if (status != ERROR_SUCCESS) failures.push_back(status);
        // Whatever of the other writer's values is there must be whole.
        const LONG seen = checkPattern(key, other, i);
        if (seen != ERROR_SUCCESS && seen != ERROR_FILE_NOT_FOUND) failures.push_back(seen);
      }
      if (status != ERROR_SUCCESS) failures.push_back(status);
      RegCloseKey(key);
      return failures;
    };
  };
  // Two children at once; each reports only its failures.
  pid_t pids[2];
  int pipes[2][2];
  for (int w = 0; w < 2; ++w) {
    ASSERT_EQ(pipe(pipes[w]), 0);
    pids[w] = fork();
    if (pids[w] == 0) {
      const std::string folder = std::string(std::getenv("ORV_REGISTRY_DIR")) + "/.";
      setenv("ORV_REGISTRY_DIR", folder.c_str(), 1);
      const std::vector<LONG> failures = writer(w, 1 - w)();
      const ssize_t wrote = write(pipes[w][1], failures.data(), failures.size() * sizeof(LONG));
      _exit(wrote < 0 ? 3 : 0);
    }
    close(pipes[w][1]);
  }
  for (int w = 0; w < 2; ++w) {
    LONG failure = 0;
    std::vector<LONG> failures;
    while (read(pipes[w][0], &failure, sizeof(failure)) == static_cast<ssize_t>(sizeof(failure))) {
      failures.push_back(failure);
    }
    close(pipes[w][0]);
    int exit = 0;
    waitpid(pids[w], &exit, 0);
    EXPECT_TRUE(WIFEXITED(exit) && WEXITSTATUS(exit) == 0);
    EXPECT_TRUE(failures.empty()) << "writer " << w << " saw status " << failures.front();
  }
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, ORV_W("Software\\Busy"), 0, KEY_READ, &key), ERROR_SUCCESS);
  for (int w = 0; w < 2; ++w) {
    for (int i = 0; i < kValues; ++i) ASSERT_EQ(checkPattern(key, w, i), ERROR_SUCCESS) << w << "-" << i;
  }
  RegCloseKey(key);
}

TEST(RegistryStore, AWriterKilledMidWayLosesNothingItReported) {
  RegistryFolder registry;
  int reports[2];
  ASSERT_EQ(pipe(reports), 0);
  const pid_t child = fork();
  if (child == 0) {
    close(reports[0]);
    const std::string folder = std::string(std::getenv("ORV_REGISTRY_DIR")) + "/.";
    setenv("ORV_REGISTRY_DIR", folder.c_str(), 1);
    HKEY key = nullptr;
    if (createKey(HKEY_LOCAL_MACHINE, "Software\\Killed", &key) != ERROR_SUCCESS) _exit(1);
    for (int i = 0;; ++i) {
      if (writePattern(key, 0, i % 4000) != ERROR_SUCCESS) _exit(1);
      if (write(reports[1], &i, sizeof(i)) != static_cast<ssize_t>(sizeof(i))) _exit(1);
    }
  }
  close(reports[1]);
  int last = -1;
  int reported = 0;
  while (last < 40 && read(reports[0], &reported, sizeof(reported)) == static_cast<ssize_t>(sizeof(reported))) {
    last = reported;
  }
  kill(child, SIGKILL);
  while (read(reports[0], &reported, sizeof(reported)) == static_cast<ssize_t>(sizeof(reported))) last = reported;
  close(reports[0]);
  waitpid(child, nullptr, 0);
  ASSERT_GE(last, 40);

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, ORV_W("Software\\Killed"), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  for (int i = 0; i <= last; ++i) ASSERT_EQ(checkPattern(key, 0, i), ERROR_SUCCESS) << "value " << i;
  EXPECT_EQ(writePattern(key, 1, 0), ERROR_SUCCESS) << "the hive takes writes again";
  RegCloseKey(key);
}

TEST(RegistryStore, SaveAndRestoreCopyASubtree) {
  RegistryFolder registry;
  HKEY source = nullptr;
  ASSERT_EQ(createKey(HKEY_CURRENT_USER, "Software\\Source", &source), ERROR_SUCCESS);
  ASSERT_EQ(setDword(source, "", "zeta", 1), ERROR_SUCCESS);
  ASSERT_EQ(setDword(source, "", "Alpha", 2), ERROR_SUCCESS);
  ASSERT_EQ(setDword(source, "Sub\\Deeper", "Deep", 3), ERROR_SUCCESS);
  ASSERT_EQ(setDword(source, "Other", "Other", 4), ERROR_SUCCESS);
  const std::string file = (registry.path() / "saved.hiv").string();
  ASSERT_EQ(RegSaveKeyW(source, widen(file).c_str(), nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegSaveKeyW(source, widen(file).c_str(), nullptr), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(RegSaveKeyW(source, ORV_W(""), nullptr), ERROR_INVALID_PARAMETER);

  HKEY target = nullptr;
  ASSERT_EQ(createKey(HKEY_LOCAL_MACHINE, "Software\\Target", &target), ERROR_SUCCESS);
  ASSERT_EQ(setDword(target, "", "Old", 9), ERROR_SUCCESS);
  ASSERT_EQ(setDword(target, "OldSub", "Old", 9), ERROR_SUCCESS);
  ASSERT_EQ(RegRestoreKeyW(target, widen(file).c_str(), 0), ERROR_SUCCESS);

  DWORD value = 0;
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, "Software\\Target\\Sub\\Deeper", "Deep", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, 3u);
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, "Software\\Target\\OldSub", "Old", &value), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, "Software\\Target", "Old", &value), ERROR_FILE_NOT_FOUND);
  WCHAR name[32];
  DWORD length = 32;
  ASSERT_EQ(RegEnumValueW(target, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(WString(name), ORV_W("zeta")) << "values keep their order";
  DWORD size = sizeof(value);
  EXPECT_EQ(RegQueryValueExW(target, ORV_W("Alpha"), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 2u);

  // A file that is no hive changes nothing.
  const fs::path garbage = registry.path() / "garbage.hiv";
  writeFile(garbage, std::string(8192, 'x'));
  EXPECT_EQ(RegRestoreKeyW(target, widen(garbage.string()).c_str(), 0), ERROR_REGISTRY_CORRUPT);
  EXPECT_EQ(RegRestoreKeyW(target, widen((registry.path() / "none.hiv").string()).c_str(), 0), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, "Software\\Target\\Other", "Other", &value), ERROR_SUCCESS);
  RegCloseKey(source);
  RegCloseKey(target);
}

// A lone surrogate has no UTF-8 form; U+FFFD in its place would save over,
// or restore from, a file that the caller never named.
TEST(RegistryStore, AHiveFileNameThatDoesNotConvertExactlyNamesNoFile) {
  RegistryFolder registry;
  HKEY source = nullptr;
  ASSERT_EQ(createKey(HKEY_CURRENT_USER, "Software\\Source", &source), ERROR_SUCCESS);
  ASSERT_EQ(setDword(source, "", "Value", 1), ERROR_SUCCESS);
  const WString loneSurrogate = widen((registry.path() / "saved").string()) + WCHAR(0xD800) + ORV_W(".hiv");
  const fs::path lookAlike = registry.path() / "saved\xEF\xBF\xBD.hiv";

  EXPECT_EQ(RegSaveKeyW(source, loneSurrogate.c_str(), nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(fs::exists(lookAlike)) << "the save wrote a file with U+FFFD in its name";

  const std::u16string lookAlikeUnits = lookAlike.u16string();
  ASSERT_EQ(RegSaveKeyW(source, WString(lookAlikeUnits.begin(), lookAlikeUnits.end()).c_str(), nullptr), ERROR_SUCCESS);
  ASSERT_TRUE(fs::exists(lookAlike));
  HKEY target = nullptr;
  ASSERT_EQ(createKey(HKEY_CURRENT_USER, "Software\\Target", &target), ERROR_SUCCESS);
  ASSERT_EQ(setDword(target, "", "Kept", 2), ERROR_SUCCESS);
  EXPECT_EQ(RegRestoreKeyW(target, loneSurrogate.c_str(), 0), ERROR_INVALID_PARAMETER);
  DWORD value = 0;
  EXPECT_EQ(readDword(HKEY_CURRENT_USER, "Software\\Target", "Kept", &value), ERROR_SUCCESS)
      << "the restore read the file with U+FFFD in its name";
  RegCloseKey(target);
  RegCloseKey(source);
}

TEST(RegistryStore, NameRules) {
  RegistryFolder registry;
  HKEY key = nullptr;
  ASSERT_EQ(createKey(HKEY_CURRENT_USER, "Order", &key), ERROR_SUCCESS);
  // Windows compares upper-cased names, so '_' (0x5F) comes after the letters.
  for (const char* name : {"_under", "zeta", "Alpha"}) {
    HKEY sub = nullptr;
    ASSERT_EQ(createKey(key, name, &sub), ERROR_SUCCESS);
    RegCloseKey(sub);
  }
  std::vector<WString> names;
  WCHAR name[64];
  for (DWORD length = 64; RegEnumKeyExW(key, static_cast<DWORD>(names.size()), name, &length, nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS;
       length = 64) {
    names.emplace_back(name);
  }
  EXPECT_EQ(names, (std::vector<WString>{ORV_W("Alpha"), ORV_W("zeta"), ORV_W("_under")}));

  HKEY sub = nullptr;
  EXPECT_EQ(createKey(key, std::string(255, 'k'), &sub), ERROR_SUCCESS);
  RegCloseKey(sub);
  EXPECT_EQ(createKey(key, std::string(256, 'k'), &sub), ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST(RegistryStore, ValuesOfManyMegabytesRoundTrip) {
  RegistryFolder registry;
  HKEY key = nullptr;
  ASSERT_EQ(createKey(HKEY_CURRENT_USER, "Big", &key), ERROR_SUCCESS);
  std::string data(48u << 20, '\0');
  for (size_t i = 0; i < data.size(); i += 4096) data[i] = static_cast<char>(i >> 12);
  ASSERT_EQ(RegSetValueExW(key, ORV_W("Big"), 0, REG_BINARY, reinterpret_cast<const BYTE*>(data.data()),
                           static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
  DWORD size = 0;
  ASSERT_EQ(RegQueryValueExW(key, ORV_W("Big"), nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, data.size());
  std::string back(size, '\1');
  ASSERT_EQ(RegQueryValueExW(key, ORV_W("Big"), nullptr, nullptr, reinterpret_cast<BYTE*>(back.data()), &size),
            ERROR_SUCCESS);
  EXPECT_TRUE(back == data);
  DWORD largest = 0;
  ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &largest,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(largest, data.size());
  RegCloseKey(key);
}

TEST(RegistryStore, NamesCompareByUnicodeUpperCaseAndKeepTheirSpelling) {
  RegistryFolder registry;
  struct Case {
    const char* script;
    std::u16string created;
    std::u16string other;  // the same name in another case, or a different name
    bool same;
  };
  const Case cases[] = {
      {"Latin", u"\u00C4rger", u"\u00E4RGER", true},  // Ärger, äRGER
      {"Latin long s", u"\u017Fign", u"SIGN", true},  // ſign: ſ upper-cases to S
      {"Latin sharp s has no single upper case", u"Stra\u00DFe", u"STRASSE", false},
      {"Greek", u"\u03A3\u03BF\u03C6\u03AF\u03B1", u"\u03C3\u039F\u03A6\u038A\u0391", true},  // Σοφία, σΟΦΊΑ
      {"Greek accents differ", u"\u03A3\u03BF\u03C6\u03AF\u03B1", u"\u03A3\u039F\u03A6\u0399\u0391", false},
      {"Greek final sigma", u"\u039F\u03C2", u"\u03BF\u03A3", true},  // Oς, οΣ
      {"Cyrillic", u"\u041C\u043E\u0441\u043A\u0432\u0430", u"\u043C\u041E\u0421\u041A\u0412\u0410", true},
      {"no case", u"\u6F22\u5B57", u"\u6F22\u5B57", true},  // 漢字
      {"no case, different", u"\u6F22\u5B57", u"\u6F22\u5B58", false},
  };
  int serial = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    const WString parent = widen("Software\\Case" + std::to_string(serial++) + "\\");
    const WString created = parent + WString(c.created.begin(), c.created.end());
    const WString other = parent + WString(c.other.begin(), c.other.end());
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, created.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    const DWORD one = 1;
    ASSERT_EQ(
        RegSetValueExW(key, created.c_str() + parent.size(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
        ERROR_SUCCESS);
    RegCloseKey(key);
    // The key and the value are found by the other spelling exactly when the names are the same.
    const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, other.c_str(), 0, KEY_READ, &key);
    EXPECT_EQ(opened, c.same ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    if (opened == ERROR_SUCCESS) RegCloseKey(key);
    HKEY parentKey = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, parent.c_str(), 0, KEY_ALL_ACCESS, &parentKey), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExW(parentKey, other.c_str() + parent.size(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    DWORD size = 4;
    DWORD value = 0;
    const LONG read =
        RegQueryValueExW(key, other.c_str() + parent.size(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    EXPECT_EQ(read, c.same ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    // The name keeps the spelling it was created with; no second sibling appears for the same name.
    DWORD subKeys = 0;
    ASSERT_EQ(RegQueryInfoKeyW(parentKey, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, c.same ? 1u : 2u);
    WCHAR name[64];
    DWORD length = 64;
    ASSERT_EQ(RegEnumKeyExW(parentKey, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    if (c.same) {
      EXPECT_TRUE(WString(name, length) == created.substr(parent.size()));
    }
    RegCloseKey(parentKey);
  }
}

TEST(RegistryStore, ASavedHiveIsAsPrivateAsItsSource) {
  RegistryFolder registry;
  const mode_t mask = umask(0);  // the mode does not depend on the umask
  HKEY key = nullptr;
  for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    ASSERT_EQ(createKey(root, "Software\\Saved", &key), ERROR_SUCCESS);
    ASSERT_EQ(setDword(key, "", "Secret", 1), ERROR_SUCCESS);
    const fs::path file = registry.path() / (root == HKEY_CURRENT_USER ? "user.hiv" : "machine.hiv");
    EXPECT_EQ(RegSaveKeyW(key, widen(file.string()).c_str(), nullptr), ERROR_SUCCESS);
    EXPECT_EQ(modeOf(file), root == HKEY_CURRENT_USER ? 0600u : 0644u);
    RegCloseKey(key);
  }
  umask(mask);
}

// A saved hive, then changed through SQLite as an attacker would hand it over.
std::string tamperedHive(const fs::path& folder, const char* name, const char* sql) {
  HKEY key = nullptr;
  EXPECT_EQ(createKey(HKEY_CURRENT_USER, "Software\\Tamper", &key), ERROR_SUCCESS);
  setDword(key, "", "Value", 1);
  setDword(key, "Sub", "Deep", 2);
  const fs::path file = folder / name;
  EXPECT_EQ(RegSaveKeyW(key, widen(file.string()).c_str(), nullptr), ERROR_SUCCESS);
  RegCloseKey(key);
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
  return file.string();
}

TEST(RegistryStore, ARestoredFileMustBeExactlyAHive) {
  RegistryFolder registry;
  struct Case {
    const char* name;
    const char* sql;
  };
  const Case cases[] = {
      {"a trigger that writes elsewhere",
       "CREATE TABLE log(x); CREATE TRIGGER t AFTER INSERT ON keys BEGIN INSERT INTO log VALUES(1); END;"},
      {"a view in place of a table",
       "DROP TABLE vals; CREATE TABLE real_vals(seq INTEGER PRIMARY KEY, key, name, fold, type, data);"
       " CREATE VIEW vals AS SELECT * FROM real_vals;"},
      {"an extra column", "ALTER TABLE vals ADD COLUMN extra TEXT;"},
      {"a text name", "UPDATE vals SET name = 'Value' WHERE type = 4;"},
      {"a name of odd length", "UPDATE vals SET name = x'410042' WHERE type = 4;"},
      {"a time as text", "UPDATE keys SET written = 'now' WHERE id > 1;"},
      {"a type out of range", "UPDATE vals SET type = 4294967296;"},
      {"two names that fold the same",
       "INSERT INTO vals(key, name, fold, type, data) VALUES (1, "
       "x'560041004c0055004500', x'0056', 4, x'01000000');"},
      {"a key name holding a backslash", "UPDATE keys SET name = x'53005c006200' WHERE id > 4;"},
      {"a value name holding a 0", "UPDATE vals SET name = x'410000004200' WHERE type = 4;"},
      {"another application id", "PRAGMA application_id = 7;"},
      {"a newer format", "PRAGMA user_version = 99;"},
  };
  HKEY target = nullptr;
  ASSERT_EQ(createKey(HKEY_LOCAL_MACHINE, "Software\\Target", &target), ERROR_SUCCESS);
  ASSERT_EQ(setDword(target, "", "Kept", 7), ERROR_SUCCESS);
  int serial = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file =
        tamperedHive(registry.path(), ("tampered" + std::to_string(serial++) + ".hiv").c_str(), c.sql);
    const std::string before = fileBytes(file);
    EXPECT_EQ(RegRestoreKeyW(target, widen(file).c_str(), 0), ERROR_REGISTRY_CORRUPT);
    EXPECT_TRUE(fileBytes(file) == before) << "the file was changed";
    DWORD value = 0;
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, "Software\\Target", "Kept", &value), ERROR_SUCCESS) << "nothing changes";
  }
  RegCloseKey(target);
}

}  // namespace
