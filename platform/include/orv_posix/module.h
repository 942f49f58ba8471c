// Dynamic modules over the system loader.
#pragma once

#include "orv_posix/base.h"

#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008u

typedef intptr_t(WINAPI* FARPROC)();

// An export named by its ordinal: GetProcAddress(module, MAKEINTRESOURCEA(437)).
#define IS_INTRESOURCE(r) ((reinterpret_cast<ULONG_PTR>(r) >> 16) == 0)
#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))

// The path is used as given; the module's own dependencies are looked for
// through its run path, which plays the part of the altered search path.
HMODULE LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
// Shared objects have no ordinals: an ordinal is never found.
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
BOOL FreeLibrary(HMODULE hLibModule);
