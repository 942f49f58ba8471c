// Directory searches and file attributes as kernel32 gives them.
#pragma once

#include "orv_posix/base.h"

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_DEVICE 0x00000040u
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[MAX_PATH];
  WCHAR cAlternateFileName[14];
};
typedef WIN32_FIND_DATAW* PWIN32_FIND_DATAW;
typedef WIN32_FIND_DATAW* LPWIN32_FIND_DATAW;

// The pattern's last component may hold the wildcards '*' (any run of
// characters) and '?' (one UTF-16 unit); "*.*" matches every name, as on
// Windows. Wildcards elsewhere fail with ERROR_INVALID_NAME. Matching is
// case-sensitive, as Linux names are. A pattern that ends in '/' fails with
// ERROR_FILE_NOT_FOUND, as one ending in '\' does on Windows. A folder's
// listing holds "." and ".." except at the root "/", as on NTFS; its order is
// the file system's. Attributes are Wine's: folders FILE_ATTRIBUTE_DIRECTORY,
// other entries FILE_ATTRIBUTE_ARCHIVE, READONLY without write permission,
// HIDDEN for names that start with a dot, REPARSE_POINT for symbolic links
// (which are followed for everything else; a dangling one is still found).
// The handle is released with FindClose.
HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData);
// The next match, or FALSE with ERROR_NO_MORE_FILES.
BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData);
// Only search handles; any other fails with ERROR_INVALID_HANDLE.
BOOL FindClose(HANDLE hFindFile);

// The attributes of the entry itself, as FindFirstFileW reports them, or
// INVALID_FILE_ATTRIBUTES with the Win32 error. A trailing '/' is accepted on
// a folder and fails on anything else.
DWORD GetFileAttributesW(LPCWSTR lpFileName);
