// Directory searches and attributes: the same results from Windows (under
// Wine) and from the POSIX layer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "log_test_support.h"
#include "orv_win32.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using orv_test::narrow;
using orv_test::ScratchFolder;
using orv_test::widen;
using orv_test::WString;

const WString kSeparator(1, orv_platform::kPathSeparator);

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A folder with three files and one subfolder.
class FindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(folder_.path() / "alpha.txt", "12345");
    writeFile(folder_.path() / "beta.dat", "");
    writeFile(folder_.path() / "gamma", "");
    std::filesystem::create_directory(folder_.path() / "sub");
  }
  WString path(const std::string& name) const { return folder_.wide(name); }

  // Every name a search returns, or the error when it finds nothing.
  static std::set<std::string> namesFound(const WString& pattern, DWORD* error = nullptr) {
    std::set<std::string> names;
    WIN32_FIND_DATAW data{};
    SetLastError(0);
    HANDLE search = FindFirstFileW(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
      if (error != nullptr) *error = GetLastError();
      return names;
    }
    do names.insert(narrow(data.cFileName));
    while (FindNextFileW(search, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(search));
    return names;
  }

  ScratchFolder folder_;
};

TEST_F(FindTest, WildcardsMatchAsOnWindows) {
  using Names = std::set<std::string>;
  struct Case {
    const char* pattern;
    Names expected;
  };
  const Case cases[] = {
      {"*", {".", "..", "alpha.txt", "beta.dat", "gamma", "sub"}},
      {"*.*", {".", "..", "alpha.txt", "beta.dat", "gamma", "sub"}},
      {"*.txt", {"alpha.txt"}},
      {"?eta.dat", {"beta.dat"}},
      {"beta.???", {"beta.dat"}},
      {"g*a", {"gamma"}},
      {"*a*a*", {"alpha.txt", "beta.dat", "gamma"}},
      {"s?b", {"sub"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(namesFound(path(c.pattern)), c.expected);
  }
}

TEST_F(FindTest, ANamedEntryIsFoundWithItsFacts) {
  WIN32_FIND_DATAW data{};
  HANDLE search = FindFirstFileW(path("alpha.txt").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(narrow(data.cFileName), "alpha.txt");
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
  SetLastError(0);
  EXPECT_FALSE(FindNextFileW(search, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(FindClose(search));

  search = FindFirstFileW(path("sub").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(narrow(data.cFileName), "sub");
  EXPECT_NE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_TRUE(FindClose(search));
}

TEST_F(FindTest, SearchesThatFindNothingSayWhy) {
  struct Case {
    const char* what;
    WString pattern;
    DWORD error;
  };
  const Case cases[] = {
      {"a missing file", path("missing.txt"), ERROR_FILE_NOT_FOUND},
      {"a pattern that matches nothing", path("x*"), ERROR_FILE_NOT_FOUND},
      {"a file in a missing folder", path("missing") + kSeparator + widen("a.txt"), ERROR_PATH_NOT_FOUND},
      {"a pattern in a missing folder", path("missing") + kSeparator + widen("*"), ERROR_PATH_NOT_FOUND},
      {"a folder with a trailing separator", path("sub") + kSeparator, ERROR_FILE_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DWORD error = 0;
    EXPECT_TRUE(namesFound(c.pattern, &error).empty());
    EXPECT_EQ(error, c.error);
  }
}

TEST_F(FindTest, AttributesTellFoldersFromFiles) {
  EXPECT_EQ(GetFileAttributesW(path("alpha.txt").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_NE(GetFileAttributesW(path("alpha.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesW(path("sub").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_NE(GetFileAttributesW((path("sub") + kSeparator).c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);

  SetLastError(0);
  EXPECT_EQ(GetFileAttributesW(path("missing").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesW((path("missing") + kSeparator + widen("a")).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

#ifndef _WIN32
// What only a POSIX file system has, or what Wine does not do as Windows.

TEST(FindPosix, TheRootHasNoDotEntries) {
  WIN32_FIND_DATAW data{};
  HANDLE search = FindFirstFileW(u"/*", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  std::set<std::string> names;
  do names.insert(narrow(data.cFileName));
  while (FindNextFileW(search, &data));
  FindClose(search);
  EXPECT_EQ(names.count("."), 0u);
  EXPECT_EQ(names.count(".."), 0u);
  EXPECT_EQ(names.count("proc"), 1u);
  EXPECT_NE(GetFileAttributesW(u"/") & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(FindTest, LinksHiddenNamesAndReadOnlyFilesCarryTheirAttributes) {
  std::filesystem::create_symlink(folder_.path() / "nowhere", folder_.path() / "dangling");
  std::filesystem::create_directory_symlink(folder_.path() / "sub", folder_.path() / "sublink");
  writeFile(folder_.path() / ".hidden", "");
  ASSERT_EQ(chmod((folder_.path() / "gamma").c_str(), 0444), 0);

  struct Case {
    const char* name;
    DWORD set;
    DWORD clear;
  };
  const Case cases[] = {
      {"dangling", FILE_ATTRIBUTE_REPARSE_POINT, FILE_ATTRIBUTE_DIRECTORY},
      {"sublink", FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY, 0},
      {".hidden", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_DIRECTORY},
      {"gamma", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_HIDDEN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WIN32_FIND_DATAW data{};
    HANDLE search = FindFirstFileW(path(c.name).c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    EXPECT_EQ(data.dwFileAttributes & c.set, c.set);
    EXPECT_EQ(data.dwFileAttributes & c.clear, 0u);
    EXPECT_EQ(GetFileAttributesW(path(c.name).c_str()), data.dwFileAttributes);
  }
  EXPECT_EQ(namesFound(path(".*")), (std::set<std::string>{".", "..", ".hidden"}));
}

// Wine accepts a second FindClose; the handle table here does not.
TEST_F(FindTest, ASearchHandleClosesOnce) {
  WIN32_FIND_DATAW data{};
  HANDLE search = FindFirstFileW(path("*").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(FindClose(search));
  EXPECT_FALSE(FindClose(search));
  EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(FindNextFileW(search, &data));
}

TEST_F(FindTest, BadPathsFailWithoutHarm) {
  struct Case {
    const char* what;
    WString pattern;
    DWORD error;
  };
  const WString tooLong = path(std::string(5000, 'a'));
  const WString nameTooLong = path(std::string(300, 'a'));
  const WString loneSurrogate = path("x") + WString(1, static_cast<WCHAR>(0xD800));
  const Case cases[] = {
      {"a wildcard in a folder's name", path("s*") + kSeparator + widen("a"), ERROR_INVALID_NAME},
      {"an empty path", WString(), ERROR_PATH_NOT_FOUND},
      {"a path beyond the system's limit", tooLong, ERROR_FILENAME_EXCED_RANGE},
      {"a name beyond the system's limit", nameTooLong, ERROR_FILENAME_EXCED_RANGE},
      {"text that is not UTF-16", loneSurrogate, ERROR_INVALID_NAME},
      {"a file used as a folder", path("alpha.txt") + kSeparator + widen("*"), ERROR_PATH_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DWORD error = 0;
    EXPECT_TRUE(namesFound(c.pattern, &error).empty());
    EXPECT_EQ(error, c.error);
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesW(c.pattern.c_str()), INVALID_FILE_ATTRIBUTES);
  }
  WIN32_FIND_DATAW data{};
  EXPECT_EQ(FindFirstFileW(nullptr, &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileW(path("*").c_str(), nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileAttributesW(nullptr), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FindTest, NamesThatAreNotUtf8AreShownWithReplacementCharacters) {
  writeFile(folder_.path() / "bad\xFFname", "");
  WIN32_FIND_DATAW data{};
  HANDLE search = FindFirstFileW(path("bad*").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  FindClose(search);
  EXPECT_EQ(WString(data.cFileName), widen("bad") + WString(1, static_cast<WCHAR>(0xFFFD)) + widen("name"));
}
#endif

}  // namespace
