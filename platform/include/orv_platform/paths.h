// Path conventions of the platform: the folder separator and what makes a
// path rooted. Code that cuts or checks paths asks here.
#pragma once

#include "orv_win32.h"

namespace orv_platform {

#ifdef _WIN32
constexpr WCHAR kPathSeparator = L'\\';
#else
constexpr WCHAR kPathSeparator = u'/';
#endif

// Windows: a drive letter and a colon ("C:"). Elsewhere: a leading "/".
inline bool isRootedPath(const WCHAR* path) {
  if (path == nullptr) return false;
#ifdef _WIN32
  const WCHAR drive = path[0];
  return ((drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z')) && path[1] == L':';
#else
  return path[0] == u'/';
#endif
}

}  // namespace orv_platform
