// The profile-file calls. On Windows these run against the system's own
// functions, which keeps the POSIX implementation honest: every case here
// holds on both.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "profile_test_support.h"

namespace {

using orv_test::listOf;
using orv_test::ProfileFile;
using orv_test::w;
using orv_test::WString;
using orv_test::zeroList;

const char kSample[] =
    "k0=before\r\n"
    "[ Sec ]\r\n"
    "  Key1  =  value one  \r\n"
    "key2=\"quoted\"\r\n"
    "key3='single'\r\n"
    "key4=\"mismatch'\r\n"
    "key5=\"\r\n"
    "empty=\"\"\r\n"
    "noequals\r\n"
    ";comment=1\r\n"
    "=emptykey\r\n"
    "key1=duplicate\r\n"
    "\tTabbed\t=\tv\t\x1A\r\n"
    "[sec]\r\n"
    "hidden=second\r\n"
    "[Other]\r\n"
    "a=1\r\n"
    "[broken\r\n"
    "b=2\r\n"
    "[x]y]\r\n"
    "c=3\r\n";

struct ValueCase {
  const char* section;
  const char* key;
  const char* expected;
};

TEST(PrivateProfileString, FindsValuesAsWindowsReadsTheFile) {
  ProfileFile file;
  file.write(kSample);
  const ValueCase cases[] = {
      {"Sec", "Key1", "value one"},      // blanks around section, key and value dropped
      {"SEC", "KEY1", "value one"},      // names without case
      {" sec ", " key1 ", "value one"},  // and without blanks in the call
      {"sec", "key2", "quoted"},         // matching double quotes dropped
      {"sec", "key3", "single"},         // and single ones
      {"sec", "key4", "\"mismatch'"},    // quotes that do not match stay
      {"sec", "key5", "\""},             // one quote alone stays
      {"sec", "empty", ""},              // a pair of quotes around nothing
      {"sec", "noequals", "default"},    // a line without "=" has no value
      {"sec", "", "emptykey"},           // "=value" is the empty key's line
      {"sec", "tabbed", "v"},            // tabs and Ctrl-Z are blanks too
      {"sec", "hidden", "default"},      // a duplicate section is hidden by the first
      {"sec", "missing", "default"},     //
      {"nosuch", "key1", "default"},     //
      {"Other", "b", "2"},               // "[broken" is no header: b stays in Other
      {"x]y", "c", "3"},                 // a header runs to the line's last "]"
      {"", "k0", "before"},              // lines before the first header: the nameless section
  };
  for (const ValueCase& test : cases) {
    DWORD length = 0;
    EXPECT_EQ(file.get(test.section, test.key, "default", 256, &length), w(test.expected))
        << "[" << test.section << "] " << test.key;
    EXPECT_EQ(length, std::string(test.expected).size()) << "[" << test.section << "] " << test.key;
  }
  // The first of duplicate keys counts.
  EXPECT_EQ(file.get("sec", "key1"), w("value one"));
}

TEST(PrivateProfileString, ReadsZeroUnitsAndEveryLineEnd) {
  ProfileFile file;
  file.write(std::string("[s]\rk=v\rk2=a\0b\r\nk3=c\nk4=d", 25));
  EXPECT_EQ(file.get("s", "k"), w("v"));
  EXPECT_EQ(file.get("s", "k2"), w("a"));  // a zero ends the line's text
  EXPECT_EQ(file.get("s", "k3"), w("c"));
  EXPECT_EQ(file.get("s", "k4"), w("d"));  // no line end at all
}

TEST(PrivateProfileString, DefaultLosesTrailingSpacesAndQuotes) {
  ProfileFile file;
  file.write("[s]\r\nk=v\r\n");
  DWORD length = 0;
  EXPECT_EQ(file.get("s", "missing", "  spaced  ", 256, &length), w("  spaced"));
  EXPECT_EQ(length, 8u);
  EXPECT_EQ(file.get("s", "missing", "\"quoted\""), w("quoted"));
  EXPECT_EQ(file.get(w("s").c_str(), w("missing").c_str(), nullptr, 256, &length), WString());
  EXPECT_EQ(length, 0u);
}

TEST(PrivateProfileString, MissingFileGivesTheDefaultAndFileNotFound) {
  ProfileFile file;
  SetLastError(0);
  DWORD length = 0;
  EXPECT_EQ(file.get("s", "k", "fallback", 256, &length), w("fallback"));
  EXPECT_EQ(length, 8u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(file.exists());
}

// A value that just fits (size 10 for "value one") also gives size - 1.
TEST(PrivateProfileString, CutsValuesToTheBufferAndReturnsSizeMinusOne) {
  ProfileFile file;
  file.write("[s]\r\nk=value one\r\nq=\"quoted\"\r\n");
  struct {
    const char* key;
    DWORD size;
    const char* expected;
  } cases[] = {
      {"k", 5, "valu"}, {"k", 9, "value on"}, {"k", 10, "value one"}, {"k", 11, "value one"},
      {"k", 1, ""},     {"q", 4, "quo"},      {"q", 8, "quoted"},     {"missing", 4, "def"},
  };
  for (const auto& test : cases) {
    DWORD length = 0;
    EXPECT_EQ(file.get("s", test.key, "default", test.size, &length), w(test.expected))
        << test.key << " in " << test.size;
    EXPECT_EQ(length, std::string(test.expected).size()) << test.key << " in " << test.size;
  }
  WCHAR untouched[2] = {'#', '#'};
  EXPECT_EQ(GetPrivateProfileStringW(w("s").c_str(), w("k").c_str(), nullptr, untouched, 0, file.name()), 0u);
  EXPECT_EQ(untouched[0], static_cast<WCHAR>('#'));
}

TEST(PrivateProfileString, NullKeyListsKeysWithValuesAndNullSectionListsSections) {
  ProfileFile file;
  file.write(kSample);
  DWORD length = 0;
  EXPECT_EQ(listOf(256, length,
                   [&](WCHAR* buffer, DWORD size) {
                     return GetPrivateProfileStringW(w("sec").c_str(), nullptr, w("def").c_str(), buffer, size,
                                                     file.name());
                   }),
            "Key1|key2|key3|key4|key5|empty||key1|Tabbed||");
  EXPECT_EQ(listOf(256, length,
                   [&](WCHAR* buffer, DWORD size) {
                     return GetPrivateProfileStringW(nullptr, nullptr, w("def").c_str(), buffer, size, file.name());
                   }),
            "Sec|sec|Other|x]y||");
  EXPECT_EQ(length, 18u);
  // No such section, or one without keys: the default.
  file.write("[empty]\r\n[s]\r\nk=v\r\n");
  for (const char* section : {"nosuch", "empty"}) {
    EXPECT_EQ(file.get(w(section).c_str(), nullptr, w("def").c_str(), 256, &length), w("def")) << section;
    EXPECT_EQ(length, 3u);
  }
}

TEST(PrivateProfileSection, ListsLinesRawWithoutComments) {
  ProfileFile file;
  file.write(kSample);
  DWORD length = 0;
  const auto section = [&](const char* name) {
    return listOf(256, length, [&](WCHAR* buffer, DWORD size) {
      return GetPrivateProfileSectionW(w(name).c_str(), buffer, size, file.name());
    });
  };
  EXPECT_EQ(section("SEC"),
            "Key1=value one|key2=\"quoted\"|key3='single'|key4=\"mismatch'|key5=\"|empty=\"\"|noequals|=emptykey|"
            "key1=duplicate|Tabbed=v||");
  EXPECT_EQ(section("Other"), "a=1|[broken|b=2||");
  EXPECT_EQ(length, 16u);
  EXPECT_EQ(section("nosuch"), "|");
  EXPECT_EQ(length, 0u);
}

TEST(PrivateProfileSectionNames, ListsEverySectionInFileOrder) {
  ProfileFile file;
  file.write("k=v\r\n[a]\r\nx=1\r\n[b]\r\n[A]\r\n[]\r\ny=2\r\n");
  DWORD length = 0;
  EXPECT_EQ(
      listOf(256, length,
             [&](WCHAR* buffer, DWORD size) { return GetPrivateProfileSectionNamesW(buffer, size, file.name()); }),
      "a|b|A||");
  EXPECT_EQ(length, 6u);
  ProfileFile missing("missing.ini");
  EXPECT_EQ(
      listOf(256, length,
             [&](WCHAR* buffer, DWORD size) { return GetPrivateProfileSectionNamesW(buffer, size, missing.name()); }),
      "|");
}

// A list that does not fit with room for one more zero is cut to size - 2
// units, ends in two zeros and returns size - 2.
TEST(ProfileLists, SmallBuffersReturnSizeMinusTwo) {
  ProfileFile file;
  file.write("[Sec]\r\na=1\r\nbb=22\r\n[sec]\r\n[Other]\r\n[x]y]\r\n");
  struct Case {
    DWORD size;
    const char* expected;
  };
  const auto check = [&](const char* what, const Case* begin, const Case* end, const auto& call) {
    for (const Case* test = begin; test != end; ++test) {
      DWORD length = 0;
      EXPECT_EQ(listOf(test->size, length, call), test->expected) << what << " in " << test->size;
      const std::string expected(test->expected);
      EXPECT_EQ(length, expected.size() - 1) << what << " in " << test->size;
    }
  };
  const Case names[] = {{2, "|"},
                        {3, "S|"},
                        {5, "Sec|"},
                        {6, "Sec||"},
                        {7, "Sec|s|"},
                        {9, "Sec|sec|"},
                        {10, "Sec|sec||"},
                        {19, "Sec|sec|Other|x]y|"},
                        {20, "Sec|sec|Other|x]y||"}};
  check("names", std::begin(names), std::end(names),
        [&](WCHAR* buffer, DWORD size) { return GetPrivateProfileSectionNamesW(buffer, size, file.name()); });
  const Case lines[] = {{2, "|"},        {3, "a|"},          {5, "a=1|"},        {6, "a=1||"},
                        {9, "a=1|bb=|"}, {11, "a=1|bb=22|"}, {12, "a=1|bb=22||"}};
  check("section", std::begin(lines), std::end(lines), [&](WCHAR* buffer, DWORD size) {
    return GetPrivateProfileSectionW(w("sec").c_str(), buffer, size, file.name());
  });
  const Case keys[] = {{3, "a|"}, {5, "a|b|"}, {6, "a|bb|"}, {7, "a|bb||"}};
  check("keys", std::begin(keys), std::end(keys), [&](WCHAR* buffer, DWORD size) {
    return GetPrivateProfileStringW(w("sec").c_str(), nullptr, w("d").c_str(), buffer, size, file.name());
  });
}

TEST(PrivateProfileInt, ReadsNumbersAsWindowsDoes) {
  ProfileFile file;
  file.write(
      "[s]\r\na=1\r\nb=-1\r\nc=0x10\r\nd=0X10\r\ne= 12abc\r\nf=abc\r\ng=\r\nh=99999999999\r\ni=\"42\"\r\n"
      "j=0b101\r\nk=0o17\r\nl=+7\r\nm=- 5\r\nn=4294967295\r\no=010\r\np\r\n");
  const struct {
    const char* key;
    int expected;
  } cases[] = {
      {"a", 1}, {"b", -1}, {"c", 16}, {"d", 0}, {"e", 12}, {"f", 0},  {"g", 77}, {"h", 1215752191}, {"i", 42},
      {"j", 5}, {"k", 15}, {"l", 7},  {"m", 0}, {"n", -1}, {"o", 10}, {"p", 77}, {"zz", 77},
  };
  for (const auto& test : cases)
    EXPECT_EQ(static_cast<int>(GetPrivateProfileIntW(w("s").c_str(), w(test.key).c_str(), 77, file.name())),
              test.expected)
        << test.key;
  ProfileFile missing("missing.ini");
  EXPECT_EQ(static_cast<int>(GetPrivateProfileIntW(w("s").c_str(), w("a").c_str(), -5, missing.name())), -5);
}

TEST(WritingProfileStrings, CreatesTheFileAndPlacesNewSectionsAndKeys) {
  ProfileFile file;
  struct Step {
    const char* section;
    const char* key;
    const char* value;
    const char* file;
  } steps[] = {
      {"s", "k", "v", "[s]\r\nk=v\r\n"},
      {"S", "K", "new", "[s]\r\nk=new\r\n"},  // the key keeps its spelling
      {"t", "a", "1", "[s]\r\nk=new\r\n[t]\r\na=1\r\n"},
      {"s", "k3", "3", "[s]\r\nk=new\r\nk3=3\r\n[t]\r\na=1\r\n"},
      {"s", "", "default", "[s]\r\nk=new\r\nk3=3\r\n=default\r\n[t]\r\na=1\r\n"},
      {"s", "k3", nullptr, "[s]\r\nk=new\r\n=default\r\n[t]\r\na=1\r\n"},
      {"s", "nosuch", nullptr, "[s]\r\nk=new\r\n=default\r\n[t]\r\na=1\r\n"},
      {"t", nullptr, nullptr, "[s]\r\nk=new\r\n=default\r\n"},
      {"gone", nullptr, nullptr, "[s]\r\nk=new\r\n=default\r\n"},
  };
  for (const Step& step : steps) {
    const WString key = step.key == nullptr ? WString() : w(step.key);
    const WString value = step.value == nullptr ? WString() : w(step.value);
    EXPECT_TRUE(WritePrivateProfileStringW(w(step.section).c_str(), step.key == nullptr ? nullptr : key.c_str(),
                                           step.value == nullptr ? nullptr : value.c_str(), file.name()))
        << step.section << " " << (step.key ? step.key : "(null)");
    EXPECT_EQ(file.bytes(), step.file) << step.section << " " << (step.key ? step.key : "(null)");
  }
  EXPECT_EQ(file.get("s", ""), w("default"));
}

TEST(WritingProfileStrings, KeepsOtherLinesAndComments) {
  ProfileFile file;
  file.write("; top comment\r\n[a]\r\nx=1\r\n; inside\r\n[b]\r\ny=2\r\n");
  EXPECT_TRUE(file.set("a", "z", "3"));
  EXPECT_EQ(file.bytes(), "; top comment\r\n[a]\r\nx=1\r\n; inside\r\nz=3\r\n[b]\r\ny=2\r\n");
  EXPECT_TRUE(file.set("A", "X", "9"));
  EXPECT_EQ(file.bytes(), "; top comment\r\n[a]\r\nx=9\r\n; inside\r\nz=3\r\n[b]\r\ny=2\r\n");
  EXPECT_TRUE(file.set("c", "w", "5"));
  EXPECT_EQ(file.bytes(), "; top comment\r\n[a]\r\nx=9\r\n; inside\r\nz=3\r\n[b]\r\ny=2\r\n[c]\r\nw=5\r\n");

  file.write("[a]\r\nx=1");  // no line end on the last line
  EXPECT_TRUE(file.set("a", "y", "2"));
  EXPECT_EQ(file.bytes(), "[a]\r\nx=1\r\ny=2\r\n");
  file.write("");
  EXPECT_TRUE(file.set("a", "y", "2"));
  EXPECT_EQ(file.bytes(), "[a]\r\ny=2\r\n");
}

TEST(WritingProfileStrings, ValuesReadBackWithoutLeadingBlanks) {
  ProfileFile file;
  EXPECT_TRUE(file.set(" s ", " k ", "  spaced value  "));
  EXPECT_EQ(file.get("s", "k"), w("spaced value"));
  EXPECT_TRUE(file.set("s", "q", "\"  kept  \""));
  EXPECT_EQ(file.get("s", "q"), w("  kept  "));
}

TEST(WritingProfileStrings, NullSectionFails) {
  ProfileFile file;
  file.write("[s]\r\nk=v\r\n");
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringW(nullptr, w("k").c_str(), w("v").c_str(), file.name()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.name()));  // a cache flush
  EXPECT_EQ(file.bytes(), "[s]\r\nk=v\r\n");
}

TEST(WritingProfileStrings, DuplicateSectionsAndKeysAreReachedThroughTheFirst) {
  ProfileFile file;
  file.write("[a]\r\nx=1\r\nx=2\r\n[b]\r\n[A]\r\ny=2\r\n");
  EXPECT_EQ(file.get("a", "y"), w("default"));
  EXPECT_TRUE(file.set("a", "x", "9"));
  EXPECT_TRUE(file.set("a", "y", "8"));
  EXPECT_EQ(file.bytes(), "[a]\r\nx=9\r\nx=2\r\ny=8\r\n[b]\r\n[A]\r\ny=2\r\n");
  EXPECT_TRUE(WritePrivateProfileStringW(w("a").c_str(), w("x").c_str(), nullptr, file.name()));
  EXPECT_EQ(file.get("a", "x"), w("2"));
  EXPECT_TRUE(WritePrivateProfileStringW(w("a").c_str(), nullptr, nullptr, file.name()));
  EXPECT_EQ(file.bytes(), "[b]\r\n[A]\r\ny=2\r\n");
  EXPECT_EQ(file.get("a", "y"), w("2"));
}

TEST(WritingProfileSections, ReplacesTheSectionInPlace) {
  ProfileFile file;
  file.write("[a]\r\nx=1\r\n;c\r\ny=2\r\n[b]\r\nz=3\r\n");
  EXPECT_TRUE(WritePrivateProfileSectionW(w("A").c_str(), zeroList("p=1|q=2|noequals|p=3||").c_str(), file.name()));
  EXPECT_EQ(file.bytes(), "[a]\r\np=1\r\nq=2\r\np=3\r\n[b]\r\nz=3\r\n");
  EXPECT_TRUE(WritePrivateProfileSectionW(w("new").c_str(), zeroList("n=1||").c_str(), file.name()));
  EXPECT_EQ(file.bytes(), "[a]\r\np=1\r\nq=2\r\np=3\r\n[b]\r\nz=3\r\n[new]\r\nn=1\r\n");
  EXPECT_TRUE(WritePrivateProfileSectionW(w("b").c_str(), zeroList("|").c_str(), file.name()));
  EXPECT_EQ(file.bytes(), "[a]\r\np=1\r\nq=2\r\np=3\r\n[b]\r\n[new]\r\nn=1\r\n");
  EXPECT_TRUE(WritePrivateProfileSectionW(w("a").c_str(), nullptr, file.name()));
  EXPECT_EQ(file.bytes(), "[b]\r\n[new]\r\nn=1\r\n");
}

TEST(ProfileFiles, Utf16FilesAreReadAndWrittenAsUtf16) {
  ProfileFile file;
  file.write(std::string("\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\xE9\0v\0\r\0\n\0", 24));
  EXPECT_EQ(file.get("s", "k"), WString({0xE9, 'v'}));
  const WString value{'w', 0x20AC};
  EXPECT_TRUE(WritePrivateProfileStringW(w("s").c_str(), w("k2").c_str(), value.c_str(), file.name()));
  EXPECT_EQ(file.bytes(), std::string("\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\xE9\0v\0\r\0\n\0k\0"
                                      "2\0=\0w\0\xAC\x20\r\0\n\0",
                                      38));
  EXPECT_EQ(file.get("s", "k2"), value);
}

TEST(ProfileFiles, WritersInSeveralThreadsLoseNoUpdate) {
  ProfileFile file;
  constexpr int kThreads = 4;
  constexpr int kWrites = 20;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < kWrites; ++i) {
        const std::string key = "t" + std::to_string(t) + "k" + std::to_string(i);
        file.set("shared", key.c_str(), std::to_string(i).c_str());
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kWrites; ++i) {
      const std::string key = "t" + std::to_string(t) + "k" + std::to_string(i);
      EXPECT_EQ(file.get("shared", key.c_str()), w(std::to_string(i).c_str())) << key;
    }
}

}  // namespace
