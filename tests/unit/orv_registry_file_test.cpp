// The registry text export and import against a registry of the test's own:
// the file's lines, the root names, the lines the import skips, what the
// export refuses to write, and trees that go out and come back byte for
// byte. On Windows these run against the system's profile functions.
#include "orv_registry_file.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "orv_registry_key.h"
#include "registry_test_support.h"

namespace {

using orv_test::CapturedLog;
using orv_test::narrow;
using orv_test::RegistryPath;
using orv_test::ScratchRegistry;
using orv_test::widen;
using orv_test::wideString;
using orv_test::WString;
using Bytes = std::vector<BYTE>;

const RegistryPath kMachineKey = {HKEY_LOCAL_MACHINE, widen("Software\\OrvTestRegistryFile")};

Bytes bytesOf(const WString& text, bool withTerminator = true) {
  const BYTE* begin = reinterpret_cast<const BYTE*>(text.c_str());
  return Bytes(begin, begin + (text.size() + (withTerminator ? 1 : 0)) * sizeof(WCHAR));
}

class RegistryFileTest : public ::testing::Test {
 protected:
  RegistryFileTest() : registry_({kMachineKey}) {}

  RegistryPath key(const std::string& below = "") const {
    return below.empty() ? registry_.userKey() : registry_.userSubKey(below);
  }
  std::string section(const std::string& below = "") const {
    return "[HKEY_CURRENT_USER\\" + narrow(key(below).path) + "]";
  }
  CORVWCharString file() const { return wideString(fileName()); }
  WString fileName() const { return registry_.folder().wide("export.ini"); }
  std::filesystem::path filePath() const { return registry_.folder().path() / "export.ini"; }

  bool exportKey(const std::string& below = "", bool replace = true) const {
    return exportRegistryToFile(file(), HKEY_CURRENT_USER, wideString(key(below).path), replace);
  }
  // The file's lines without line ends and blank lines.
  std::vector<std::string> fileLines() const {
    std::istringstream text(orv_test::readBytes(filePath()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) lines.push_back(line);
    }
    return lines;
  }
  void writeFile(const std::string& text) const {
    std::ofstream out(filePath(), std::ios::binary | std::ios::trunc);
    out << text;
  }
  // The value's type and bytes; type REG_NONE when it is missing.
  std::pair<DWORD, Bytes> valueOf(const RegistryPath& at, const std::string& name) const {
    DWORD type = REG_NONE;
    Bytes data;
    if (!orv_test::getRawValue(at, widen(name), type, data)) return {REG_NONE, {}};
    return {type, data};
  }

  ScratchRegistry registry_;
  CapturedLog log_;
};

TEST_F(RegistryFileTest, ATreeIsWrittenOneSectionPerKeyDepthFirstAndGroupedByType) {
  const WString multi = widen(std::string("a\0bc\0", 6));
  const BYTE binary[] = {0x01, 0xAB, 0x03, 0x04};
  orv_test::setRawValue(key(), widen("Data"), REG_BINARY, binary, sizeof(binary));
  orv_test::setRawValue(key(), widen("List"), REG_MULTI_SZ, multi.c_str(),
                        static_cast<DWORD>((multi.size() + 1) * sizeof(WCHAR)));
  orv_test::setStringValue(key(), widen("Path"), widen("%TEMP%\\x"), 0, REG_EXPAND_SZ);
  orv_test::setStringValue(key(), widen("Name"), widen("abc"));
  orv_test::setDwordValue(key(), widen("Count"), 31);
  const ULONGLONG quad = 7;
  orv_test::setRawValue(key(), widen("Other"), REG_QWORD, &quad, sizeof(quad));
  orv_test::setRawValue(key(), widen("None"), REG_NONE, binary, 2);
  orv_test::setDwordValue(key("a"), widen("n"), 0xFFFFFFFF);
  ASSERT_TRUE(CORVRegistryKey(HKEY_CURRENT_USER, wideString(key("b").path), KEY_ALL_ACCESS, false, 0).create());
  orv_test::setStringValue(key("b\\c"), widen("s"), widen("say \"hi\" = ;x"));

  EXPECT_TRUE(exportKey()) << log_.all();
  const std::vector<std::string> expected = {
      section(),
      "Count=REG_DWORD:0x0000001F",
      "Other=REG_QWORD:0x0000000000000007",
      "Name=REG_SZ:\"abc\"",
      "Path=REG_SZ_EXPAND:\"%TEMP%\\x\"",
      "List=REG_SZ_MULTI:61 00 00 00,62 00 63 00 00 00,00 00",  // the literal's zero: an empty third element
      "Data=REG_BINARY:01 AB 03 04 00 00",
      "None=REG_TYPE_0:01 AB",
      section("a"),
      "n=REG_DWORD:0xFFFFFFFF",
      section("b\\c"),  // b holds no values: no section
      "s=REG_SZ:\"say \"hi\" = ;x\"",
  };
  EXPECT_EQ(fileLines(), expected);
}

TEST_F(RegistryFileTest, SectionsNameTheRootAndOneBackslash) {
  orv_test::setDwordValue(kMachineKey, widen("m"), 1);
  orv_test::setDwordValue(key(), widen("u"), 2);
  EXPECT_TRUE(exportRegistryToFile(file(), HKEY_LOCAL_MACHINE, wideString(kMachineKey.path), true));
  EXPECT_TRUE(exportRegistryToFile(file(), HKEY_CURRENT_USER, wideString("\\" + narrow(key().path)), false))
      << "a leading backslash";
  const std::vector<std::string> expected = {"[HKEY_LOCAL_MACHINE\\" + narrow(kMachineKey.path) + "]",
                                             "m=REG_DWORD:0x00000001", section(), "u=REG_DWORD:0x00000002"};
  EXPECT_EQ(fileLines(), expected) << "without replacing, the file is added to";
}

TEST_F(RegistryFileTest, TheResultSaysWhetherEverythingWasWritten) {
  EXPECT_FALSE(exportKey()) << "a missing key";
  EXPECT_FALSE(std::filesystem::exists(filePath()));

  orv_test::setDwordValue(key("sub\\deeper"), widen("d"), 1);
  EXPECT_TRUE(exportKey()) << "a complete export with subkeys";
  orv_test::setDwordValue(key(), widen("top"), 1);
  EXPECT_TRUE(exportKey("sub\\deeper")) << "and without";
  EXPECT_EQ(fileLines().size(), 2u) << "the file was replaced";

  // Names the file cannot give back as they are: each is named, the rest
  // is still written. Text it cannot hold as text goes as bytes.
  orv_test::setStringValue(key(), widen("broken"), widen("x\r\n[E]"));
  const char* const refused[] = {"a=b", " lead", "trail ", "[header", ";comment", "\v", "\x01x", "x\r\ny"};
  for (const char* name : refused) orv_test::setDwordValue(key(), widen(name), 2);
  orv_test::setStringValue(key(), widen("lone"), WString(1, static_cast<WCHAR>(0xD800)));  // no encoding holds it
  EXPECT_FALSE(exportKey());
  const std::vector<std::string> expected = {section(),
                                             "top=REG_DWORD:0x00000001",
                                             "broken=REG_TYPE_1:78 00 0D 00 0A 00 5B 00 45 00 5D 00 00 00",
                                             "lone=REG_TYPE_1:00 D8 00 00",
                                             section("sub\\deeper"),
                                             "d=REG_DWORD:0x00000001"};
  EXPECT_EQ(fileLines(), expected);
  // One record each; the log shows control characters as blanks.
  const std::string log = log_.all();
  size_t records = 0;
  for (size_t at = log.find("Registry value not exported"); at != std::string::npos;
       at = log.find("Registry value not exported", at + 1))
    ++records;
  EXPECT_EQ(records, sizeof(refused) / sizeof(refused[0])) << log;
  for (const char* name : {"a=b", " lead", "trail ", "[header", ";comment"})
    EXPECT_NE(log.find("value: \"" + std::string(name) + "\""), std::string::npos) << name << "\n" << log;
  EXPECT_NE(log.find("key: " + section().substr(1, section().size() - 2)), std::string::npos) << log;
}

TEST_F(RegistryFileTest, TextOutsideTheFilesEncodingIsNeverChangedSilently) {
  // UTF-8 holds it; Windows' ANSI code pages mostly do not.
  WString text = widen("x");
  text.push_back(static_cast<WCHAR>(0x4E2D));
  orv_test::setStringValue(key(), widen("text"), text);
  const auto before = valueOf(key(), "text");
  const bool exported = exportKey();
  orv_test::deleteKey(key());
  importRegistryFromFile(file());
  if (exported)
    EXPECT_EQ(valueOf(key(), "text"), before) << "exported, so it comes back";
  else
    EXPECT_EQ(valueOf(key(), "text").first, DWORD{REG_NONE}) << "left out, and the export said so";
}

TEST_F(RegistryFileTest, TheExportCreatesTheFilesFolder) {
  orv_test::setDwordValue(key(), widen("v"), 1);
  const std::filesystem::path nested = registry_.folder().path() / "one" / "two" / "tree.ini";
  EXPECT_TRUE(exportRegistryToFile(CORVWCharString(orv_test::widePath(nested).c_str()), HKEY_CURRENT_USER,
                                   wideString(key().path), false));
  EXPECT_TRUE(std::filesystem::exists(nested));
}

TEST_F(RegistryFileTest, ATreeComesBackByteForByte) {
  const WString multi = widen(std::string("first\0second element\0\0", 22));
  const struct {
    const char* name;
    Bytes data;
  } binaries[] = {
      {"even", {0x10, 0x20, 0x30, 0x40}},
      {"odd", {0x10, 0x20, 0x30}},
      {"zeroUnit", {0x10, 0x20, 0x00, 0x00, 0x50, 0x60}},
      {"trailingZeros", {0x10, 0x20, 0x00, 0x00}},
      {"oneZero", {0x00}},
      {"empty", {}},
  };
  for (const auto& b : binaries)
    orv_test::setRawValue(key(), widen(b.name), REG_BINARY, b.data.data(), static_cast<DWORD>(b.data.size()));
  orv_test::setRawValue(key(), widen("multi"), REG_MULTI_SZ, multi.c_str(),
                        static_cast<DWORD>(multi.size() * sizeof(WCHAR)));
  orv_test::setStringValue(key(), widen("quotes"), widen("\"quoted\" and \"\""));
  orv_test::setStringValue(key(), widen("C:\\path\\with:colons"), widen("  padded  "));
  orv_test::setStringValue(key("sub"), widen("expand"), widen("%SystemRoot%\\x"), 0, REG_EXPAND_SZ);
  orv_test::setDwordValue(key("sub\\leaf"), widen("max"), 0xFFFFFFFF);
  ASSERT_TRUE(CORVRegistryKey(HKEY_CURRENT_USER, wideString(key("novalues").path), KEY_ALL_ACCESS, false, 0).create());

  const std::pair<RegistryPath, const char*> values[] = {
      {key(), "even"},
      {key(), "odd"},
      {key(), "zeroUnit"},
      {key(), "trailingZeros"},
      {key(), "oneZero"},
      {key(), "empty"},
      {key(), "multi"},
      {key(), "quotes"},
      {key(), "C:\\path\\with:colons"},
      {key("sub"), "expand"},
      {key("sub\\leaf"), "max"},
  };
  std::vector<std::pair<DWORD, Bytes>> before;
  for (const auto& v : values) before.push_back(valueOf(v.first, v.second));

  ASSERT_TRUE(exportKey()) << log_.all();
  orv_test::deleteKey(key());
  ASSERT_TRUE(importRegistryFromFile(file())) << log_.all();
  for (size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(valueOf(values[i].first, values[i].second), before[i]) << values[i].second;
  }
  EXPECT_FALSE(orv_test::keyExists(key("novalues"))) << "a key without values has no section";
}

TEST_F(RegistryFileTest, TheImportSkipsLinesNotOfTheExportsFormAndGoesOn) {
  writeFile(section() +
            "\r\n"
            "Count=REG_DWORD:1F\r\n"
            "Marked=REG_DWORD:0x0000001F\r\n"
            "Bad=REG_DWORD:xyz\r\n"
            "TooLong=REG_DWORD:123456789\r\n"
            "NoColon=REG_DWORD\r\n"
            "NoEquals\r\n"
            "Unknown=REG_WORD:1\r\n"
            "Lower=reg_dword:1\r\n"
            "Unquoted=REG_SZ:abc\r\n"
            "HalfQuoted=REG_SZ:\"abc\r\n"
            "Junk=REG_BINARY:zz 00\r\n"
            "OddCodes=REG_BINARY:41 4\r\n"
            "JunkMulti=REG_SZ_MULTI:61 00 00 00,xx\r\n"
            "NoElements=REG_SZ_MULTI:\r\n"
            "Expand=REG_SZ_EXPAND:\"%A%\"\r\n"
            "Empty=REG_SZ:\"\"\r\n"
            "[HKLM\\" +
            narrow(kMachineKey.path) +
            "]\r\n"
            "Short=REG_DWORD:2\r\n"
            "[hkey_current_user\\" +
            narrow(kMachineKey.path) +
            "\\lower]\r\n"
            "Case=REG_DWORD:3\r\n");
  EXPECT_FALSE(importRegistryFromFile(file())) << "lines were skipped";

  const DWORD thirtyOne = 31;
  const Bytes dword31(reinterpret_cast<const BYTE*>(&thirtyOne), reinterpret_cast<const BYTE*>(&thirtyOne) + 4);
  EXPECT_EQ(valueOf(key(), "Count"), std::make_pair(DWORD{REG_DWORD}, dword31));
  EXPECT_EQ(valueOf(key(), "Marked"), std::make_pair(DWORD{REG_DWORD}, dword31));
  for (const char* skipped :
       {"Bad", "TooLong", "NoColon", "NoEquals", "Unknown", "Lower", "Unquoted", "HalfQuoted", "Junk", "JunkMulti"})
    EXPECT_EQ(valueOf(key(), skipped).first, DWORD{REG_NONE}) << skipped;
  EXPECT_EQ(valueOf(key(), "OddCodes"), std::make_pair(DWORD{REG_BINARY}, Bytes{0x41}));
  EXPECT_EQ(valueOf(key(), "NoElements"), std::make_pair(DWORD{REG_MULTI_SZ}, Bytes{}));
  EXPECT_EQ(valueOf(key(), "Expand"), std::make_pair(DWORD{REG_EXPAND_SZ}, bytesOf(widen("%A%"))));
  EXPECT_EQ(valueOf(key(), "Empty").first, DWORD{REG_SZ});
  // Root names are exact; any other name is the local machine's.
  EXPECT_EQ(valueOf(kMachineKey, "Short").first, DWORD{REG_DWORD});
  EXPECT_EQ(valueOf({HKEY_LOCAL_MACHINE, kMachineKey.path + widen("\\lower")}, "Case").first, DWORD{REG_DWORD});
}

TEST_F(RegistryFileTest, AMissingFileIsAFailureAndAnEmptyOneIsNot) {
  EXPECT_FALSE(importRegistryFromFile(file()));
  EXPECT_NE(log_.all().find(narrow(fileName())), std::string::npos) << "the record names the file";
  writeFile("");
  EXPECT_TRUE(importRegistryFromFile(file()));
  writeFile(section("created") + "\r\n");
  EXPECT_TRUE(importRegistryFromFile(file()));
  EXPECT_TRUE(orv_test::keyExists(key("created"))) << "a section without lines still creates its key";
}

TEST_F(RegistryFileTest, EveryValueTheRegistryHoldsComesBackExactly) {
  const auto raw = [&](const RegistryPath& at, const char* name, DWORD type, const Bytes& data) {
    orv_test::setRawValue(at, widen(name), type, data.data(), static_cast<DWORD>(data.size()));
  };
  // A key whose only value is its default, and the default beside others.
  orv_test::setStringValue(key("classes\\.orv"), WString(), widen("OrvFile"));
  orv_test::setStringValue(key(), WString(), widen("top default"));
  raw(key(), "dword2", REG_DWORD, {1, 2});
  raw(key(), "dword8", REG_DWORD, {1, 2, 3, 4, 5, 6, 7, 8});
  raw(key(), "dwordBE", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1});
  raw(key(), "qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 0x80});
  raw(key(), "qword3", REG_QWORD, {1, 2, 3});
  raw(key(), "none", REG_NONE, {});
  raw(key(), "noneData", REG_NONE, {9, 8});
  raw(key(), "typeBig", 0x12345678, {0xFF});
  raw(key(), "zeroInside", REG_SZ, bytesOf(widen(std::string("a\0b", 3))));
  raw(key(), "noTerminator", REG_SZ, bytesOf(widen("abc"), false));
  raw(key(), "oddText", REG_SZ, {0x61, 0, 0x62});
  raw(key(), "emptyText", REG_SZ, {});
  raw(key(), "expandPlain", REG_EXPAND_SZ, bytesOf(widen("no percent")));
  raw(key(), "expandOne", REG_EXPAND_SZ, bytesOf(widen("50% off")));
  raw(key(), "lineBreak", REG_SZ, bytesOf(widen("one\r\ntwo")));
  raw(key(), "multiEmptyEntry", REG_MULTI_SZ, bytesOf(widen(std::string("a\0\0b\0", 5))));
  raw(key(), "multiOnlyEmpty", REG_MULTI_SZ, bytesOf(widen(std::string("\0", 1))));
  raw(key(), "multiOneZero", REG_MULTI_SZ, {0, 0});
  raw(key(), "multiUnended", REG_MULTI_SZ, bytesOf(widen("abc"), false));
  raw(key(), "multiNothing", REG_MULTI_SZ, {});
  raw(key(), "C:\\odd:name;x", REG_BINARY, {0, 0});

  std::vector<std::pair<RegistryPath, std::string>> where;
  where.push_back({key("classes\\.orv"), ""});
  for (const char* name : {"",
                           "dword2",
                           "dword8",
                           "dwordBE",
                           "qword",
                           "qword3",
                           "none",
                           "noneData",
                           "typeBig",
                           "zeroInside",
                           "noTerminator",
                           "oddText",
                           "emptyText",
                           "expandPlain",
                           "expandOne",
                           "lineBreak",
                           "multiEmptyEntry",
                           "multiOnlyEmpty",
                           "multiOneZero",
                           "multiUnended",
                           "multiNothing",
                           "C:\\odd:name;x"})
    where.push_back({key(), name});
  std::vector<std::pair<DWORD, Bytes>> before;
  for (const auto& w : where) before.push_back(valueOf(w.first, w.second));

  ASSERT_TRUE(exportKey()) << log_.all();
  orv_test::deleteKey(key());
  ASSERT_TRUE(importRegistryFromFile(file())) << log_.all();
  for (size_t i = 0; i < where.size(); ++i)
    EXPECT_EQ(valueOf(where[i].first, where[i].second), before[i]) << "value \"" << where[i].second << "\"";
}

TEST_F(RegistryFileTest, ANameThatWouldComeBackAsAnotherValueIsRefused) {
  orv_test::setStringValue(key(), WString(), widen("the default"));
  orv_test::setStringValue(key(), widen("\v"), widen("vertical tab"));
  EXPECT_FALSE(exportKey());
  orv_test::deleteKey(key());
  EXPECT_TRUE(importRegistryFromFile(file())) << log_.all();
  EXPECT_EQ(valueOf(key(), ""), std::make_pair(DWORD{REG_SZ}, bytesOf(widen("the default"))))
      << "the default value is not replaced";
}

TEST_F(RegistryFileTest, AFileThatIsNoRegistryTextFileIsRefusedAndCreatesNothing) {
  const std::string bodies[] = {
      std::string("\x7F"
                  "ELF\x02\x01\x01\0\0\0[HKEY_CURRENT_USER\\x]\n",
                  23),
      "[settings]\r\nwidth=10\r\n",
      "Windows Registry Editor Version 5.00\r\n\r\n" + section() + "\r\n\"v\"=dword:00000001\r\n",
      "v=REG_DWORD:1\r\n" + section() + "\r\n",
  };
  for (const std::string& body : bodies) {
    writeFile(body);
    EXPECT_FALSE(importRegistryFromFile(file())) << body;
    EXPECT_FALSE(orv_test::keyExists(key())) << body;
  }
  EXPECT_NE(log_.all().find("not a registry text file"), std::string::npos) << log_.all();
}

TEST_F(RegistryFileTest, TheImportReadsUtf16AndEveryLineEnd) {
  const std::string text = section() + "\n=REG_SZ:\"d\"\rb=REG_DWORD:0x2\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char c : text) utf16 += std::string{c, '\0'};
  writeFile(utf16);
  EXPECT_TRUE(importRegistryFromFile(file())) << log_.all();
  EXPECT_EQ(valueOf(key(), ""), std::make_pair(DWORD{REG_SZ}, bytesOf(widen("d"))));
  EXPECT_EQ(valueOf(key(), "b").first, DWORD{REG_DWORD});
}

TEST_F(RegistryFileTest, ReplacingTheFileKeepsTheOldOneUntilTheNewOneIsWhole) {
  writeFile("old backup\r\n");
  orv_test::setDwordValue(key(), widen("v"), 1);
  ASSERT_TRUE(CORVRegistryKey(HKEY_CURRENT_USER, wideString(key().path), KEY_ALL_ACCESS, false, 0)
                  .save(file(), CORVRegistryKey::kSaveFormatText, true));
  EXPECT_EQ(fileLines(), (std::vector<std::string>{section(), "v=REG_DWORD:0x00000001"}));
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(registry_.folder().path()))
    if (entry.path().filename().string().rfind("export.ini", 0) == 0) ++files;
  EXPECT_EQ(files, 1u) << "no temporary file is left beside it";
}

TEST_F(RegistryFileTest, LargeValuesMakeAFileOfMoreThanSixteenMegabytesThatComesBack) {
  Bytes big(1u << 20);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<BYTE>(i * 7 + 3);
  for (int i = 0; i < 7; ++i) {
    big[0] = static_cast<BYTE>(i);
    orv_test::setRawValue(key(), widen("big" + std::to_string(i)), REG_BINARY, big.data(),
                          static_cast<DWORD>(big.size()));
  }
  ASSERT_TRUE(exportKey()) << log_.all();
  EXPECT_GT(std::filesystem::file_size(filePath()), 20u << 20);
  orv_test::deleteKey(key());
  ASSERT_TRUE(importRegistryFromFile(file())) << log_.all();
  for (int i = 0; i < 7; ++i) {
    big[0] = static_cast<BYTE>(i);
    EXPECT_EQ(valueOf(key(), "big" + std::to_string(i)), std::make_pair(DWORD{REG_BINARY}, big)) << i;
  }
}

}  // namespace
