// Profile (INI) files with kernel32's results: section and key names
// compared without case (ASCII letters), blanks around names and values
// dropped, the first of duplicate sections or keys the one that counts.
// Files are UTF-8; a UTF-16 file with its byte-order mark is read and
// written as UTF-16. A relative file name is taken from the current folder,
// not from the Windows folder.
#pragma once

#include "orv_posix/base.h"

// The value without one pair of enclosing quotes (" or '), or the default
// (trailing blanks dropped) when the key is missing. A null section lists the
// section names, a null key the section's keys, as double-zero-terminated
// lists. A value cut to fit returns nSize - 1; a list cut to fit ends in two
// zeros and returns nSize - 2.
DWORD GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault, LPWSTR lpReturnedString,
                               DWORD nSize, LPCWSTR lpFileName);
// The value read as ntdll reads numbers: optional sign, then "0x", "0o" or
// "0b" for hexadecimal, octal or binary, digits up to the first other
// character, wrapping at 32 bits. The default when the key is missing or
// its value empty.
UINT GetPrivateProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault, LPCWSTR lpFileName);
// The section's lines as "key=value" (quotes kept) or as the bare text of a
// line without "=", comments left out; a double-zero-terminated list.
DWORD GetPrivateProfileSectionW(LPCWSTR lpAppName, LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName);
DWORD GetPrivateProfileSectionNamesW(LPWSTR lpszReturnBuffer, DWORD nSize, LPCWSTR lpFileName);

// A null key deletes the section, a null value the key. The file is created
// when missing (not for a delete); a new section goes at the end of the file,
// a new key at the end of its section, and every other line stays as it was.
// The file is replaced atomically, and concurrent writers in other threads
// or processes are serialised. Unlike Windows, text that would break the
// file's lines (a line break anywhere, "=" in a key, a key beginning with "["
// or ";") is refused with ERROR_INVALID_PARAMETER.
BOOL WritePrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString, LPCWSTR lpFileName);
// The section's lines become the "key=value" entries of the double-zero-
// terminated list (entries without "=" are skipped); a null list deletes the
// section. A missing section is appended, even with no entries.
BOOL WritePrivateProfileSectionW(LPCWSTR lpAppName, LPCWSTR lpString, LPCWSTR lpFileName);
