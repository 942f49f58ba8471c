// The process environment in UTF-16 (the C library's environment holds UTF-8).
#pragma once

#include "orv_posix/base.h"

// Windows' results: the value's length without the terminator when it fits
// in nSize characters; the size needed, terminator included, when it does
// not; 0 with ERROR_ENVVAR_NOT_FOUND when the variable is not set (and 0 for
// a variable set to the empty text). Names compare without regard to case.
DWORD GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize);
// A null value removes the variable.
BOOL SetEnvironmentVariableW(LPCWSTR lpName, LPCWSTR lpValue);
// Replaces every %NAME% of a set variable by its value; a name that is not
// set stays as written, percent signs included. Returns the size of the
// result in characters, terminator included, also when it does not fit.
DWORD ExpandEnvironmentStringsW(LPCWSTR lpSrc, LPWSTR lpDst, DWORD nSize);
