// UTF-8 conversion and the C runtime's wide-string helpers for 16-bit text.
#pragma once

#include "orv_posix/base.h"

#define CP_ACP 0u
#define CP_UTF8 65001u
#define MB_ERR_INVALID_CHARS 0x00000008u
#define WC_ERR_INVALID_CHARS 0x00000080u

// CP_UTF8 (and CP_ACP, which is UTF-8 here). Windows' results: a length of -1
// counts the terminator; a zero output size asks for the size needed; invalid
// input with the strict flag fails with ERROR_NO_UNICODE_TRANSLATION and is
// otherwise replaced by U+FFFD.
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar);
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar);

// C runtime wide helpers over WCHAR (the C library's own take wchar_t).
size_t wcslen(const WCHAR* s);
int wcscmp(const WCHAR* a, const WCHAR* b);
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n);
int _wcsicmp(const WCHAR* a, const WCHAR* b);
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t n);
const WCHAR* wcschr(const WCHAR* s, WCHAR c);
WCHAR* wcschr(WCHAR* s, WCHAR c);
const WCHAR* wcsrchr(const WCHAR* s, WCHAR c);
WCHAR* wcsrchr(WCHAR* s, WCHAR c);
const WCHAR* wcsstr(const WCHAR* haystack, const WCHAR* needle);
WCHAR* wcsstr(WCHAR* haystack, const WCHAR* needle);
// Leading blanks, an optional sign, decimal digits; 0 when none (the CRT's rule).
int _wtoi(const WCHAR* s);
long _wtol(const WCHAR* s);
