#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "log_test_support.h"
#include "orv_win32.h"

namespace {

// The shell's library exists only on Windows; ordinals exist only in PE exports.
TEST(Module, TheShellLibraryDoesNotLoadAndOrdinalsAreNeverFound) {
  for (const WCHAR* name : {ORV_W("shlwapi.dll"), ORV_W("SHLWAPI.DLL")}) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryExW(name, nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  }

  HMODULE libc = LoadLibraryExW(ORV_W("libc.so.6"), nullptr, 0);
  ASSERT_NE(libc, nullptr);
  EXPECT_NE(GetProcAddress(libc, "strlen"), nullptr);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(libc, MAKEINTRESOURCEA(437)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_TRUE(FreeLibrary(libc));
}

// A lone surrogate has no UTF-8 form: U+FFFD in its place would load a
// library that the caller never named.
TEST(Module, APathThatDoesNotConvertExactlyLoadsNothing) {
  orv_test::ScratchFolder folder;
  const std::filesystem::path marker = folder.path() / "look-alike-ran";
  std::filesystem::copy_file(std::filesystem::u8path(ORV_TEST_MODULES_DIR) / "marker" / "marker.dll",
                             folder.path() / "module\xEF\xBF\xBD.so");
  setenv("ORV_TEST_LOAD_MARKER", marker.c_str(), 1);
  const orv_test::WString path = orv_test::widePath(folder.path() / "module") + WCHAR(0xD800) + ORV_W(".so");

  SetLastError(0);
  HMODULE loaded = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  EXPECT_EQ(loaded, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_FALSE(std::filesystem::exists(marker)) << "the library with U+FFFD in its name was loaded";
  if (loaded != nullptr) FreeLibrary(loaded);
  unsetenv("ORV_TEST_LOAD_MARKER");
}

}  // namespace
