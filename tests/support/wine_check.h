// Whether the Windows build runs under Wine. Wine differs from Windows in a
// few results (registry value order, saving over a file, restoring subkeys,
// access checks); the tests name each such place.
#pragma once

#include "orv_win32.h"

namespace orv_test {

inline bool runsOnWine() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

}  // namespace orv_test
