// The file calls' results, the same on Windows and on the POSIX layer.
#include <gtest/gtest.h>

#include <cerrno>

#include "log_test_support.h"
#include "orv_win32.h"

namespace {

using orv_test::readBytes;
using orv_test::ScratchFolder;
using orv_test::widen;
using orv_test::WString;

HANDLE openFile(const WString& path, DWORD access, DWORD disposition) {
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool writeText(HANDLE file, const std::string& text) {
  DWORD written = 0;
  return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
}

TEST(PlatformFile, DispositionsCreateOpenAndReportWhatWasThere) {
  ScratchFolder folder;
  const WString path = folder.wide("f.txt");
  struct Step {
    const char* name;
    DWORD disposition;
    bool opens;
    DWORD lastError;
  };
  const Step steps[] = {
      {"open a missing file", OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND},
      {"create it", CREATE_NEW, true, ERROR_SUCCESS},
      {"create it again", CREATE_NEW, false, ERROR_FILE_EXISTS},
      {"open always, existing", OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS},
      {"create always, existing", CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS},
      {"open existing", OPEN_EXISTING, true, ERROR_SUCCESS},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    SetLastError(12345);
    HANDLE file = openFile(path, GENERIC_WRITE, step.disposition);
    EXPECT_EQ(file != INVALID_HANDLE_VALUE, step.opens);
    EXPECT_EQ(GetLastError(), step.lastError);
    if (file != INVALID_HANDLE_VALUE) {
      EXPECT_TRUE(CloseHandle(file));
    }
  }
  std::filesystem::remove(folder.path() / "f.txt");
  SetLastError(12345);
  HANDLE created = openFile(path, GENERIC_WRITE, OPEN_ALWAYS);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "open always, created";
  CloseHandle(created);

  EXPECT_EQ(
      openFile(folder.wide("missing") + orv_platform::kPathSeparator + widen("f.txt"), GENERIC_WRITE, OPEN_ALWAYS),
      INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(openFile(orv_test::widePath(folder.path()), GENERIC_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "a folder is not a file";
}

TEST(PlatformFile, AppendAccessWritesAtTheEndWhateverThePointer) {
  ScratchFolder folder;
  const WString path = folder.wide("a.txt");
  HANDLE plain = openFile(path, GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(plain, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(writeText(plain, "0123456789"));
  EXPECT_EQ(SetFilePointer(plain, 2, nullptr, FILE_BEGIN), 2u);
  ASSERT_TRUE(writeText(plain, "ab"));
  EXPECT_EQ(SetFilePointer(plain, 0, nullptr, FILE_END), 10u);
  EXPECT_EQ(SetFilePointer(plain, -3, nullptr, FILE_CURRENT), 7u);
  EXPECT_EQ(SetFilePointer(plain, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  CloseHandle(plain);

  HANDLE first = openFile(path, FILE_APPEND_DATA, OPEN_EXISTING);
  HANDLE second = openFile(path, FILE_APPEND_DATA, OPEN_EXISTING);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  ASSERT_NE(second, INVALID_HANDLE_VALUE);
  SetFilePointer(first, 0, nullptr, FILE_BEGIN);
  ASSERT_TRUE(writeText(first, "X"));
  ASSERT_TRUE(writeText(second, "Y"));
  ASSERT_TRUE(writeText(first, "Z"));
  CloseHandle(first);
  CloseHandle(second);
  EXPECT_EQ(readBytes(folder.path() / "a.txt"), "01ab456789XYZ");

  DWORD written = 7;
  EXPECT_FALSE(WriteFile(first, "x", 1, &written, nullptr)) << "a closed handle";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(written, 0u);
}

TEST(PlatformFile, MoveReplacesOnlyWhenAskedAndFoldersAreCreatedOnce) {
  ScratchFolder folder;
  std::ofstream(folder.path() / "a", std::ios::binary) << "A";
  std::ofstream(folder.path() / "b", std::ios::binary) << "B";
  const WString a = folder.wide("a");
  const WString b = folder.wide("b");
  const WString c = folder.wide("c");
  EXPECT_FALSE(MoveFileExW(a.c_str(), b.c_str(), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(MoveFileExW(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(readBytes(folder.path() / "b"), "A");
  EXPECT_FALSE(MoveFileExW(a.c_str(), c.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(MoveFileExW(b.c_str(), c.c_str(), 0));

  const WString sub = folder.wide("sub");
  EXPECT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
  EXPECT_FALSE(CreateDirectoryW(sub.c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  const WString deep = folder.wide("x") + orv_platform::kPathSeparator + widen("y");
  EXPECT_FALSE(CreateDirectoryW(deep.c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  const WString withSeparator = folder.wide("t") + orv_platform::kPathSeparator;
  EXPECT_TRUE(CreateDirectoryW(withSeparator.c_str(), nullptr));

  EXPECT_TRUE(DeleteFileW(c.c_str()));
  EXPECT_FALSE(DeleteFileW(c.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(DeleteFileW(sub.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(PlatformFile, ModuleFileNameIsTheExecutableAndIsCutToTheBuffer) {
  WCHAR full[1024];
  const DWORD length = GetModuleFileNameW(nullptr, full, 1024);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, 1024u);
  const WString path(full, length);
  EXPECT_NE(path.find(widen("orv_unit_tests")), WString::npos);
  EXPECT_TRUE(orv_platform::isRootedPath(full));

  WCHAR shortBuffer[8];
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameW(nullptr, shortBuffer, 8), 8u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  // Vista and later cut to nSize - 1 and terminate; Wine, as XP did, fills all nSize.
  EXPECT_EQ(WString(shortBuffer, 7), path.substr(0, 7));
}

TEST(PlatformFile, CallsLeaveErrnoAlone) {
  ScratchFolder folder;
  errno = ERANGE;
  const WString missing = folder.wide("none");
  EXPECT_EQ(openFile(missing, GENERIC_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFileW(missing.c_str()));
  EXPECT_FALSE(MoveFileExW(missing.c_str(), missing.c_str(), 0));
  EXPECT_EQ(errno, ERANGE);
}

}  // namespace
