#include <gtest/gtest.h>

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

}  // namespace
