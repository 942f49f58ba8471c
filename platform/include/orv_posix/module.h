// Dynamic modules over the system loader.
#pragma once

#include "orv_posix/base.h"

#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008u

typedef intptr_t(WINAPI* FARPROC)();

// The path is used as given; the module's own dependencies are looked for
// through its run path, which plays the part of the altered search path.
HMODULE LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
BOOL FreeLibrary(HMODULE hLibModule);
