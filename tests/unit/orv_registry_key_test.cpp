// CORVRegistryKey against a registry of the test's own: opening and closing
// (which operations leave the key open), creation, enumeration, the value
// records, save and restore in both formats and their failures.
#include "orv_registry_key.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry_test_support.h"

namespace {

using orv_test::CapturedLog;
using orv_test::namesOf;
using orv_test::RegistryPath;
using orv_test::ScratchRegistry;
using orv_test::widen;
using orv_test::wideString;
using orv_test::WString;

// A list of the names with the given tags: list equality compares both.
CORVWCharStringList tagged(std::initializer_list<std::pair<const char*, INT>> entries) {
  CORVWCharStringList list;
  for (const auto& entry : entries) list.addTail(CORVWCharString(widen(entry.first).c_str()), entry.second);
  return list;
}

class RegistryKeyTest : public ::testing::Test {
 protected:
  ScratchRegistry registry_;
  CapturedLog log_;
};

TEST_F(RegistryKeyTest, AMissingKeyDoesNotExistUnlessItMayBeCreated) {
  CORVRegistryKey missing(HKEY_CURRENT_USER, wideString(registry_.userKey().path), KEY_ALL_ACCESS, false, 0);
  EXPECT_FALSE(missing.exists());
  EXPECT_FALSE(missing.isOpen());
  EXPECT_FALSE(orv_test::keyExists(registry_.userKey()));

  CORVRegistryKey created(HKEY_CURRENT_USER, wideString(registry_.userKey().path), KEY_ALL_ACCESS, true, 0);
  EXPECT_TRUE(created.exists());
  EXPECT_FALSE(created.isOpen());
  EXPECT_TRUE(orv_test::keyExists(registry_.userKey()));
  EXPECT_EQ(log_.all(), "") << "a missing key is no failure";
}

TEST_F(RegistryKeyTest, CreateLeavesTheKeyClosedAndFailsWithItsOwnRecord) {
  CORVRegistryKey nested(HKEY_CURRENT_USER, wideString(registry_.userSubKey("a\\b").path), KEY_ALL_ACCESS, false, 0);
  EXPECT_TRUE(nested.create());
  EXPECT_FALSE(nested.isOpen());
  EXPECT_TRUE(orv_test::keyExists(registry_.userSubKey("a\\b")));

  CORVRegistryKey rootless(nullptr, ORV_W("Software\\Nowhere"), KEY_ALL_ACCESS, false, 0);
  EXPECT_FALSE(rootless.create());
  EXPECT_FALSE(rootless.isOpen());
  EXPECT_EQ(
      log_.linesWith({"Unable to create registry key ( \"Software\\Nowhere\" )", "CORVRegistryKey", "create"}).size(),
      1u)
      << log_.all();
}

TEST_F(RegistryKeyTest, OpeningAnOpenKeyWarnsAndReopens) {
  orv_test::setDwordValue(registry_.userKey(), widen("Count"), 1);
  CORVRegistryKey opened(HKEY_CURRENT_USER, wideString(registry_.userKey().path), KEY_READ, false, 0);
  ASSERT_TRUE(opened.open());
  EXPECT_TRUE(opened.open());
  EXPECT_TRUE(opened.isOpen());
  const std::string expected = "Registry key is already open ( " + orv_test::narrow(registry_.userKey().path) + " )";
  EXPECT_EQ(log_.linesWith({expected, "WARNING", "CORVRegistryKey", "open"}).size(), 1u) << log_.all();

  EXPECT_TRUE(opened.close());
  EXPECT_FALSE(opened.isOpen());
  EXPECT_TRUE(opened.close()) << "closing a closed key is nothing to do";
}

TEST_F(RegistryKeyTest, SetAccessClosesAnOpenKey) {
  orv_test::setDwordValue(registry_.userKey(), widen("Count"), 1);
  CORVRegistryKey opened(HKEY_CURRENT_USER, wideString(registry_.userKey().path), KEY_READ, false, 0);
  ASSERT_TRUE(opened.open());
  EXPECT_TRUE(opened.setAccess(KEY_READ | KEY_WOW64_32KEY));
  EXPECT_FALSE(opened.isOpen());
  EXPECT_EQ(opened.getAccess(), static_cast<REGSAM>(KEY_READ | KEY_WOW64_32KEY));
}

TEST(RegistryKeyName, IsTheWholePathOrItsLastComponent) {
  struct Case {
    const WCHAR* path;
    bool full;
    bool result;
    const char* name;
  };
  const Case cases[] = {
      {ORV_W("Software\\Halvik\\Logs"), true, true, "Software\\Halvik\\Logs"},
      {ORV_W("Software\\Halvik\\Logs"), false, true, "Logs"},
      {ORV_W("Software"), true, true, "Software"},
      {ORV_W("Software"), false, false, "unchanged"},
      {ORV_W(""), false, false, "unchanged"},
  };
  for (const Case& c : cases) {
    CORVRegistryKey key(HKEY_CURRENT_USER, c.path, KEY_READ, false, 0);
    CORVWCharString name(ORV_W("unchanged"));
    EXPECT_EQ(key.getName(name, c.full), c.result) << orv_test::narrow(c.path);
    EXPECT_EQ(orv_test::textOf(name), c.name) << orv_test::narrow(c.path);
  }
}

TEST_F(RegistryKeyTest, InformationQueriesCloseTheKeyAndFailQuietlyForAMissingOne) {
  orv_test::setStringValue(registry_.userSubKey("Twelve chars"), widen("A value name"), widen("0123456789"));
  orv_test::setDwordValue(registry_.userKey(), widen("Count"), 7);
  CORVRegistryKey parent(HKEY_CURRENT_USER, wideString(registry_.userKey().path), KEY_READ, false, 0);
  ULONG length = 0;
  ASSERT_TRUE(parent.open());
  EXPECT_TRUE(parent.getMaxSubKeyNameLength(length));
  EXPECT_EQ(length, 12u);
  EXPECT_FALSE(parent.isOpen()) << "found open, closed at the end";
  EXPECT_TRUE(parent.getMaxValueNameLength(length));
  EXPECT_EQ(length, 5u);
  CORVRegistryKey child(HKEY_CURRENT_USER, wideString(registry_.userSubKey("Twelve chars").path), KEY_READ, false, 0);
  EXPECT_TRUE(child.getMaxValueDataLength(length));
  EXPECT_EQ(length, 22u) << "ten characters and the terminator, in bytes";
  EXPECT_FALSE(child.isOpen());

  CORVRegistryKey missing(HKEY_CURRENT_USER, wideString(registry_.userSubKey("missing").path), KEY_READ, false, 0);
  length = 99;
  EXPECT_FALSE(missing.getMaxValueDataLength(length));
  EXPECT_EQ(length, 99u);
  EXPECT_EQ(log_.all(), "");
}

TEST_F(RegistryKeyTest, EnumeratingSubkeysLeavesTheKeyOpenAndStopsQuietlyPastTheLast) {
  for (const char* name : {"alpha", "beta", "gamma"})
    ASSERT_TRUE(
        CORVRegistryKey(HKEY_CURRENT_USER, wideString(registry_.userSubKey(name).path), KEY_ALL_ACCESS, false, 0)
            .create());
  CORVRegistryKey parent(HKEY_CURRENT_USER, wideString(registry_.userKey().path), KEY_READ, false, 0);
  CORVRegistryKey sub(nullptr, CORVWCharString(), KEY_ALL_ACCESS, true, 0);

  ASSERT_TRUE(parent.enumSubKey(sub, 1));
  EXPECT_TRUE(parent.isOpen());
  CORVWCharString path;
  sub.getName(path, true);
  EXPECT_EQ(orv_test::textOf(path), orv_test::narrow(registry_.userSubKey("beta").path));
  EXPECT_EQ(sub.getRootKey(), HKEY_CURRENT_USER);
  EXPECT_EQ(sub.getAccess(), static_cast<REGSAM>(KEY_READ));
  EXPECT_FALSE(sub.isOpen());
  EXPECT_TRUE(sub.exists());

  EXPECT_FALSE(parent.enumSubKey(sub, 3));
  EXPECT_EQ(orv_test::textOf(path), orv_test::narrow(registry_.userSubKey("beta").path)) << "the key is left as it was";

  CORVWCharStringList names;
  names.addTail(CORVWCharString(ORV_W("stale")), 9);
  EXPECT_TRUE(parent.enumSubKeys(names));
  EXPECT_TRUE(parent.isOpen());
  EXPECT_TRUE(names == tagged({{"alpha", 1}, {"beta", 2}, {"gamma", 3}})) << namesOf(names);
  EXPECT_TRUE(parent.close());

  CORVRegistryKey leaf(HKEY_CURRENT_USER, wideString(registry_.userSubKey("alpha").path), KEY_READ, false, 0);
  EXPECT_TRUE(leaf.enumSubKeys(names)) << "a key without subkeys lists none";
  EXPECT_EQ(names.getCount(), 0u);
  EXPECT_EQ(log_.all(), "");
}

TEST_F(RegistryKeyTest, SubkeysOfARootAreNamedWithoutALeadingSeparator) {
  ASSERT_TRUE(
      CORVRegistryKey(HKEY_CURRENT_USER, wideString(registry_.userKey().path), KEY_ALL_ACCESS, false, 0).create());
  CORVRegistryKey root(HKEY_CURRENT_USER, CORVWCharString(), KEY_READ, false, 0);
  CORVRegistryKey sub(nullptr, CORVWCharString(), KEY_READ, false, 0);
  bool foundSoftware = false;
  for (DWORD index = 0; root.enumSubKey(sub, index); ++index) {
    CORVWCharString path;
    sub.getName(path, true);
    EXPECT_NE(orv_test::textOf(path).front(), '\\');
    foundSoftware = foundSoftware || _wcsicmp(path.getBuffer(), ORV_W("Software")) == 0;
    EXPECT_TRUE(sub.exists()) << orv_test::textOf(path);
  }
  EXPECT_TRUE(foundSoftware);
}

TEST_F(RegistryKeyTest, ValueNamesAndValuesOfAnEmptyKeyFailAndLeaveTheListAlone) {
  ASSERT_TRUE(
      CORVRegistryKey(HKEY_CURRENT_USER, wideString(registry_.userKey().path), KEY_ALL_ACCESS, false, 0).create());
  CORVRegistryKey empty(HKEY_CURRENT_USER, wideString(registry_.userKey().path), KEY_READ, false, 0);
  CORVWCharStringList names;
  names.addTail(CORVWCharString(ORV_W("stale")), 0);
  EXPECT_FALSE(empty.enumValueNames(names));
  EXPECT_EQ(names.getCount(), 0u);
  EXPECT_FALSE(empty.isOpen());

  CORVRegistryValentList values;
  values.addTail(CORVRegistryValent(ORV_W("kept"), REG_DWORD, nullptr, 0), 5);
  EXPECT_FALSE(empty.getValues(values));
  ASSERT_EQ(values.getCount(), 1u);
  values.moveFirst();
  EXPECT_EQ(orv_test::textOf(values.getCurrentData()->m_name), "kept");
  EXPECT_FALSE(empty.isOpen());
  EXPECT_EQ(log_.all(), "");
}

TEST_F(RegistryKeyTest, ValuesComeWithNameTypeAndBytesInEnumerationOrder) {
  // Names in alphabetical order: Wine lists values sorted, Windows as created.
  const RegistryPath& path = registry_.userKey();
  const BYTE bytes[] = {0x00, 0xFF, 0x10};
  orv_test::setRawValue(path, widen("Bytes"), REG_BINARY, bytes, sizeof(bytes));
  orv_test::setDwordValue(path, widen("Count"), 0x01020304);
  orv_test::setStringValue(path, widen("Name"), widen("abc"));
  orv_test::setStringValue(path, WString(), widen("default"));

  CORVRegistryKey key(path.root, wideString(path.path), KEY_READ, false, 0);
  CORVWCharStringList names;
  ASSERT_TRUE(key.enumValueNames(names));
  EXPECT_TRUE(names == tagged({{"Bytes", 0}, {"Count", 0}, {"Name", 0}}))
      << namesOf(names) << " (the default value has no name to list)";

  ASSERT_TRUE(key.open());
  CORVRegistryValentList values;
  ASSERT_TRUE(key.getValues(values));
  EXPECT_FALSE(key.isOpen());
  ASSERT_EQ(values.getCount(), 3u);
  const BYTE count[] = {0x04, 0x03, 0x02, 0x01};
  const BYTE name[] = {'a', 0, 'b', 0, 'c', 0, 0, 0};
  CORVRegistryValentList expected;
  expected.addTail(CORVRegistryValent(ORV_W("Bytes"), REG_BINARY, bytes, sizeof(bytes)), 0);
  expected.addTail(CORVRegistryValent(ORV_W("Count"), REG_DWORD, count, sizeof(count)), 1);
  expected.addTail(CORVRegistryValent(ORV_W("Name"), REG_SZ, name, sizeof(name)), 2);
  EXPECT_TRUE(values == expected);
  EXPECT_EQ(log_.all(), "");
}

TEST(RegistryValent, EqualityNeedsTypeNameAndBytes) {
  const BYTE one[] = {1, 0, 0, 0};
  const BYTE two[] = {2, 0, 0, 0};
  const CORVRegistryValent base(ORV_W("A"), REG_DWORD, one, 4);
  EXPECT_TRUE(base == CORVRegistryValent(ORV_W("A"), REG_DWORD, one, 4));
  EXPECT_FALSE(base == CORVRegistryValent(ORV_W("A"), REG_BINARY, one, 4));
  EXPECT_FALSE(base == CORVRegistryValent(ORV_W("B"), REG_DWORD, one, 4));
  EXPECT_FALSE(base == CORVRegistryValent(ORV_W("A"), REG_DWORD, two, 4));
  EXPECT_FALSE(base == CORVRegistryValent(ORV_W("A"), REG_DWORD, one, 3));
  EXPECT_EQ(base.getDword(), 1u);
  EXPECT_EQ(CORVRegistryValent(ORV_W("A"), REG_DWORD, one, 3).getDword(), 0u) << "fewer than four bytes";
}

TEST_F(RegistryKeyTest, SaveAndRestoreNeedAFileName) {
  orv_test::setDwordValue(registry_.userKey(), widen("Count"), 1);
  CORVRegistryKey key(HKEY_CURRENT_USER, wideString(registry_.userKey().path), KEY_ALL_ACCESS, false, 0);
  ASSERT_TRUE(key.open());
  EXPECT_FALSE(key.save(CORVWCharString(), 0, false));
  EXPECT_FALSE(key.isOpen());
  EXPECT_FALSE(key.restore(CORVWCharString(), 0));
  EXPECT_EQ(log_.linesWith({"A bad argument was provided ( szExportFileName ). filename must be non-null"}).size(), 1u)
      << log_.all();
  EXPECT_EQ(log_.linesWith({"A bad argument was provided ( szImportFileName ). filename must be non-null"}).size(), 1u)
      << log_.all();
}

TEST_F(RegistryKeyTest, TheTextFormatSavesTheTreeAndRestoresIt) {
  orv_test::setDwordValue(registry_.userKey(), widen("Count"), 31);
  orv_test::setStringValue(registry_.userSubKey("sub"), widen("Name"), widen("abc"));
  CORVRegistryKey key(HKEY_CURRENT_USER, wideString(registry_.userKey().path), KEY_ALL_ACCESS, false, 0);
  const WString file = registry_.folder().wide("export.ini");
  EXPECT_TRUE(key.save(wideString(file), CORVRegistryKey::kSaveFormatText, true)) << log_.all();
  EXPECT_FALSE(key.isOpen());

  orv_test::deleteKey(registry_.userKey());
  EXPECT_TRUE(key.restore(wideString(file), CORVRegistryKey::kRestoreFlagsText)) << log_.all();
  DWORD type = 0;
  std::vector<BYTE> data;
  EXPECT_TRUE(orv_test::getRawValue(registry_.userKey(), widen("Count"), type, data));
  EXPECT_EQ(data, std::vector<BYTE>({31, 0, 0, 0}));
  EXPECT_TRUE(orv_test::getRawValue(registry_.userSubKey("sub"), widen("Name"), type, data));
  EXPECT_EQ(type, DWORD{REG_SZ});

  EXPECT_FALSE(key.restore(registry_.folder().wide("missing.ini").c_str(), CORVRegistryKey::kRestoreFlagsText));
  orv_test::deleteKey(registry_.userKey());
  EXPECT_FALSE(key.save(wideString(file), CORVRegistryKey::kSaveFormatText, true)) << "a missing key";
}

TEST_F(RegistryKeyTest, SavedKeysRestoreIntoAnotherKey) {
  const RegistryPath source = registry_.userSubKey("source");
  const RegistryPath target = registry_.userSubKey("target");
  orv_test::setDwordValue(source, widen("Count"), 31);
  orv_test::setStringValue(source, widen("Name"), widen("abc"));
  ASSERT_TRUE(CORVRegistryKey(target.root, wideString(target.path), KEY_ALL_ACCESS, false, 0).create());
  const WString file = registry_.folder().wide("source.hive");

  CORVRegistryKey saved(source.root, wideString(source.path), KEY_ALL_ACCESS, false, 0);
  ASSERT_TRUE(saved.save(wideString(file), 0, false)) << log_.all();
  EXPECT_FALSE(saved.isOpen());
  if (!orv_test::runsOnWine()) {  // Wine saves over an existing file
    EXPECT_FALSE(saved.save(wideString(file), 0, false)) << "the file is there";
    EXPECT_EQ(log_.linesWith({"Unable to save registry key", "save"}).size(), 1u) << log_.all();
  }
  EXPECT_TRUE(saved.save(wideString(file), 0, true)) << "replaced";

  if (orv_test::runsOnWine()) GTEST_SKIP() << "Wine's RegRestoreKeyW restores nothing";
  CORVRegistryKey restored(target.root, wideString(target.path), KEY_ALL_ACCESS, false, 0);
  ASSERT_TRUE(restored.restore(wideString(file), 0)) << log_.all();
  EXPECT_FALSE(restored.isOpen());
  DWORD type = 0;
  std::vector<BYTE> data;
  ASSERT_TRUE(orv_test::getRawValue(target, widen("Count"), type, data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(data, (std::vector<BYTE>{31, 0, 0, 0}));
  ASSERT_TRUE(orv_test::getRawValue(target, widen("Name"), type, data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
}

TEST_F(RegistryKeyTest, RestoringAMissingFileFails) {
  if (orv_test::runsOnWine()) GTEST_SKIP() << "Wine's RegRestoreKeyW reads no file";
  CORVRegistryKey key(HKEY_CURRENT_USER, wideString(registry_.userKey().path), KEY_ALL_ACCESS, true, 0);
  EXPECT_FALSE(key.restore(wideString(registry_.folder().wide("missing.hive")), 0));
  EXPECT_FALSE(key.isOpen());
  EXPECT_EQ(log_.linesWith({"Unable to load registry key", "restore"}).size(), 1u) << log_.all();
}

}  // namespace
