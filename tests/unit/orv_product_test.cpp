// Installed-product detection: the password manager's two registry
// locations, the registry-view retry, version texts and version tests.
#include "orv_product_pwmgr.h"

#include <gtest/gtest.h>

#include <string>

#include "registry_test_support.h"

namespace {

using orv_test::RegistryPath;
using orv_test::widen;
using orv_test::WString;

const RegistryPath kCurrent = {HKEY_LOCAL_MACHINE, widen("Software\\Halvik\\Password Manager")};
const RegistryPath kFormer = {HKEY_LOCAL_MACHINE, widen("Software\\Ostrel Quillmarsh\\Password Manager")};

class ProductTest : public ::testing::Test {
 protected:
  orv_test::ScratchRegistry registry_{{kCurrent, kFormer}};
  orv_test::CapturedLog log_;
  CORVProduct_PwMgr product_;
};

TEST_F(ProductTest, TheInstallDirectoryComesFromTheFirstLocationThatHasOne) {
  struct Case {
    const char* name;
    const char* current;
    const char* former;
    const char* expected;
  };
  const Case cases[] = {
      {"current key only", "C:\\Program Files\\Halvik", nullptr, "C:\\Program Files\\Halvik"},
      {"former key only", nullptr, "C:\\Program Files\\Ostrel\\", "C:\\Program Files\\Ostrel\\"},
      {"both keys", "C:\\New", "C:\\Old", "C:\\New"},
      {"neither", nullptr, nullptr, "unchanged"},
  };
  for (const Case& c : cases) {
    orv_test::deleteKey(kCurrent);
    orv_test::deleteKey(kFormer);
    if (c.current != nullptr) orv_test::setStringValue(kCurrent, widen("InstallPath"), widen(c.current));
    if (c.former != nullptr) orv_test::setStringValue(kFormer, widen("InstallPath"), widen(c.former));
    CORVWCharString directory(ORV_W("unchanged"));
    EXPECT_EQ(product_.getInstallDirectory(directory), c.current != nullptr || c.former != nullptr) << c.name;
    EXPECT_EQ(orv_test::textOf(directory), c.expected) << c.name;
  }
  EXPECT_EQ(log_.all(), "") << "a product that is not installed is no failure";
}

TEST_F(ProductTest, ALocationOnlyInTheOtherRegistryViewIsFound) {
  orv_test::setStringValue(kFormer, widen("InstallPath"), widen("C:\\Wow"), KEY_WOW64_32KEY);
  CORVWCharString directory;
  EXPECT_TRUE(product_.getInstallDirectory(directory));
  EXPECT_EQ(orv_test::textOf(directory), "C:\\Wow");
}

TEST_F(ProductTest, TheKeyPathItemNamesTheLocationThatHasAnInstallPath) {
  orv_test::setStringValue(kFormer, widen("InstallPath"), widen("C:\\Old"));
  CORVWCharString out;
  ASSERT_TRUE(product_.getRegistryItem(CORVProduct::kItemKeyPath, out));
  EXPECT_EQ(orv_test::textOf(out), "Software\\Ostrel Quillmarsh\\Password Manager");
}

TEST_F(ProductTest, TheVersionTextIsSplitIntoFourLevels) {
  orv_test::setStringValue(kCurrent, widen("Version"), widen("4.6.0.12"));
  CORVWCharString version;
  ASSERT_TRUE(product_.getProductVersion(version));
  EXPECT_EQ(orv_test::textOf(version), "4.6.0.12");
  LONG major = -5, minor = -5, build = -5, patch = -5;
  ASSERT_TRUE(product_.getProductVersion(major, minor, build, patch));
  EXPECT_EQ((std::vector<LONG>{major, minor, build, patch}), (std::vector<LONG>{4, 6, 0, 12}));

  orv_test::deleteKey(kCurrent);
  EXPECT_FALSE(product_.getProductVersion(major, minor, build, patch));
}

TEST_F(ProductTest, MissingOrMalformedVersionFieldsReadAsZero) {
  struct Case {
    const char* version;
    std::vector<LONG> levels;
  };
  const Case cases[] = {
      {"4.6", {4, 6, 0, 0}},
      {"4.x.1.2", {4, 0, 1, 2}},
      {"", {0, 0, 0, 0}},
      {"10.20.30.40.50", {10, 20, 30, 40}},
  };
  for (const Case& c : cases) {
    LONG major = 9, minor = 9, build = 9, patch = 9;
    EXPECT_TRUE(product_.convertVersion(CORVWCharString(widen(c.version).c_str()), major, minor, build, patch))
        << c.version;
    EXPECT_EQ((std::vector<LONG>{major, minor, build, patch}), c.levels) << c.version;
  }
}

TEST_F(ProductTest, RequiredVersionsAreComparedLevelByLevel) {
  struct Case {
    LONG required[4];
    LONG installed[4];
    bool result;
  };
  const Case cases[] = {
      {{4, 6, -1, -1}, {4, 6, 0, 12}, true}, {{4, 7, -1, -1}, {4, 6, 0, 12}, false},
      {{4, 6, 0, 12}, {4, 6, 0, 12}, true},  {{4, 6, 0, 13}, {4, 6, 0, 12}, false},
      {{3, 9, 9, 9}, {4, 0, 0, 0}, true},    {{-1, -1, -1, -1}, {0, 0, 0, 0}, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(product_.isVersionInstalled(c.required, c.installed), c.result)
        << c.required[0] << "." << c.required[1] << "." << c.required[2] << "." << c.required[3];
}

TEST_F(ProductTest, CheckParmsNamesTheFirstRealLevelAfterADontCare) {
  struct Case {
    LONG levels[4];
    bool wellFormed;
    const char* argument;
  };
  const Case cases[] = {
      {{4, 6, 0, 12}, true, nullptr},          {{4, -1, -1, -1}, true, nullptr},
      {{-1, -1, -1, -1}, true, nullptr},       {{4, 6, 0, -1}, true, nullptr},
      {{4, -1, 2, -1}, false, "lVersions[2]"}, {{-1, 1, 2, 3}, false, "lVersions[1]"},
      {{4, 6, -1, 7}, false, "lVersions[3]"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(product_.checkParms(c.levels), c.wellFormed) << (c.argument ? c.argument : "well formed");
    if (c.argument != nullptr) {
      EXPECT_EQ(log_.linesWith({std::string("A bad argument was provided ( ") + c.argument +
                                " ). Cannot be real value, ORV_DONT_CAREs prior"})
                    .size(),
                1u)
          << log_.all();
    }
  }
  EXPECT_FALSE(product_.checkParms(nullptr));
  EXPECT_EQ(log_.linesWith({"A bad argument was provided ( lVersions ). Cannot have NULL value"}).size(), 1u);
}

TEST_F(ProductTest, IsInstalledComparesWithTheInstalledVersion) {
  orv_test::setStringValue(kFormer, widen("Version"), widen("4.6.0.12"));
  EXPECT_TRUE(product_.isInstalled(4, 6, ORV_DONT_CARE, ORV_DONT_CARE));
  EXPECT_TRUE(product_.isInstalled(4, 5, 9, 9));
  EXPECT_FALSE(product_.isInstalled(4, 7, ORV_DONT_CARE, ORV_DONT_CARE));
  EXPECT_EQ(log_.all(), "");

  EXPECT_FALSE(product_.isInstalled(4, ORV_DONT_CARE, 2, ORV_DONT_CARE));
  EXPECT_EQ(log_.linesWith({"A bad argument was provided ( lMinorVer, lBuildVer, or lPatchVer ). Cannot have value "
                            "after ORV_DONT_CARE"})
                .size(),
            1u)
      << log_.all();

  orv_test::deleteKey(kFormer);
  EXPECT_FALSE(product_.isInstalled(1, 0, 0, 0));
}

TEST(ProductRegistryInfo, ComparesAndCopiesAllThreeNames) {
  const CORVProductRegistryInfo info(ORV_W("Software\\A"), ORV_W("Version"), ORV_W("InstallPath"));
  EXPECT_TRUE(info == CORVProductRegistryInfo(ORV_W("Software\\A"), ORV_W("Version"), ORV_W("InstallPath")));
  EXPECT_TRUE(info != CORVProductRegistryInfo(ORV_W("Software\\B"), ORV_W("Version"), ORV_W("InstallPath")));
  EXPECT_TRUE(info != CORVProductRegistryInfo(ORV_W("Software\\A"), ORV_W("Ver"), ORV_W("InstallPath")));
  EXPECT_TRUE(info != CORVProductRegistryInfo(ORV_W("Software\\A"), ORV_W("Version"), ORV_W("Path")));

  CORVProductRegistryInfo copy(ORV_W("x"), ORV_W("y"), ORV_W("z"));
  copy = info;
  EXPECT_TRUE(copy == info);
  CORVProductRegistryInfo fromPointer(ORV_W("x"), ORV_W("y"), ORV_W("z"));
  fromPointer = &info;
  EXPECT_TRUE(fromPointer == info);
  fromPointer = static_cast<const CORVProductRegistryInfo*>(nullptr);
  EXPECT_TRUE(fromPointer == info);
}

}  // namespace
