// user32's wsprintfW for UTF-16 text.
#pragma once

#include <cstdarg>

#include "orv_posix/base.h"

// Writes at most 1023 characters and the terminator (Windows' 1024-character
// limit; longer output is cut) and returns the characters written. The
// conversions are Windows': %s and %ls take WCHAR text, %S and %hs narrow
// text (null prints "(null)"), %c a WCHAR, %d %i %u %x %X with the flags '-',
// '0' and '#', a width, a precision and 'l' (32 bits, as Windows' long), and %%.
int wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...);
int wvsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, va_list arglist);
