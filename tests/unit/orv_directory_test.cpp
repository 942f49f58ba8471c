// CORVDirectory: which paths name a folder, creating missing levels, and
// its traces.
#include "orv_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "services_log_fixture.h"

namespace {

using orv_test::widen;
using orv_test::wideString;
using orv_test::WString;

const WString kSeparator(1, orv_platform::kPathSeparator);

class DirectoryTest : public orv_test::ServicesLogTest {
 protected:
  void SetUp() override {
    ServicesLogTest::SetUp();
    std::ofstream(scratch_.path() / "file.txt") << "data";
    std::filesystem::create_directory(scratch_.path() / "folder");
  }
  WString path(const std::string& name) const { return scratch_.wide(name); }

  static bool isDirectory(const WString& path) {
    CORVDirectory directory(wideString(path));
    return directory.isValidDirectory();
  }

  orv_test::ScratchFolder scratch_;
};

TEST_F(DirectoryTest, FoldersCountWithOrWithoutATrailingSeparator) {
  struct Case {
    const char* what;
    WString path;
    bool valid;
  };
  const Case cases[] = {
      {"a folder", path("folder"), true},
      {"a folder and its separator", path("folder") + kSeparator, true},
      {"the scratch folder", scratch_.wide(""), true},
      {"a file", path("file.txt"), false},
      {"a file and a separator", path("file.txt") + kSeparator, false},
      {"a missing folder", path("missing"), false},
      {"a missing folder and its separator", path("missing") + kSeparator, false},
      {"a pattern", path("fold*"), false},
#ifdef _WIN32
      {"a drive", widen("C:"), true},
      {"a drive's root", widen("C:\\"), true},
      {"a missing drive", widen("Q:\\"), false},
#else
      {"the root", widen("/"), true},
      {"the root twice", widen("//"), true},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(isDirectory(c.path), c.valid);
  }
}

TEST_F(DirectoryTest, AnEmptyPathFailsTheIndexCheck) {
  EXPECT_FALSE(isDirectory(WString()));
  EXPECT_TRUE(logged({"Index out of array bounds"})) << logText();
}

TEST_F(DirectoryTest, CreatesMissingLevelsFromTheOutermostIn) {
  const WString inner = path("one") + kSeparator + widen("two");
  CORVDirectory directory(wideString(inner));
  EXPECT_TRUE(directory.createDirectoryPath());
  EXPECT_TRUE(std::filesystem::is_directory(scratch_.path() / "one" / "two"));
  EXPECT_TRUE(directory.isValidDirectory());
  // Every level exists now.
  EXPECT_FALSE(directory.createDirectoryPath());

  CORVDirectory withSeparator(wideString(path("three") + kSeparator + widen("four") + kSeparator));
  EXPECT_TRUE(withSeparator.createDirectoryPath());
  EXPECT_TRUE(std::filesystem::is_directory(scratch_.path() / "three" / "four"));
}

TEST_F(DirectoryTest, CreatingFailsBelowAFileAndForNothing) {
  CORVDirectory belowFile(wideString(path("file.txt") + kSeparator + widen("sub")));
  EXPECT_FALSE(belowFile.createDirectoryPath());
  CORVDirectory empty((CORVWCharString()));
  EXPECT_FALSE(empty.createDirectoryPath());
  CORVDirectory existing(wideString(path("folder")));
  EXPECT_FALSE(existing.createDirectoryPath());
}

TEST_F(DirectoryTest, EveryTracedOperationIsTracedUnderItsName) {
  {
    CORVDirectory directory(wideString(path("folder")));
    directory.setDirectoryName(wideString(path("file.txt")));
    directory.isValidDirectory();
  }
  for (const char* method :
       {"Constructor", "setDirectoryName", "isValidDirectory", "isValidWindowsDirectory", "Destructor"}) {
    SCOPED_TRACE(method);
    EXPECT_TRUE(traced(std::string("CORVDirectory::") + method)) << logText();
  }
  EXPECT_TRUE(logged({"<EXIT>", "<CORVDirectory::isValidDirectory>", "<Failed>", "orv_directory.cpp"}));
}

}  // namespace
