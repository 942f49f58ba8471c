// The typed registry values against a registry of the test's own: caches,
// the 520-byte string read, create-if-missing, write failures, the
// expandable string's rules, the multi-string layout and the enumerations.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "orv_registry_binary.h"
#include "orv_registry_dword.h"
#include "orv_registry_expand.h"
#include "orv_registry_multi_string.h"
#include "orv_registry_string.h"
#include "registry_test_support.h"

namespace {

using orv_test::CapturedLog;
using orv_test::listOf;
using orv_test::namesOf;
using orv_test::RegistryPath;
using orv_test::ScratchRegistry;
using orv_test::textOf;
using orv_test::widen;
using orv_test::wideString;
using orv_test::WString;

std::vector<BYTE> bytesOf(const CORVBuffer<BYTE>& buffer) {
  return std::vector<BYTE>(buffer.getBuffer(), buffer.getBuffer() + buffer.getNumElems());
}

class RegistryValueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CORVRegistryKey(HKEY_CURRENT_USER, keyPath(), KEY_ALL_ACCESS, false, 0).create());
  }
  CORVWCharString keyPath() const { return CORVWCharString(registry_.userKey().path.c_str()); }

  std::vector<BYTE> stored(const std::string& name, DWORD expectedType) {
    DWORD type = 0;
    std::vector<BYTE> data;
    EXPECT_TRUE(orv_test::getRawValue(registry_.userKey(), widen(name), type, data)) << name;
    EXPECT_EQ(type, expectedType) << name;
    return data;
  }

  ScratchRegistry registry_;
  CapturedLog log_;
};

TEST_F(RegistryValueTest, AStringAnswersFromItsCacheOnlyAfterSetValue) {
  orv_test::setStringValue(registry_.userKey(), widen("Name"), widen("first"));
  CORVRegistryString value(HKEY_CURRENT_USER, keyPath(), ORV_W("Name"), KEY_ALL_ACCESS, false, 0);
  CORVWCharString out;
  ASSERT_TRUE(value.getValue(out, true));
  EXPECT_EQ(textOf(out), "first");
  orv_test::setStringValue(registry_.userKey(), widen("Name"), widen("second"));
  ASSERT_TRUE(value.getValue(out, true));
  EXPECT_EQ(textOf(out), "second") << "a read does not make the cache valid";

  ASSERT_TRUE(value.setValue(wideString("mine"), false));
  orv_test::setStringValue(registry_.userKey(), widen("Name"), widen("theirs"));
  ASSERT_TRUE(value.getValue(out, true));
  EXPECT_EQ(textOf(out), "mine");
  ASSERT_TRUE(value.getValue(out, false));
  EXPECT_EQ(textOf(out), "theirs");
  EXPECT_FALSE(value.isOpen());
}

TEST_F(RegistryValueTest, ADwordAnswersFromItsCacheAfterARead) {
  orv_test::setDwordValue(registry_.userKey(), widen("Count"), 1);
  CORVRegistryDword value(HKEY_CURRENT_USER, keyPath(), ORV_W("Count"), KEY_READ, false, 0);
  DWORD out = 0;
  ASSERT_TRUE(value.getValue(out, true));
  EXPECT_EQ(out, 1u);
  orv_test::setDwordValue(registry_.userKey(), widen("Count"), 2);
  ASSERT_TRUE(value.getValue(out, true));
  EXPECT_EQ(out, 1u);
  ASSERT_TRUE(value.getValue(out, false));
  EXPECT_EQ(out, 2u);
}

TEST_F(RegistryValueTest, CacheOnlySetsWriteNothing) {
  CORVRegistryDword value(HKEY_CURRENT_USER, keyPath(), ORV_W("Count"), KEY_ALL_ACCESS, false, 0);
  EXPECT_TRUE(value.setValue(5, true));
  DWORD out = 0;
  EXPECT_FALSE(value.getValue(out, true)) << "the cache is not valid: it went nowhere";
  DWORD type = 0;
  std::vector<BYTE> data;
  EXPECT_FALSE(orv_test::getRawValue(registry_.userKey(), widen("Count"), type, data));
}

TEST_F(RegistryValueTest, AStringReadTakesAtMost520Bytes) {
  enum Outcome { kRead, kRefused, kReadOrRefused };
  struct Case {
    const char* name;
    WString stored;
    bool terminated;
    Outcome outcome;
  };
  // A text that fills the buffer without a terminator is read whole here and
  // refused by Wine; either way no more than 260 characters come back.
  const Case cases[] = {
      {"259 characters and the terminator", WString(259, 'x'), true, kRead},
      {"260 characters and the terminator", WString(260, 'x'), true, kRefused},
      {"260 characters without terminator", WString(260, 'x'), false, kReadOrRefused},
  };
  for (const Case& c : cases) {
    CORVRegistryString value(HKEY_CURRENT_USER, keyPath(), ORV_W("Long"), KEY_ALL_ACCESS, false, 0);
    ASSERT_TRUE(value.setValue(wideString("before"), false));
    const DWORD bytes = static_cast<DWORD>((c.stored.size() + (c.terminated ? 1 : 0)) * sizeof(WCHAR));
    orv_test::setRawValue(registry_.userKey(), widen("Long"), REG_SZ, c.stored.c_str(), bytes);
    const bool read = value.readRegistry();
    if (c.outcome != kReadOrRefused) {
      EXPECT_EQ(read, c.outcome == kRead) << c.name;
    }
    EXPECT_FALSE(value.isOpen()) << c.name;
    CORVWCharString out;
    ASSERT_TRUE(value.getValue(out, true)) << c.name;
    EXPECT_EQ(textOf(out), read ? orv_test::narrow(c.stored) : "before") << c.name;
  }
  EXPECT_EQ(log_.all(), "") << "a value too long to read is no exception";
}

TEST_F(RegistryValueTest, ReadsOfAMissingValueFailQuietly) {
  orv_test::setDwordValue(registry_.userKey(), widen("Other"), 1);
  CORVRegistryString string(HKEY_CURRENT_USER, keyPath(), ORV_W("Missing"), KEY_READ, false, 0);
  CORVRegistryDword dword(HKEY_CURRENT_USER, keyPath(), ORV_W("Missing"), KEY_READ, false, 0);
  CORVRegistryString noKey(HKEY_CURRENT_USER, ORV_W("Software\\OrvTest\\NoSuchKey"), ORV_W("Missing"), KEY_READ, false,
                           0);
  CORVWCharString out(ORV_W("kept"));
  DWORD number = 7;
  EXPECT_FALSE(string.getValue(out, false));
  EXPECT_FALSE(noKey.getValue(out, false));
  EXPECT_FALSE(dword.getValue(number, false));
  EXPECT_EQ(textOf(out), "kept");
  EXPECT_EQ(number, 7u);
  EXPECT_EQ(log_.all(), "");
}

// Each type created when missing, with its empty data; the key too.
TEST_F(RegistryValueTest, CreateIfMissingWritesEachTypesEmptyValue) {
  struct Case {
    const char* type;
    std::function<std::unique_ptr<CORVRegistryValue>(const CORVWCharString&, const CORVWCharString&)> make;
    DWORD registryType;
    std::vector<BYTE> data;
  };
  const Case cases[] = {
      {"string",
       [](const CORVWCharString& key, const CORVWCharString& name) {
         return std::make_unique<CORVRegistryString>(HKEY_CURRENT_USER, key, name, KEY_ALL_ACCESS, true, 0);
       },
       REG_SZ,
       {}},
      {"dword",
       [](const CORVWCharString& key, const CORVWCharString& name) {
         return std::make_unique<CORVRegistryDword>(HKEY_CURRENT_USER, key, name, KEY_ALL_ACCESS, true, 0);
       },
       REG_DWORD,
       {0, 0, 0, 0}},
      {"binary",
       [](const CORVWCharString& key, const CORVWCharString& name) {
         return std::make_unique<CORVRegistryBinary>(HKEY_CURRENT_USER, key, name, KEY_ALL_ACCESS, true, 0);
       },
       REG_BINARY,
       {}},
      {"multi-string",
       [](const CORVWCharString& key, const CORVWCharString& name) {
         return std::make_unique<CORVRegistryMultiString>(HKEY_CURRENT_USER, key, name, KEY_ALL_ACCESS, true, 0);
       },
       REG_MULTI_SZ,
       {}},
  };
  for (const Case& c : cases) {
    const RegistryPath key = registry_.userSubKey(c.type);
    std::unique_ptr<CORVRegistryValue> value = c.make(CORVWCharString(key.path.c_str()), ORV_W("Created"));
    EXPECT_TRUE(value->readRegistry()) << c.type;
    EXPECT_FALSE(value->isOpen()) << c.type;
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(orv_test::getRawValue(key, widen("Created"), type, data)) << c.type;
    EXPECT_EQ(type, c.registryType) << c.type;
    EXPECT_EQ(data, c.data) << c.type;
  }
  CORVRegistryDword dword(HKEY_CURRENT_USER, keyPath(), ORV_W("Zero"), KEY_ALL_ACCESS, true, 0);
  DWORD out = 9;
  EXPECT_TRUE(dword.getValue(out, false));
  EXPECT_EQ(out, 0u);
  EXPECT_EQ(log_.all(), "");
}

// An empty text holds no '%', so an expandable value cannot be made empty.
TEST_F(RegistryValueTest, AnExpandableStringIsNotCreatedEmpty) {
  CORVRegistryStringExpand value(HKEY_CURRENT_USER, keyPath(), ORV_W("Path"), KEY_ALL_ACCESS, true, 0);
  EXPECT_FALSE(value.readRegistry());
  DWORD type = 0;
  std::vector<BYTE> data;
  EXPECT_FALSE(orv_test::getRawValue(registry_.userKey(), widen("Path"), type, data));
  EXPECT_EQ(log_.linesWith({"value doesn't represent an expandable value which is required"}).size(), 1u) << log_.all();
}

TEST_F(RegistryValueTest, WritesStoreTheTerminatorAndAnEmptyStringAsNoBytes) {
  CORVRegistryString value(HKEY_CURRENT_USER, keyPath(), ORV_W("Name"), KEY_ALL_ACCESS, false, 0);
  ASSERT_TRUE(value.setValue(wideString("abc"), false));
  EXPECT_EQ(stored("Name", REG_SZ), (std::vector<BYTE>{'a', 0, 'b', 0, 'c', 0, 0, 0}));
  ASSERT_TRUE(value.setValue(CORVWCharString(), false));
  EXPECT_EQ(stored("Name", REG_SZ), std::vector<BYTE>());

  CORVRegistryBinary binary(HKEY_CURRENT_USER, keyPath(), ORV_W("Bytes"), KEY_ALL_ACCESS, false, 0);
  const BYTE bytes[] = {0, 1, 0, 0xFF, 7};
  ASSERT_TRUE(binary.setValue(CORVBuffer<BYTE>(bytes, sizeof(bytes)), false));
  EXPECT_EQ(stored("Bytes", REG_BINARY), (std::vector<BYTE>(bytes, bytes + sizeof(bytes))));
  CORVRegistryBinary reread(HKEY_CURRENT_USER, keyPath(), ORV_W("Bytes"), KEY_READ, false, 0);
  CORVBuffer<BYTE> out;
  ASSERT_TRUE(reread.getValue(out, true));
  EXPECT_EQ(bytesOf(out), (std::vector<BYTE>(bytes, bytes + sizeof(bytes))));
}

// A failed write logs the class's own record and leaves the cache invalid.
TEST_F(RegistryValueTest, AFailedWriteNamesItsClassAndKeepsTheCacheInvalid) {
  orv_test::setDwordValue(registry_.userKey(), widen("Other"), 1);
  struct Case {
    const char* className;
    std::function<bool(const CORVWCharString&)> write;
  };
  const Case cases[] = {
      {"CORVRegistryValue",
       [](const CORVWCharString& key) {
         return CORVRegistryString(HKEY_CURRENT_USER, key, ORV_W("V"), KEY_READ, false, 0).setValue(ORV_W("x"), false);
       }},
      {"CORVRegistryStringExpand",
       [](const CORVWCharString& key) {
         return CORVRegistryStringExpand(HKEY_CURRENT_USER, key, ORV_W("V"), KEY_READ, false, 0)
             .setValue(ORV_W("%x%"), false);
       }},
      {"CORVRegistryDword",
       [](const CORVWCharString& key) {
         return CORVRegistryDword(HKEY_CURRENT_USER, key, ORV_W("V"), KEY_READ, false, 0).setValue(1, false);
       }},
      {"CORVRegistryBinary",
       [](const CORVWCharString& key) {
         return CORVRegistryBinary(HKEY_CURRENT_USER, key, ORV_W("V"), KEY_READ, false, 0)
             .setValue(CORVBuffer<BYTE>(1), false);
       }},
      {"CORVRegistryMultiString",
       [](const CORVWCharString& key) {
         return CORVRegistryMultiString(HKEY_CURRENT_USER, key, ORV_W("V"), KEY_READ, false, 0)
             .setValue(listOf({"a"}), false);
       }},
  };
  const std::string message =
      "Unable to Set registry value ( \"" + orv_test::narrow(registry_.userKey().path) + "\\V\" )";
  for (const Case& c : cases) {
    EXPECT_FALSE(c.write(keyPath())) << c.className;
    EXPECT_EQ(log_.linesWith({message, c.className, "writeRegistry"}).size(), 1u) << c.className << "\n" << log_.all();
  }

  orv_test::setDwordValue(registry_.userKey(), widen("V"), 3);
  CORVRegistryDword readOnly(HKEY_CURRENT_USER, keyPath(), ORV_W("V"), KEY_READ, false, 0);
  EXPECT_FALSE(readOnly.setValue(4, false));
  DWORD out = 0;
  ASSERT_TRUE(readOnly.getValue(out, true));
  EXPECT_EQ(out, 3u) << "the failed write did not make the cache valid";
}

TEST_F(RegistryValueTest, AnExpandableStringNeedsAnEvenNumberOfPercentSigns) {
  struct Case {
    const char* text;
    bool written;
  };
  const Case cases[] = {{"plain", false}, {"%a%b%", false}, {"%", false}, {"%TEMP%\\x", true}, {"%a%%b%", true}};
  for (const Case& c : cases) {
    CORVRegistryStringExpand value(HKEY_CURRENT_USER, keyPath(), ORV_W("Path"), KEY_ALL_ACCESS, false, 0);
    EXPECT_EQ(value.setValue(wideString(c.text), false), c.written) << c.text;
    if (c.written) {
      const std::vector<BYTE> data = stored("Path", REG_EXPAND_SZ);
      EXPECT_EQ(data.size(), (std::string(c.text).size() + 1) * 2) << c.text;
    }
  }
  EXPECT_EQ(log_.linesWith({"A bad argument was provided ( m_szRegStringCache ). value doesn't represent an "
                            "expandable value which is required"})
                .size(),
            3u)
      << log_.all();
}

TEST_F(RegistryValueTest, ExpansionReplacesSetVariablesOnly) {
  ASSERT_TRUE(SetEnvironmentVariableW(ORV_W("ORV_TEST_EXPAND"), ORV_W("xyz")));
  ASSERT_TRUE(SetEnvironmentVariableW(ORV_W("ORV_TEST_UNSET"), nullptr));
  orv_test::setStringValue(registry_.userKey(), widen("Path"), widen("a%ORV_TEST_EXPAND%b%ORV_TEST_UNSET%"), 0,
                           REG_EXPAND_SZ);
  CORVRegistryStringExpand value(HKEY_CURRENT_USER, keyPath(), ORV_W("Path"), KEY_READ, false, 0);
  CORVWCharString out;
  ASSERT_TRUE(value.getValue(out, false, true));
  EXPECT_EQ(textOf(out), "axyzb%ORV_TEST_UNSET%");
  ASSERT_TRUE(value.getValue(out, false, false));
  EXPECT_EQ(textOf(out), "a%ORV_TEST_EXPAND%b%ORV_TEST_UNSET%");

  CORVWCharString expanded;
  EXPECT_TRUE(CORVRegistryStringExpand::expand(CORVWCharString(), expanded));
  EXPECT_EQ(expanded.getLength(), 0u);
  SetEnvironmentVariableW(ORV_W("ORV_TEST_EXPAND"), nullptr);
}

TEST_F(RegistryValueTest, AMultiStringIsWrittenInTheRegistryLayoutAndReadBack) {
  CORVRegistryMultiString value(HKEY_CURRENT_USER, keyPath(), ORV_W("List"), KEY_ALL_ACCESS, false, 0);
  ASSERT_TRUE(value.setValue(listOf({"a", "bc"}), false));
  EXPECT_EQ(stored("List", REG_MULTI_SZ), (std::vector<BYTE>{'a', 0, 0, 0, 'b', 0, 'c', 0, 0, 0, 0, 0}));

  CORVRegistryMultiString reread(HKEY_CURRENT_USER, keyPath(), ORV_W("List"), KEY_READ, false, 0);
  CORVWCharStringList out;
  ASSERT_TRUE(reread.getValue(out, true));
  EXPECT_TRUE(out == listOf({"a", "bc"})) << namesOf(out);
  EXPECT_FALSE(reread.isOpen());

  ASSERT_TRUE(value.setValue(CORVWCharStringList(), false));
  EXPECT_EQ(stored("List", REG_MULTI_SZ), std::vector<BYTE>());
  ASSERT_TRUE(reread.getValue(out, false));
  EXPECT_EQ(out.getCount(), 0u);
}

TEST(RegistryMultiStringLayout, EmptyElementsAreSkippedWhenWritten) {
  CORVWCharStringList list = listOf({"", "a", ""});
  CORVBuffer<BYTE> bytes;
  ASSERT_TRUE(CORVRegistryMultiString::toBytes(list, bytes));
  EXPECT_EQ(bytesOf(bytes), (std::vector<BYTE>{'a', 0, 0, 0, 0, 0}));
}

TEST(RegistryMultiStringLayout, ParsingStopsAtAnEmptyStringOrTheEndOfTheData) {
  struct Case {
    const char* name;
    std::vector<BYTE> data;
    std::vector<const char*> strings;
  };
  const Case cases[] = {
      {"no data", {}, {}},
      {"only the closing 0", {0, 0}, {}},
      {"one string without the closing 0", {'a', 0, 0, 0}, {"a"}},
      {"the last string unterminated", {'a', 0, 0, 0, 'b', 0}, {"a", "b"}},
      {"an odd last byte", {'a', 0, 0, 0, 'b'}, {"a", "b"}},
      {"data after the closing 0", {'a', 0, 0, 0, 0, 0, 'b', 0, 0, 0}, {"a"}},
  };
  for (const Case& c : cases) {
    CORVWCharStringList list = listOf({"stale"});
    CORVBuffer<BYTE> data(c.data.empty() ? nullptr : c.data.data(), static_cast<ULONG>(c.data.size()));
    ASSERT_TRUE(CORVRegistryMultiString::fromBytes(data, list)) << c.name;
    CORVWCharStringList expected;
    INT tag = 0;
    for (const char* string : c.strings) expected.addTail(wideString(string), tag++);
    EXPECT_TRUE(list == expected) << c.name << ": " << namesOf(list);
  }
}

TEST_F(RegistryValueTest, EachClassEnumeratesTheValuesOfItsType) {
  // Names in alphabetical order: Wine lists values sorted, Windows as created.
  const RegistryPath& key = registry_.userKey();
  const BYTE shortDword[] = {5, 0};
  const BYTE multi[] = {'x', 0, 0, 0, 0, 0};
  orv_test::setRawValue(key, widen("a-binary"), REG_BINARY, multi, 3);
  orv_test::setDwordValue(key, widen("b-dword"), 42);
  orv_test::setStringValue(key, widen("c-expand"), widen("%ORV_TEST_ENUM%!"), 0, REG_EXPAND_SZ);
  orv_test::setRawValue(key, widen("d-multi"), REG_MULTI_SZ, multi, sizeof(multi));
  orv_test::setRawValue(key, widen("e-short-dword"), REG_DWORD, shortDword, sizeof(shortDword));
  orv_test::setStringValue(key, widen("f-string"), widen("text"));
  orv_test::setStringValue(key, widen("g-string"), widen("more"));
  ASSERT_TRUE(SetEnvironmentVariableW(ORV_W("ORV_TEST_ENUM"), ORV_W("set")));

  CORVRegistryDword dwords(HKEY_CURRENT_USER, keyPath(), ORV_W(""), KEY_READ, false, 0);
  CORVRegistryDwordValueList dwordList;
  ASSERT_TRUE(dwords.enumValues(dwordList));
  CORVRegistryDwordValueList expectedDwords;
  expectedDwords.addTail({wideString("b-dword"), 42}, 0);
  expectedDwords.addTail({wideString("e-short-dword"), 0}, 1);
  EXPECT_TRUE(dwordList == expectedDwords);

  CORVRegistryString strings(HKEY_CURRENT_USER, keyPath(), ORV_W(""), KEY_READ, false, 0);
  CORVRegistryStringValueList stringList;
  ASSERT_TRUE(strings.enumValues(stringList));
  CORVRegistryStringValueList expectedStrings;
  expectedStrings.addTail({wideString("f-string"), wideString("text")}, 0);
  expectedStrings.addTail({wideString("g-string"), wideString("more")}, 1);
  EXPECT_TRUE(stringList == expectedStrings);

  CORVRegistryStringExpand expands(HKEY_CURRENT_USER, keyPath(), ORV_W(""), KEY_READ, false, 0);
  CORVRegistryStringValueList expandList;
  ASSERT_TRUE(expands.enumValues(expandList, true));
  CORVRegistryStringValueList expectedExpands;
  expectedExpands.addTail({wideString("c-expand"), wideString("set!")}, 0);
  EXPECT_TRUE(expandList == expectedExpands);
  ASSERT_TRUE(expands.enumValues(expandList, false));
  expectedExpands.clear();
  expectedExpands.addTail({wideString("c-expand"), wideString("%ORV_TEST_ENUM%!")}, 0);
  EXPECT_TRUE(expandList == expectedExpands);

  CORVRegistryBinary binaries(HKEY_CURRENT_USER, keyPath(), ORV_W(""), KEY_READ, false, 0);
  CORVRegistryBinaryValueList binaryList;
  ASSERT_TRUE(binaries.enumValues(binaryList));
  CORVRegistryBinaryValueList expectedBinaries;
  expectedBinaries.addTail({wideString("a-binary"), CORVBuffer<BYTE>(multi, 3)}, 0);
  EXPECT_TRUE(binaryList == expectedBinaries);

  CORVRegistryMultiString multis(HKEY_CURRENT_USER, keyPath(), ORV_W(""), KEY_READ, false, 0);
  CORVRegistryMultiStringValueList multiList;
  ASSERT_TRUE(multis.enumValues(multiList));
  CORVRegistryMultiStringValueList expectedMultis;
  expectedMultis.addTail({wideString("d-multi"), listOf({"x"})}, 0);
  EXPECT_TRUE(multiList == expectedMultis);
  EXPECT_FALSE(multis.isOpen());

  CORVRegistryDword missing(HKEY_CURRENT_USER, ORV_W("Software\\OrvTest\\NoSuchKey"), ORV_W(""), KEY_READ, false, 0);
  EXPECT_FALSE(missing.enumValues(dwordList));
  EXPECT_EQ(dwordList.getCount(), 0u);
  SetEnvironmentVariableW(ORV_W("ORV_TEST_ENUM"), nullptr);
}

}  // namespace
