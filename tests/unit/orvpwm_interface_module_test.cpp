// The reference interface module through its two exports, as the host calls
// them: records by origin, the four lists in order, the identity and the
// flags, the file's mode, and writers that run at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "log_test_support.h"
#include "orvpwm_interface.h"
#include "registry_test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
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
              CORVWCharStringList pwValues, CORVWCharStringList textFields = {},
              CORVWCharStringList textValues = {}) {
    CORVWCharString wideUrl = wideString(url), wideTitle = wideString(title);
    return create_(nullptr, &wideUrl, &wideTitle, &pwFields, &pwValues, &textFields, &textValues);
  }

  void load(const std::string& url, const std::string& title, Loaded& out) {
    CORVWCharString wideUrl = wideString(url), wideTitle = wideString(title), record;
    out.found = load_(nullptr, nullptr, &wideUrl, &wideTitle, &out.flags, &out.autoSubmit, &record, &out.pwFields,
                      &out.pwValues, &out.textFields, &out.textValues);
    out.record = textOf(record);
  }

  std::filesystem::path storeFile() const { return folder_.path() / "store" / "records.json"; }

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

TEST_F(InterfaceModuleTest, ADamagedStoreIsNeitherReadNorOverwritten) {
  ASSERT_TRUE(create("https://a.example/", "A", listOf({"p"}), listOf({"v"})));
  {
    std::ofstream damage(storeFile(), std::ios::binary | std::ios::trunc);
    damage << "{\"records\": {\"https://a.example\": ";
  }
  Loaded loaded;
  load("https://a.example/", "A", loaded);
  EXPECT_FALSE(loaded.found);
  EXPECT_FALSE(create("https://b.example/", "B", listOf({"p"}), listOf({"v"})));
  std::ifstream in(storeFile(), std::ios::binary);
  const std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(kept, "{\"records\": {\"https://a.example\": ");
}

TEST_F(InterfaceModuleTest, OddEntriesInTheFileAreSkippedNotFatal) {
  std::filesystem::create_directories(storeFile().parent_path());
  {
    std::ofstream file(storeFile(), std::ios::binary);
    file << R"({"records": {"https://a.example": "not a record",
                "https://b.example": {"pwFields": ["p", 7, "q"], "autoSubmit": false}}})";
  }
  Loaded a, b;
  load("https://a.example/", "", a);
  load("https://b.example/", "", b);
  EXPECT_FALSE(a.found);
  ASSERT_TRUE(b.found);
  EXPECT_EQ(namesOf(b.pwFields), "p;q;");
  EXPECT_EQ(b.autoSubmit, 0);
  EXPECT_EQ(b.record, "https://b.example");
  EXPECT_TRUE(create("https://a.example/", "A", listOf({"p"}), listOf({"v"}))) << "a bad entry is replaced";
}

#ifndef _WIN32
TEST_F(InterfaceModuleTest, TheStoreAndItsLockAreTheOwnersAlone) {
  ASSERT_TRUE(create("https://a.example/", "A", listOf({"p"}), listOf({"v"})));
  for (const char* name : {"records.json", "records.lock"}) {
    struct stat info {};
    ASSERT_EQ(stat((storeFile().parent_path() / name).c_str(), &info), 0) << name;
    EXPECT_EQ(info.st_mode & 0777, 0600u) << name;
  }
  std::vector<std::string> leftovers;
  for (const auto& entry : std::filesystem::directory_iterator(storeFile().parent_path()))
    leftovers.push_back(entry.path().filename().string());
  EXPECT_EQ(leftovers.size(), 2u) << "no temporary file stays behind";
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
