// The reference interface module through its two exports, as the host calls
// them: records by origin, the four lists in order, the identity and the
// flags, the record budget, the earlier JSON store's import, the files'
// modes and the files it refuses, and writers that run at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "log_test_support.h"
#include "orvpwm_interface.h"
#include "registry_test_support.h"

#ifndef _WIN32
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using orv_test::listOf;
using orv_test::namesOf;
using orv_test::textOf;
using orv_test::wideString;

template <typename Function>
Function exportOf(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

struct Loaded {
  bool found = false;
  BYTE flags = 0, autoSubmit = 0;
  std::string record;
  CORVWCharStringList pwFields, pwValues, textFields, textValues;
};

class InterfaceModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(orv_test::widen(ORV_INTERFACE_MODULE).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    ASSERT_NE(module_, nullptr) << ORV_INTERFACE_MODULE;
    load_ = exportOf<ORVPWM_LOAD_RECORD_FN>(module_, ORVPWM_LOAD_RECORD_EXPORT);
    create_ = exportOf<ORVPWM_CREATE_RECORD_FN>(module_, ORVPWM_CREATE_RECORD_EXPORT);
    ASSERT_NE(load_, nullptr);
    ASSERT_NE(create_, nullptr);
    SetEnvironmentVariableW(ORV_W("ORVPWM_RECORDS_DIR"), folder_.wide("store").c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableW(ORV_W("ORVPWM_RECORDS_DIR"), nullptr);
    if (module_ != nullptr) FreeLibrary(module_);
  }

  bool create(const std::string& url, const std::string& title, CORVWCharStringList pwFields,
              CORVWCharStringList pwValues, CORVWCharStringList textFields = {}, CORVWCharStringList textValues = {}) {
    CORVWCharString wideUrl = wideString(url), wideTitle = wideString(title);
    return create_(nullptr, &wideUrl, &wideTitle, &pwFields, &pwValues, &textFields, &textValues);
  }

  void load(const std::string& url, const std::string& title, Loaded& out) {
    CORVWCharString wideUrl = wideString(url), wideTitle = wideString(title), record;
    out.found = load_(nullptr, nullptr, &wideUrl, &wideTitle, &out.flags, &out.autoSubmit, &record, &out.pwFields,
                      &out.pwValues, &out.textFields, &out.textValues);
    out.record = textOf(record);
  }

  std::filesystem::path storeFolder() const { return folder_.path() / "store"; }
  std::filesystem::path storeFile() const { return storeFolder() / "records.db"; }
  std::filesystem::path legacyFile() const { return storeFolder() / "records.json"; }
  void writeLegacy(const std::string& text) const {
    std::filesystem::create_directories(storeFolder());
    std::ofstream file(legacyFile(), std::ios::binary | std::ios::trunc);
    file << text;
  }
  std::string passwordOf(const std::string& url) {
    Loaded loaded;
    load(url, "t", loaded);
    return loaded.found ? namesOf(loaded.pwValues) : "(none)";
  }

  orv_test::ScratchRegistry registry_;  // the module's log settings
  orv_test::ScratchFolder folder_;
  HMODULE module_ = nullptr;
  ORVPWM_LOAD_RECORD_FN load_ = nullptr;
  ORVPWM_CREATE_RECORD_FN create_ = nullptr;
};

TEST_F(InterfaceModuleTest, ARecordComesBackWithItsListsInOrder) {
  ASSERT_TRUE(create("https://login.example.com/signin?next=1", "Sign in", listOf({"password", "pin"}),
                     listOf({"s3cret", "1234"}), listOf({"user"}), listOf({"alice"})));
  Loaded loaded;
  load("https://login.example.com/other#x", "Sign in", loaded);
  ASSERT_TRUE(loaded.found);
  EXPECT_EQ(namesOf(loaded.pwFields), "password;pin;");
  EXPECT_EQ(namesOf(loaded.pwValues), "s3cret;1234;");
  EXPECT_EQ(namesOf(loaded.textFields), "user;");
  EXPECT_EQ(namesOf(loaded.textValues), "alice;");
  EXPECT_EQ(loaded.record, "https://login.example.com");
  EXPECT_EQ(loaded.flags, 0) << "same title";
  EXPECT_EQ(loaded.autoSubmit, 1) << "a new record may be submitted at once";

  Loaded retitled;
  load("https://login.example.com/", "Welcome back", retitled);
  ASSERT_TRUE(retitled.found);
  EXPECT_EQ(retitled.flags, 1) << "the page's title is not the saved one";
}

TEST_F(InterfaceModuleTest, AddressesOfOneOriginShareARecordAndOthersDoNot) {
  ASSERT_TRUE(create("https://Login.Example.com:443/a", "t", listOf({"p"}), listOf({"v"})));
  struct Case {
    const char* url;
    bool found;
  } cases[] = {
      {"https://login.example.com/", true},
      {"HTTPS://LOGIN.EXAMPLE.COM", true},
      {"https://user:pw@login.example.com/path", true},
      {"https://login.example.com:0443/", true},
      {"https://login.example.com:8443/", false},
      {"http://login.example.com/", false},
      {"https://example.com/", false},
      {"https://login.example.com.evil.test/", false},
      {"login.example.com", false},
      {"https://login.example.com:99999/", false},
      {"", false},
  };
  for (const Case& c : cases) {
    Loaded loaded;
    load(c.url, "t", loaded);
    EXPECT_EQ(loaded.found, c.found) << c.url;
  }
  EXPECT_FALSE(create("no scheme here", "t", listOf({"p"}), listOf({"v"})));
  EXPECT_FALSE(create("https://a.example/", "t", {}, {})) << "no password field";
}

TEST_F(InterfaceModuleTest, ReplacingKeepsIdentityAndAutoSubmitAndOtherOriginsStay) {
  ASSERT_TRUE(create("https://a.example/", "A", listOf({"p"}), listOf({"old"})));
  ASSERT_TRUE(create("https://b.example/", "B", listOf({"q"}), listOf({"other"})));
  ASSERT_TRUE(create("https://a.example/x", "A2", listOf({"p", "p2"}), listOf({"new"})));
  Loaded a, b;
  load("https://a.example/", "A2", a);
  load("https://b.example/", "B", b);
  ASSERT_TRUE(a.found);
  ASSERT_TRUE(b.found);
  EXPECT_EQ(namesOf(a.pwFields), "p;p2;");
  EXPECT_EQ(namesOf(a.pwValues), "new;") << "lists are stored as they came";
  EXPECT_EQ(a.record, "https://a.example");
  EXPECT_EQ(namesOf(b.pwValues), "other;");
}

TEST_F(InterfaceModuleTest, NonAsciiTextSurvivesTheFile) {
  CORVWCharString url = wideString("https://xn--bcher-kva.example/"), wideTitle(orv_test::widen("x").c_str());
  orv_test::WString value = {0x00DC, 'b', 0x20AC, 0xD83D, 0xDD11};
  CORVWCharStringList pwFields = listOf({"p"}), pwValues, none1, none2;
  pwValues.addTail(CORVWCharString(value.c_str()));
  ASSERT_TRUE(create_(nullptr, &url, &wideTitle, &pwFields, &pwValues, &none1, &none2));
  Loaded loaded;
  load("https://xn--bcher-kva.example/", "x", loaded);
  ASSERT_TRUE(loaded.found);
  ASSERT_TRUE(loaded.pwValues.moveFirst());
  EXPECT_TRUE(*loaded.pwValues.getCurrentData() == CORVWCharString(value.c_str()));
}

TEST_F(InterfaceModuleTest, TheEarlierJsonStoreIsImportedOnceAndKept) {
  const std::string earlier =
      R"({"records": {"https://a.example": "not a record",
                "https://b.example": {"pwFields": ["p", 7, "q"], "pwValues": ["v"], "autoSubmit": false,
                                      "identity": "https://first.example", "title": "B"},
                "https://big.example": {"pwFields": ["p"], "pwValues": [")" +
      std::string(70000, 'x') + R"("]}}})";
  writeLegacy(earlier);
  orv_test::CapturedLog log;
  Loaded a, b, big;
  load("https://a.example/", "", a);
  load("https://b.example/", "B", b);
  load("https://big.example/", "", big);
  EXPECT_FALSE(a.found);
  ASSERT_TRUE(b.found) << "a load is enough to import";
  EXPECT_EQ(namesOf(b.pwFields), "p;q;");
  EXPECT_EQ(namesOf(b.pwValues), "v;");
  EXPECT_EQ(b.autoSubmit, 0);
  EXPECT_EQ(b.record, "https://first.example");
  EXPECT_EQ(b.flags, 0);
  EXPECT_FALSE(big.found) << "a record over budget stays behind";
  EXPECT_EQ(log.linesWith({"https://big.example", "not imported"}).size(), 1u) << log.all();
  EXPECT_EQ(orv_test::readBytes(legacyFile()), earlier) << "the earlier file is kept as it was";

  writeLegacy(R"({"records": {"https://c.example": {"pwFields": ["p"], "pwValues": ["v"]}}})");
  EXPECT_EQ(passwordOf("https://c.example/"), "(none)") << "imported once, when the store was made";
  EXPECT_TRUE(create("https://a.example/", "A", listOf({"p"}), listOf({"new"})));
  EXPECT_EQ(passwordOf("https://a.example/"), "new;");
}

TEST_F(InterfaceModuleTest, ADamagedStoreIsNeitherReadNorOverwritten) {
  // An earlier file that is not JSON: nothing is made until it is repaired.
  const std::string damaged = "{\"records\": {\"https://a.example\": ";
  writeLegacy(damaged);
  {
    orv_test::CapturedLog log;
    EXPECT_EQ(passwordOf("https://a.example/"), "(none)");
    EXPECT_FALSE(create("https://b.example/", "B", listOf({"p"}), listOf({"v"})));
    EXPECT_EQ(orv_test::readBytes(legacyFile()), damaged);
    EXPECT_FALSE(std::filesystem::exists(storeFile()) && std::filesystem::file_size(storeFile()) > 0);
    EXPECT_GE(log.linesWith({"records.json", "repair or remove it"}).size(), 2u) << log.all();
  }
  std::filesystem::remove(legacyFile());
  ASSERT_TRUE(create("https://b.example/", "B", listOf({"p"}), listOf({"v"})));

  // A database file that is damaged is neither read nor written.
  const std::string garbage(4096, '\x5a');
  {
    std::ofstream file(storeFile(), std::ios::binary | std::ios::trunc);
    file << garbage;
  }
  orv_test::CapturedLog log;
  EXPECT_EQ(passwordOf("https://b.example/"), "(none)");
  EXPECT_FALSE(create("https://c.example/", "C", listOf({"p"}), listOf({"v"})));
  EXPECT_TRUE(orv_test::readBytes(storeFile()) == garbage) << "the damaged file is not written";
  EXPECT_GE(log.linesWith({"records cannot be used"}).size(), 2u) << log.all();
}

TEST_F(InterfaceModuleTest, ARecordOverBudgetStoresNothingAndOtherOriginsStillStore) {
  ASSERT_TRUE(create("https://a.example/", "A", listOf({"p"}), listOf({"kept"})));
  const auto repeated = [](size_t count, const orv_test::WString& text) {
    CORVWCharStringList list;
    for (size_t i = 0; i < count; ++i) list.addTail(CORVWCharString(text.c_str()));
    return list;
  };
  const orv_test::WString limit(64 * 1024, WCHAR('x')), pastLimit(64 * 1024 + 1, WCHAR('x'));
  const orv_test::WString euros(30000, WCHAR(0x20AC));  // 30,000 units, 90,000 bytes in UTF-8
  const orv_test::WString sixtyK(60 * 1024, WCHAR('y'));

  // At the limits: 256 fields, a text of 64 KiB.
  {
    CORVWCharString url = wideString("https://at.example/"), title = wideString("t");
    CORVWCharStringList pwFields = repeated(256, orv_test::widen("f")), pwValues = repeated(1, limit), none1, none2;
    ASSERT_TRUE(create_(nullptr, &url, &title, &pwFields, &pwValues, &none1, &none2));
  }

  struct Case {
    const char* what;
    CORVWCharStringList pwFields, pwValues, textValues;
    orv_test::WString title;
  } cases[] = {
      {"257 password fields", repeated(257, orv_test::widen("f")), listOf({"v"}), {}, {}},
      {"257 text values", listOf({"p"}), listOf({"v"}), repeated(257, orv_test::widen("t")), {}},
      {"a value one byte past 64 KiB", listOf({"p"}), repeated(1, pastLimit), {}, {}},
      {"a value past 64 KiB only once converted", listOf({"p"}), repeated(1, euros), {}, {}},
      {"a title past 64 KiB", listOf({"p"}), listOf({"v"}), {}, pastLimit},
      {"five values of 60 KiB, 300 KiB in all", listOf({"p"}), repeated(5, sixtyK), {}, {}},
  };
  orv_test::CapturedLog log;
  size_t rejected = 0;
  for (Case& c : cases) {
    CORVWCharString url = wideString("https://a.example/"), title(c.title.c_str());
    CORVWCharStringList textFields;
    EXPECT_FALSE(create_(nullptr, &url, &title, &c.pwFields, &c.pwValues, &textFields, &c.textValues)) << c.what;
    EXPECT_EQ(passwordOf("https://a.example/"), "kept;") << c.what << ": the stored record stays";
    EXPECT_EQ(log.linesWith({"https://a.example", "over budget"}).size(), ++rejected) << c.what << "\n" << log.all();
  }
  EXPECT_TRUE(create("https://b.example/", "B", listOf({"p"}), listOf({"next"}))) << "another origin still stores";
  EXPECT_EQ(passwordOf("https://b.example/"), "next;");
}

#ifndef _WIN32
// Restores the process's umask when the test ends.
class Umask {
 public:
  explicit Umask(mode_t mask) : previous_(::umask(mask)) {}
  ~Umask() { ::umask(previous_); }

 private:
  mode_t previous_;
};

mode_t modeOf(const std::filesystem::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST_F(InterfaceModuleTest, TheFolderAndFilesAreTheOwnersAloneWhateverTheUmask) {
  const std::filesystem::path nested = folder_.path() / "data" / "store";
  SetEnvironmentVariableW(ORV_W("ORVPWM_RECORDS_DIR"), orv_test::widePath(nested).c_str());
  {
    Umask open(0);
    ASSERT_TRUE(create("https://a.example/", "A", listOf({"p"}), listOf({"v"})));
    ASSERT_TRUE(create("https://a.example/", "A", listOf({"p"}), listOf({"v2"})));
  }
  EXPECT_EQ(modeOf(nested.parent_path()), 0700u);
  EXPECT_EQ(modeOf(nested), 0700u);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(nested)) {
    names.push_back(entry.path().filename().string());
    EXPECT_EQ(modeOf(entry.path()), 0600u) << entry.path();
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"records.db", "records.lock"})) << "no journal stays behind";
  EXPECT_EQ(passwordOf("https://a.example/"), "v2;");

  // The user's own folder, left group-writable by an earlier umask, is closed and used.
  ::chmod(nested.c_str(), 0777);
  EXPECT_TRUE(create("https://b.example/", "B", listOf({"p"}), listOf({"v"})));
  EXPECT_EQ(modeOf(nested), 0700u);
}

// Files planted before the first use by someone who may write them: none is
// used, loads find nothing and creates fail, and the log says which file.
TEST_F(InterfaceModuleTest, FilesAnotherUserOwnsOrMayWriteAreNotUsed) {
  // A store holding a record that the planter chose for the bank.
  SetEnvironmentVariableW(ORV_W("ORVPWM_RECORDS_DIR"), folder_.wide("planted").c_str());
  ASSERT_TRUE(create("https://bank.example/", "t", listOf({"p"}), listOf({"planted"})));
  const std::filesystem::path planted = folder_.path() / "planted" / "records.db";
  const bool root = ::geteuid() == 0;  // only root can give a file away

  struct Case {
    const char* what;
    const char* file;  // in the store folder; empty: the folder itself
    mode_t mode;
    bool foreign;
  } cases[] = {
      {"a group-writable store", "records.db", 0660, false},
      {"a store writable by others", "records.db", 0606, false},
      {"a store another user owns", "records.db", 0600, true},
      {"a group-writable lock", "records.lock", 0660, false},
      {"a journal another user owns", "records.db-journal", 0600, true},
      {"a folder another user owns", "", 0700, true},
  };
  int index = 0;
  for (const Case& c : cases) {
    if (c.foreign && !root) continue;
    const std::filesystem::path folder = folder_.path() / ("case" + std::to_string(index++));
    std::filesystem::create_directories(folder);
    ::chmod(folder.c_str(), 0700);
    std::filesystem::copy_file(planted, folder / "records.db");
    ::chmod((folder / "records.db").c_str(), 0600);
    const std::filesystem::path target = c.file[0] != '\0' ? folder / c.file : folder;
    if (!std::filesystem::exists(target)) std::ofstream(target).put('\0');
    ASSERT_EQ(::chmod(target.c_str(), c.mode), 0) << c.what;
    if (c.foreign) ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0) << c.what;
    SetEnvironmentVariableW(ORV_W("ORVPWM_RECORDS_DIR"), orv_test::widePath(folder).c_str());
    const std::string before = orv_test::readBytes(folder / "records.db");

    orv_test::CapturedLog log;
    EXPECT_EQ(passwordOf("https://bank.example/"), "(none)") << c.what;
    EXPECT_FALSE(create("https://shop.example/", "t", listOf({"p"}), listOf({"v"}))) << c.what;
    EXPECT_TRUE(orv_test::readBytes(folder / "records.db") == before) << c.what << ": the store is not written";
    const std::string named = c.file[0] != '\0' ? c.file : folder.filename().string();
    EXPECT_EQ(log.linesWith({"records cannot be used", named}).size(), 2u) << c.what << "\n" << log.all();
    ::chmod(folder.c_str(), 0700);
  }

  // A link in place of the store is not followed.
  const std::filesystem::path linked = folder_.path() / "linked";
  std::filesystem::create_directories(linked);
  ::chmod(linked.c_str(), 0700);
  std::filesystem::create_symlink(planted, linked / "records.db");
  SetEnvironmentVariableW(ORV_W("ORVPWM_RECORDS_DIR"), orv_test::widePath(linked).c_str());
  EXPECT_EQ(passwordOf("https://bank.example/"), "(none)") << "a link to a store";

  // An earlier JSON store that others may write is not imported.
  SetEnvironmentVariableW(ORV_W("ORVPWM_RECORDS_DIR"), folder_.wide("legacy").c_str());
  std::filesystem::create_directories(folder_.path() / "legacy");
  ::chmod((folder_.path() / "legacy").c_str(), 0700);
  const std::filesystem::path earlier = folder_.path() / "legacy" / "records.json";
  std::ofstream(earlier) << R"({"records": {"https://bank.example": {"pwFields": ["p"], "pwValues": ["planted"]}}})";
  ::chmod(earlier.c_str(), 0666);
  orv_test::CapturedLog log;
  EXPECT_EQ(passwordOf("https://bank.example/"), "(none)") << "a records.json others may write";
  EXPECT_EQ(log.linesWith({"records cannot be used", "records.json"}).size(), 1u) << log.all();
}

// The module keeps its connection between commands: a store file put in the
// place of the one it has open is what the next command reads, and one that
// fails the checks then, or is opened up in place, is refused at once.
TEST_F(InterfaceModuleTest, AStoreChangedBetweenCommandsIsCheckedAndReadAfresh) {
  int made = 0;
  // A store of this user's in a folder of its own, holding `password` for the bank.
  auto storeHolding = [&](const char* password) {
    const std::string name = "made" + std::to_string(made++);
    SetEnvironmentVariableW(ORV_W("ORVPWM_RECORDS_DIR"), folder_.wide(name).c_str());
    EXPECT_TRUE(create("https://bank.example/", "t", listOf({"p"}), listOf({password})));
    SetEnvironmentVariableW(ORV_W("ORVPWM_RECORDS_DIR"), folder_.wide("store").c_str());
    return folder_.path() / name / "records.db";
  };
  ASSERT_TRUE(create("https://bank.example/", "t", listOf({"p"}), listOf({"first"})));
  const bool root = ::geteuid() == 0;

  struct Case {
    const char* what;
    mode_t mode;
    bool foreign;
    bool inPlace;  // the open file itself changes, not the file the name points to
    const char* expected;
  } cases[] = {
      {"another of this user's stores moved in", 0600, false, false, "moved;"},
      {"a group-writable store moved in", 0660, false, false, "(none)"},
      {"a store another user owns moved in", 0600, true, false, "(none)"},
      {"the open store made writable by others", 0606, false, true, "(none)"},
      {"the open store given to another user", 0600, true, true, "(none)"},
  };
  for (const Case& c : cases) {
    if (c.foreign && !root) continue;
    const std::filesystem::path replacement = storeHolding("moved");
    std::filesystem::rename(storeHolding("mine"), storeFile());
    ASSERT_EQ(passwordOf("https://bank.example/"), "mine;") << c.what << ": the store is open before the change";
    const std::filesystem::path changed = c.inPlace ? storeFile() : replacement;
    ASSERT_EQ(::chmod(changed.c_str(), c.mode), 0) << c.what;
    if (c.foreign) ASSERT_EQ(::chown(changed.c_str(), 65534, 65534), 0) << c.what;
    if (!c.inPlace) std::filesystem::rename(replacement, storeFile());

    orv_test::CapturedLog log;
    EXPECT_EQ(passwordOf("https://bank.example/"), c.expected) << c.what;
    if (std::string(c.expected) != "(none)") continue;
    EXPECT_FALSE(create("https://shop.example/", "t", listOf({"p"}), listOf({"v"}))) << c.what;
    EXPECT_EQ(log.linesWith({"records cannot be used", "records.db"}).size(), 2u) << c.what << "\n" << log.all();
    if (c.inPlace) {
      if (c.foreign) ASSERT_EQ(::chown(storeFile().c_str(), ::geteuid(), ::getegid()), 0);
      ASSERT_EQ(::chmod(storeFile().c_str(), 0600), 0);
      EXPECT_EQ(passwordOf("https://bank.example/"), "mine;") << c.what << ": used again once it passes";
    }
  }
}

// A load leaves no lock on the file: another process may write the store as
// soon as the command is over, whether the record was found or not.
TEST_F(InterfaceModuleTest, ALoadHoldsNoLockOnceItIsOver) {
  ASSERT_TRUE(create("https://bank.example/", "t", listOf({"p"}), listOf({"v"})));
  for (const char* address : {"https://bank.example/", "https://elsewhere.example/"}) {
    passwordOf(address);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open_v2(storeFile().c_str(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE; COMMIT;", nullptr, nullptr, nullptr), SQLITE_OK)
        << address << ": " << sqlite3_errmsg(other);
    sqlite3_close(other);
  }
}
#endif

TEST_F(InterfaceModuleTest, WritersAtOnceLoseNoRecord) {
  constexpr int kWriters = 4;
  constexpr int kRecordsEach = 15;
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([this, w] {
      for (int i = 0; i < kRecordsEach; ++i) {
        const std::string name = std::to_string(w) + "-" + std::to_string(i);
        EXPECT_TRUE(create("https://site" + name + ".example/", "t", listOf({"p"}), listOf({name.c_str()})));
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kRecordsEach; ++i) {
      const std::string name = std::to_string(w) + "-" + std::to_string(i);
      Loaded loaded;
      load("https://site" + name + ".example/", "t", loaded);
      EXPECT_TRUE(loaded.found) << name;
      EXPECT_EQ(namesOf(loaded.pwValues), name + ";");
    }
  }
}

}  // namespace
