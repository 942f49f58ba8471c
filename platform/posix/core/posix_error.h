// Translation of the C library's errno values and UTF-16 paths for the
// file calls of the POSIX layer.
#pragma once

#include <string>

#include "orv_win32.h"

namespace orv_posix {

// The Win32 error code that Windows reports for the same failure. ENOENT
// becomes ERROR_PATH_NOT_FOUND when the path's folder is missing too.
DWORD win32ErrorFromErrno(int error, const std::string& path = std::string());

// The path as UTF-8 for the system calls; false for null or untranslatable text.
bool utf8PathOf(LPCWSTR path, std::string& utf8);

// Keeps the C runtime's errno as it was: Win32 calls never change it.
class ErrnoKeeper {
 public:
  ErrnoKeeper();
  ~ErrnoKeeper();
  ErrnoKeeper(const ErrnoKeeper&) = delete;
  ErrnoKeeper& operator=(const ErrnoKeeper&) = delete;

 private:
  int saved_;
};

}  // namespace orv_posix
