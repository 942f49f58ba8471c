// A module file held open for reading without write or delete sharing is
// the file that loads by its name: Windows (and Wine) refuse to replace it
// while it is held; the POSIX layer, which cannot refuse, loads the held
// file itself whatever the name has been given since.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "log_test_support.h"
#include "orv_win32.h"
#include "signing_test_support.h"

namespace {

using orv_test::widePath;

void setMarker(const std::filesystem::path& marker) {
#ifdef _WIN32
  _putenv_s("ORV_TEST_LOAD_MARKER", marker.string().c_str());
#else
  setenv("ORV_TEST_LOAD_MARKER", marker.c_str(), 1);
#endif
}

TEST(HeldModule, AHeldModuleCannotBeSwappedForAnotherBeforeItLoads) {
  orv_test::ScratchFolder folder;
  const std::filesystem::path module = folder.path() / ("held" + std::string(orv_test::kModuleExtension));
  const std::filesystem::path impostor = folder.path() / ("impostor" + std::string(orv_test::kModuleExtension));
  const std::filesystem::path marker = folder.path() / "impostor-ran";
  std::filesystem::copy_file(orv_test::signingFixturePath("unsigned"), module);
  std::filesystem::copy_file(std::filesystem::u8path(ORV_TEST_MODULES_DIR) / "marker" / "marker.dll", impostor);
  setMarker(marker);

  HANDLE held = CreateFileW(widePath(module).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const BOOL replaced = MoveFileExW(widePath(impostor).c_str(), widePath(module).c_str(), MOVEFILE_REPLACE_EXISTING);
#ifdef _WIN32
  EXPECT_FALSE(replaced) << "a file held without delete sharing was replaced";
  HANDLE writer = CreateFileW(widePath(module).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "a file held without write sharing was opened for writing";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
#else
  EXPECT_TRUE(replaced) << "nothing on Linux stops a rename";
#endif
  HMODULE loaded = LoadLibraryExW(widePath(module).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  EXPECT_NE(loaded, nullptr);
  EXPECT_FALSE(std::filesystem::exists(marker)) << "the module that loaded is not the one that was held";
  if (loaded != nullptr) FreeLibrary(loaded);
  CloseHandle(held);
}

}  // namespace
