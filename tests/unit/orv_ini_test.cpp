// CORVIni over the platform's profile calls: the sentinels that turn a read
// into false, the records of failures, and what the writes leave in the
// file. On Windows these run against the system's own profile functions.
#include "orv_ini.h"

#include <gtest/gtest.h>

#include <string>

#include "profile_test_support.h"
#include "registry_test_support.h"

namespace {

using orv_test::CapturedLog;
using orv_test::namesOf;
using orv_test::ProfileFile;
using orv_test::ScratchRegistry;
using orv_test::textOf;
using orv_test::wideString;

std::string lastOf(CORVWCharStringList& list) {
  std::string last;
  if (list.moveFirst()) do {
      last = textOf(*list.getCurrentData());
    } while (list.moveNext());
  return last;
}

class IniTest : public ::testing::Test {
 protected:
  CORVWCharString fileName() const { return CORVWCharString(file_.name()); }
  CORVWCharString missingFolderFile() const {
    return wideString(file_.folder().wide("missing")) + CORVWCharString(orv_platform::kPathSeparator) +
           wideString("x.ini");
  }

  ScratchRegistry registry_;
  CapturedLog log_;
  ProfileFile file_;
};

TEST_F(IniTest, IntegersAreReadUnlessTheyEqualTheFailureSign) {
  file_.write("[s]\r\nanswer=42\r\nnegative=-7\r\nminus=-1\r\n");
  CORVIni ini(fileName());
  INT value = 5;
  EXPECT_TRUE(ini.getProfileInt(wideString("s"), wideString("answer"), value));
  EXPECT_EQ(value, 42);
  EXPECT_TRUE(ini.getProfileInt(wideString("S"), wideString("NEGATIVE"), value));
  EXPECT_EQ(value, -7);

  for (const char* key : {"minus", "missing"}) {
    value = 5;
    EXPECT_FALSE(ini.getProfileInt(wideString("s"), wideString(key), value)) << key;
    EXPECT_EQ(value, 5) << key;
  }
  EXPECT_EQ(log_.linesWith({"GetPrivateProfileInt( ) failed.", "orv_ini"}).size(), 2u) << log_.all();
}

TEST_F(IniTest, StringsFailForTheDefaultAnEmptyValueAndValuesThatFillTheBuffer) {
  const auto of = [](size_t length) { return std::string(length, 'v'); };
  file_.write(
      "[s]\r\nplain=abc\r\nquoted=\"a b\"\r\nempty=\r\nliteral=Not Found\r\n"
      "fits=" +
      of(1021) + "\r\nsizeMinus2=" + of(1022) + "\r\nfills=" + of(1023) + "\r\nlong=" + of(3000) + "\r\n");
  CORVIni ini(fileName());
  struct Case {
    const char* key;
    bool read;
    std::string expected;
  };
  const Case cases[] = {
      {"plain", true, "abc"},    {"quoted", true, "a b"}, {"fits", true, of(1021)},
      {"missing", false, ""},    {"empty", false, ""},    {"literal", false, ""},
      {"sizeMinus2", false, ""}, {"fills", false, ""},    {"long", false, ""},
  };
  for (const Case& c : cases) {
    CORVWCharString out(ORV_W("unchanged"));
    EXPECT_EQ(ini.getProfileString(wideString("s"), wideString(c.key), out), c.read) << c.key;
    EXPECT_EQ(textOf(out), c.read ? c.expected : "unchanged") << c.key;
  }
}

TEST_F(IniTest, SectionsAreReadLineByLineInFileOrder) {
  file_.write("[first]\r\nb=2\r\n;note\r\na=\"1\"\r\nc=3\r\n[empty]\r\n[second]\r\nx=y\r\n");
  CORVIni ini(fileName());
  CORVWCharStringList lines = orv_test::listOf({"kept"});
  EXPECT_TRUE(ini.getProfileSection(wideString("FIRST"), lines));
  EXPECT_EQ(namesOf(lines), "b=2;a=\"1\";c=3;") << "quotes stay, comments go";

  for (const char* section : {"missing", "empty"}) {
    lines = orv_test::listOf({"kept"});
    EXPECT_FALSE(ini.getProfileSection(wideString(section), lines)) << section;
    EXPECT_EQ(namesOf(lines), "kept;") << section;
  }

  CORVWCharStringList names;
  EXPECT_TRUE(ini.getProfileSectionNames(names));
  EXPECT_EQ(namesOf(names), "first;empty;second;");
}

TEST_F(IniTest, ListsLargerThanTheFirstBufferAreReadWhole) {
  // 2000 sections of 40 characters, and one section of 2000 such lines:
  // each list is more than twice the first buffer.
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "[section number " + std::to_string(100000 + i) + " of the big file]\r\n";
  text += "[big]\r\n";
  for (int i = 0; i < 2000; ++i) text += "key" + std::to_string(100000 + i) + "=value of the line, long enough\r\n";
  file_.write(text);
  CORVIni ini(fileName());
  CORVWCharStringList names;
  ASSERT_TRUE(ini.getProfileSectionNames(names));
  EXPECT_EQ(names.getCount(), 2001u);
  EXPECT_EQ(lastOf(names), "big");
  CORVWCharStringList lines;
  ASSERT_TRUE(ini.getProfileSection(wideString("big"), lines));
  EXPECT_EQ(lines.getCount(), 2000u);
  EXPECT_EQ(lastOf(lines), "key101999=value of the line, long enough");
}

TEST_F(IniTest, WritesCreateTheFileAppendAndKeepWhatIsThere) {
  ASSERT_FALSE(file_.exists());
  CORVIni ini(fileName());
  EXPECT_TRUE(ini.setProfileString(wideString("one"), wideString("a"), wideString("1")));
  EXPECT_TRUE(file_.exists());
  EXPECT_TRUE(ini.setProfileInt(wideString("two"), wideString("n"), -5));
  EXPECT_TRUE(ini.setProfileString(wideString("one"), wideString("b"), wideString("2")));
  EXPECT_TRUE(ini.setProfileString(wideString("ONE"), wideString("A"), wideString("replaced")));
  // An empty value is written as such: it neither deletes the key nor the section.
  EXPECT_TRUE(ini.setProfileString(wideString("one"), wideString("c"), CORVWCharString()));

  CORVWCharStringList names;
  ASSERT_TRUE(ini.getProfileSectionNames(names));
  EXPECT_EQ(namesOf(names), "one;two;");
  CORVWCharStringList lines;
  ASSERT_TRUE(ini.getProfileSection(wideString("one"), lines));
  EXPECT_EQ(namesOf(lines), "a=replaced;b=2;c=;");
  INT value = 0;
  EXPECT_TRUE(ini.getProfileInt(wideString("two"), wideString("n"), value));
  EXPECT_EQ(value, -5);

  // Creating a section that is there empties it (Wine lists a new empty
  // section only once it has keys).
  EXPECT_TRUE(ini.createProfileSection(wideString("two")));
  EXPECT_FALSE(ini.getProfileSection(wideString("two"), lines));
  EXPECT_TRUE(ini.createProfileSection(wideString("three")));
}

TEST_F(IniTest, FailedWritesAreRecordedWithSectionAndKey) {
  CORVIni ini(missingFolderFile());
  EXPECT_FALSE(ini.setProfileString(wideString("sec"), wideString("key"), wideString("v")));
  EXPECT_FALSE(ini.setProfileInt(wideString("sec"), wideString("num"), 1));
  EXPECT_FALSE(ini.createProfileSection(wideString("sec")));
  EXPECT_EQ(log_.linesWith({"Unable to write profile string ( section: sec, key name: key )", "orv_ini"}).size(), 1u)
      << log_.all();
  EXPECT_EQ(log_.linesWith({"Unable to write profile string ( section: sec, key name: num )"}).size(), 1u)
      << log_.all();
  EXPECT_EQ(log_.linesWith({"Unable to write profile section ( section: sec )", "orv_ini"}).size(), 1u) << log_.all();
}

}  // namespace
