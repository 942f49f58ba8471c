// The registry calls as Windows gives them. The same cases run against the
// real registry in the Windows build (under Wine), each in a throw-away key
// HKEY_CURRENT_USER\Software\OrvTest\<random> that is deleted afterwards.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "orv_win32.h"
#include "test_text.h"
#include "wine_check.h"

namespace {

using orv_test::narrow;
using orv_test::widen;
using orv_test::WString;

// Wine keeps a key's values sorted by name; Windows and this registry keep
// them in the order they were created.
using orv_test::runsOnWine;

DWORD queryDword(HKEY key, const WCHAR* name) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  EXPECT_EQ(RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
  return value;
}

LONG setDword(HKEY key, const WCHAR* name, DWORD value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LONG setString(HKEY key, const WCHAR* name, const WString& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

// Every name an enumeration call gives, index by index, until it says
// ERROR_NO_MORE_ITEMS.
template <typename Enumerate>
std::vector<std::string> namesOf(Enumerate&& enumerate) {
  std::vector<std::string> names;
  WCHAR name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;
    const LONG status = enumerate(index, name, &length);
    if (status != ERROR_SUCCESS) {
      EXPECT_EQ(status, ERROR_NO_MORE_ITEMS);
      return names;
    }
    names.push_back(narrow(name));
  }
}

std::vector<std::string> subKeyNames(HKEY key) {
  return namesOf([key](DWORD index, WCHAR* name, DWORD* length) {
    return RegEnumKeyExW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
  });
}

std::vector<std::string> valueNames(HKEY key) {
  return namesOf([key](DWORD index, WCHAR* name, DWORD* length) {
    return RegEnumValueW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
  });
}

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    path_ = widen("Software\\OrvTest\\" + std::to_string(random()) + std::to_string(random()));
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(key_);
    EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()), ERROR_SUCCESS);
  }

  HKEY create(const WCHAR* subKey, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(key_, subKey, 0, nullptr, 0, access, nullptr, &key, nullptr), ERROR_SUCCESS);
    return key;
  }
  HKEY openSelf(REGSAM access) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, access, &key), ERROR_SUCCESS);
    return key;
  }

  WString path_;
  HKEY key_ = nullptr;
};

TEST_F(Registry, OpeningAMissingKeyFailsAndCreatesNothing) {
  HKEY key = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExW(key_, ORV_W("Missing\\Deeper"), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(RegOpenKeyExW(key_, ORV_W("Missing"), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(subKeyNames(key_).empty());
}

TEST_F(Registry, CreateMakesEveryMissingLevelAndReportsWhetherItDid) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(key_, ORV_W("One\\Two\\Three"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExW(key_, ORV_W("ONE\\two\\Three"), 0, nullptr, 0, KEY_READ, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  RegCloseKey(key);
  EXPECT_EQ(subKeyNames(key_), std::vector<std::string>{"One"});
}

TEST_F(Registry, PathsTakeBackslashesAndRefuseALeadingOne) {
  RegCloseKey(create(ORV_W("A\\B")));
  struct Case {
    const char* path;
    LONG status;
  };
  const Case cases[] = {
      {"A\\B", ERROR_SUCCESS},        {"a\\b", ERROR_SUCCESS},        {"A\\B\\", ERROR_SUCCESS},
      {"A\\\\B", ERROR_SUCCESS},      {"\\A\\B", ERROR_BAD_PATHNAME}, {"A/B", ERROR_FILE_NOT_FOUND},
      {"A\\C", ERROR_FILE_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(key_, widen(c.path).c_str(), 0, KEY_READ, &key), c.status);
    if (key != nullptr) {
      EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    }
  }
}

TEST_F(Registry, QueryReportsTypeAndSizeAndRefusesASmallBuffer) {
  const WString text = ORV_W("hello");
  ASSERT_EQ(setString(key_, ORV_W("Text"), text), ERROR_SUCCESS);
  const DWORD stored = static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR));
  struct Case {
    const char* name;
    bool withBuffer;
    DWORD size;
    LONG status;
  };
  const Case cases[] = {
      {"no buffer", false, 0, ERROR_SUCCESS},
      {"no buffer, a size given", false, 100, ERROR_SUCCESS},
      {"one byte short", true, stored - 1, ERROR_MORE_DATA},
      {"empty buffer", true, 0, ERROR_MORE_DATA},
      {"exact", true, stored, ERROR_SUCCESS},
      {"larger", true, 64, ERROR_SUCCESS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BYTE buffer[64] = {};
    DWORD type = 99;
    DWORD size = c.size;
    EXPECT_EQ(RegQueryValueExW(key_, ORV_W("text"), nullptr, &type, c.withBuffer ? buffer : nullptr, &size), c.status);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, stored);
    if (c.status == ERROR_SUCCESS && c.withBuffer) {
      EXPECT_EQ(std::memcmp(buffer, text.c_str(), stored), 0);
    }
  }
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key_, ORV_W("Text"), nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key_, ORV_W("Missing"), nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  BYTE buffer[4];
  EXPECT_EQ(RegQueryValueExW(key_, ORV_W("Text"), nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryValueExW(key_, ORV_W("Text"), &reserved, nullptr, nullptr, &size), ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, TheTypeIsStoredAsGivenWhateverTheData) {
  const BYTE two[2] = {1, 2};
  ASSERT_EQ(RegSetValueExW(key_, ORV_W("Short"), 0, REG_DWORD, two, sizeof(two)), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key_, ORV_W("Odd"), 0, 0x12345u, two, sizeof(two)), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key_, ORV_W("Empty"), 0, REG_MULTI_SZ, nullptr, 0), ERROR_SUCCESS);
  struct Case {
    const char* name;
    DWORD type;
    DWORD size;
  };
  const Case cases[] = {{"Short", REG_DWORD, 2}, {"Odd", 0x12345u, 2}, {"Empty", REG_MULTI_SZ, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key_, widen(c.name).c_str(), nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(size, c.size);
  }
  EXPECT_EQ(RegSetValueExW(key_, ORV_W("NoData"), 0, REG_BINARY, nullptr, 3), ERROR_NOACCESS);
}

TEST_F(Registry, NamesIgnoreCaseAndKeepTheCaseTheyWereCreatedWith) {
  ASSERT_EQ(setDword(key_, ORV_W("MixedCase"), 1), ERROR_SUCCESS);
  ASSERT_EQ(setDword(key_, ORV_W("MIXEDCASE"), 2), ERROR_SUCCESS);
  EXPECT_EQ(queryDword(key_, ORV_W("mixedcase")), 2u);
  EXPECT_EQ(valueNames(key_), std::vector<std::string>{"MixedCase"});

  RegCloseKey(create(ORV_W("KeyCase")));
  DWORD disposition = 0;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(key_, ORV_W("KEYCASE"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  RegCloseKey(key);
  EXPECT_EQ(subKeyNames(key_), std::vector<std::string>{"KeyCase"});
}

TEST_F(Registry, TheEmptyNameIsTheDefaultValue) {
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key_, nullptr, nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(setDword(key_, nullptr, 7), ERROR_SUCCESS);
  EXPECT_EQ(queryDword(key_, ORV_W("")), 7u);
  ASSERT_EQ(setDword(key_, ORV_W(""), 8), ERROR_SUCCESS);
  EXPECT_EQ(queryDword(key_, nullptr), 8u);
  EXPECT_EQ(valueNames(key_), std::vector<std::string>{""});
  EXPECT_EQ(RegDeleteValueW(key_, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key_, ORV_W(""), nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, SubkeysEnumerateInCaseInsensitiveOrder) {
  for (const char* name : {"zeta", "Alpha", "mid", "beta", "Z", "b0"}) RegCloseKey(create(widen(name).c_str()));
  EXPECT_EQ(subKeyNames(key_), (std::vector<std::string>{"Alpha", "b0", "beta", "mid", "Z", "zeta"}));
}

TEST_F(Registry, ValuesEnumerateInCreationOrderAndKeepTheirPlaceWhenSet) {
  for (const char* name : {"zeta", "Alpha", "mid"}) ASSERT_EQ(setDword(key_, widen(name).c_str(), 1), ERROR_SUCCESS);
  ASSERT_EQ(setDword(key_, ORV_W("ZETA"), 2), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueW(key_, ORV_W("mid")), ERROR_SUCCESS);
  ASSERT_EQ(setDword(key_, ORV_W("Beta"), 3), ERROR_SUCCESS);
  const std::vector<std::string> expected = runsOnWine() ? std::vector<std::string>{"Alpha", "Beta", "zeta"}
                                                         : std::vector<std::string>{"zeta", "Alpha", "Beta"};
  EXPECT_EQ(valueNames(key_), expected);
  EXPECT_EQ(queryDword(key_, ORV_W("Zeta")), 2u);
}

TEST_F(Registry, QueryInfoReportsCountsLongestNamesAndLargestData) {
  RegCloseKey(create(ORV_W("Short")));
  RegCloseKey(create(ORV_W("MuchLongerName")));
  RegCloseKey(create(ORV_W("MuchLongerName\\EvenLongerNameBelow")));
  ASSERT_EQ(setDword(key_, ORV_W("ValueName"), 1), ERROR_SUCCESS);
  ASSERT_EQ(setString(key_, ORV_W("V"), ORV_W("twelve chars")), ERROR_SUCCESS);
  DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxData = 0;
  FILETIME written{};
  ASSERT_EQ(RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values, &maxValueName,
                             &maxData, nullptr, &written),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 2u);
  EXPECT_EQ(maxSubKey, 14u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(maxValueName, 9u);
  EXPECT_EQ(maxData, 26u);
  EXPECT_NE(written.dwHighDateTime, 0u);

  HKEY empty = create(ORV_W("Empty"));
  ASSERT_EQ(RegQueryInfoKeyW(empty, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values, &maxValueName,
                             &maxData, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys + maxSubKey + values + maxValueName + maxData, 0u);
  RegCloseKey(empty);
}

TEST_F(Registry, TheAccessMaskIsHonoured) {
  ASSERT_EQ(setDword(key_, ORV_W("Value"), 5), ERROR_SUCCESS);
  RegCloseKey(create(ORV_W("Sub")));
  HKEY reader = openSelf(KEY_READ);
  HKEY writer = openSelf(KEY_SET_VALUE);
  HKEY valuesOnly = openSelf(KEY_QUERY_VALUE);
  DWORD value = 1;
  DWORD size = sizeof(value);
  WCHAR name[16];
  DWORD length = 16;
  EXPECT_EQ(setDword(reader, ORV_W("Value"), 6), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueW(reader, ORV_W("Value")), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegQueryValueExW(writer, ORV_W("Value"), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegEnumKeyExW(valuesOnly, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(setDword(writer, ORV_W("Value"), 6), ERROR_SUCCESS);
  EXPECT_EQ(queryDword(reader, ORV_W("Value")), 6u);
  for (HKEY key : {reader, writer, valuesOnly}) RegCloseKey(key);

  // Both registry views reach the same value.
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    HKEY key = openSelf(KEY_READ | view);
    EXPECT_EQ(queryDword(key, ORV_W("Value")), 6u);
    RegCloseKey(key);
  }
}

TEST_F(Registry, HandlesAreCheckedAndThePredefinedRootsNeverClose) {
  HKEY key = openSelf(KEY_READ);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExW(key, ORV_W("Value"), nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExW(reinterpret_cast<HKEY>(0x1234), ORV_W("x"), 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExW(key_, ORV_W("x"), 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);

  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, nullptr, 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(key, HKEY_CURRENT_USER);
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, AHandleToADeletedKeyReportsItsDeletion) {
  HKEY doomed = create(ORV_W("Doomed"));
  ASSERT_EQ(RegDeleteKeyW(key_, ORV_W("Doomed")), ERROR_SUCCESS);
  DWORD size = 0;
  HKEY sub = nullptr;
  EXPECT_EQ(setDword(doomed, ORV_W("Value"), 1), ERROR_KEY_DELETED);
  EXPECT_EQ(RegQueryValueExW(doomed, ORV_W("Value"), nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCreateKeyExW(doomed, ORV_W("Sub"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_KEY_DELETED);
  EXPECT_EQ(RegQueryInfoKeyW(doomed, nullptr, nullptr, nullptr, &size, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(doomed), ERROR_SUCCESS);
}

TEST_F(Registry, EnumerationBuffersFollowTheSizeRules) {
  RegCloseKey(create(ORV_W("Five5")));
  ASSERT_EQ(setDword(key_, ORV_W("Name"), 9), ERROR_SUCCESS);
  WCHAR name[16];
  DWORD length = 5;  // no room for the terminator
  EXPECT_EQ(RegEnumKeyExW(key_, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(length, 5u);
  length = 6;
  ASSERT_EQ(RegEnumKeyExW(key_, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(narrow(name), "Five5");
  length = 16;
  EXPECT_EQ(RegEnumKeyExW(key_, 1, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

  BYTE small[2];
  DWORD type = 0;
  DWORD size = sizeof(small);
  length = 16;
  EXPECT_EQ(RegEnumValueW(key_, 0, name, &length, nullptr, &type, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  length = 4;
  size = 0;
  EXPECT_EQ(RegEnumValueW(key_, 0, name, &length, nullptr, &type, nullptr, &size), ERROR_MORE_DATA);
  DWORD value = 0;
  length = 16;
  size = sizeof(value);
  ASSERT_EQ(RegEnumValueW(key_, 0, name, &length, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(value, 9u);
  length = 16;
  EXPECT_EQ(RegEnumValueW(key_, 1, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

TEST_F(Registry, QueryMultipleValuesPacksThemOrReportsTheSizeNeeded) {
  ASSERT_EQ(setString(key_, ORV_W("Text"), ORV_W("hello")), ERROR_SUCCESS);
  ASSERT_EQ(setDword(key_, ORV_W("Number"), 42), ERROR_SUCCESS);
  WCHAR textName[] = ORV_W("Text");
  WCHAR numberName[] = ORV_W("Number");
  VALENTW entries[2] = {{textName, 0, 0, 0}, {numberName, 0, 0, 0}};
  DWORD total = 0;
  EXPECT_EQ(RegQueryMultipleValuesW(key_, entries, 2, nullptr, &total), ERROR_MORE_DATA);
  EXPECT_EQ(total, 16u);
  BYTE buffer[32];
  total = 15;
  EXPECT_EQ(RegQueryMultipleValuesW(key_, entries, 2, reinterpret_cast<LPWSTR>(buffer), &total), ERROR_MORE_DATA);
  EXPECT_EQ(total, 16u);
  total = sizeof(buffer);
  ASSERT_EQ(RegQueryMultipleValuesW(key_, entries, 2, reinterpret_cast<LPWSTR>(buffer), &total), ERROR_SUCCESS);
  EXPECT_EQ(total, 16u);
  EXPECT_EQ(entries[0].ve_type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(entries[0].ve_valuelen, 12u);
  EXPECT_EQ(entries[1].ve_type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(entries[1].ve_valueptr, reinterpret_cast<DWORD_PTR>(buffer) + 12);
  DWORD number = 0;
  std::memcpy(&number, reinterpret_cast<const void*>(entries[1].ve_valueptr), sizeof(number));
  EXPECT_EQ(number, 42u);

  WCHAR missingName[] = ORV_W("Missing");
  VALENTW missing[1] = {{missingName, 0, 0, 0}};
  total = sizeof(buffer);
  EXPECT_EQ(RegQueryMultipleValuesW(key_, missing, 1, reinterpret_cast<LPWSTR>(buffer), &total), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, DeletingKeysValuesAndTrees) {
  RegCloseKey(create(ORV_W("Parent\\Child\\Grandchild")));
  HKEY parent = create(ORV_W("Parent"));
  ASSERT_EQ(setDword(parent, ORV_W("Value"), 1), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(key_, ORV_W("Parent")), ERROR_ACCESS_DENIED) << "a key with subkeys stays";
  EXPECT_EQ(RegDeleteKeyW(key_, ORV_W("Missing")), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueW(parent, ORV_W("Missing")), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteTreeW(key_, ORV_W("Missing")), ERROR_FILE_NOT_FOUND);

  // No subkey name: everything below the key goes, the key stays.
  ASSERT_EQ(RegDeleteTreeW(parent, nullptr), ERROR_SUCCESS);
  EXPECT_TRUE(subKeyNames(parent).empty());
  EXPECT_TRUE(valueNames(parent).empty());
  EXPECT_EQ(subKeyNames(key_), std::vector<std::string>{"Parent"});

  RegCloseKey(create(ORV_W("Parent\\Again\\Deeper")));
  ASSERT_EQ(RegDeleteTreeW(key_, ORV_W("parent")), ERROR_SUCCESS);
  EXPECT_TRUE(subKeyNames(key_).empty());
  EXPECT_EQ(setDword(parent, ORV_W("Value"), 1), ERROR_KEY_DELETED);
  RegCloseKey(parent);
}

TEST_F(Registry, LargeValuesAndLongNamesRoundTrip) {
  std::string data(1 << 20, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
  ASSERT_EQ(RegSetValueExW(key_, ORV_W("Big"), 0, REG_BINARY, reinterpret_cast<const BYTE*>(data.data()),
                           static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
  std::string back(data.size(), '\0');
  DWORD size = static_cast<DWORD>(back.size());
  ASSERT_EQ(RegQueryValueExW(key_, ORV_W("Big"), nullptr, nullptr, reinterpret_cast<BYTE*>(back.data()), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, data.size());
  EXPECT_TRUE(back == data);

  const WString longest(16383, 'v');
  EXPECT_EQ(setDword(key_, longest.c_str(), 1), ERROR_SUCCESS);
  EXPECT_EQ(setDword(key_, (longest + ORV_W("v")).c_str(), 1), ERROR_INVALID_PARAMETER);
  const WString odd = ORV_W("odd = \"chars\" / * ? % \t ~");
  RegCloseKey(create(odd.c_str()));
  EXPECT_EQ(setDword(key_, odd.c_str(), 3), ERROR_SUCCESS);
  EXPECT_EQ(queryDword(key_, odd.c_str()), 3u);
  EXPECT_EQ(subKeyNames(key_), std::vector<std::string>{narrow(odd.c_str())});
}

TEST_F(Registry, CreatingBelowAReadOnlyHandleIsRefused) {
  if (runsOnWine()) GTEST_SKIP() << "Wine does not check the parent handle's access";
  RegCloseKey(create(ORV_W("Existing")));
  HKEY reader = openSelf(KEY_READ);
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(reader, ORV_W("New"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED);
  ASSERT_EQ(RegCreateKeyExW(reader, ORV_W("Existing"), 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr), ERROR_SUCCESS);
  RegCloseKey(key);
  RegCloseKey(reader);
}

}  // namespace
