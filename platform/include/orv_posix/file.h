// Files as kernel32 gives them: handles from CreateFileW live in the
// process's handle table and are released with CloseHandle (thread.h).
#pragma once

#include "orv_posix/base.h"

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_EXECUTE 0x20000000u
#define GENERIC_ALL 0x10000000u
#define FILE_READ_DATA 0x0001u
#define FILE_WRITE_DATA 0x0002u
#define FILE_APPEND_DATA 0x0004u

#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u

#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000u

#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu

#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_COPY_ALLOWED 0x00000002u
#define MOVEFILE_WRITE_THROUGH 0x00000008u

#define ERROR_NOT_SAME_DEVICE 17L
#define ERROR_NEGATIVE_SEEK 131L

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
// Only the offset of a byte-range lock is read (LockFileEx); I/O is synchronous.
struct OVERLAPPED {
  ULONG_PTR Internal;
  ULONG_PTR InternalHigh;
  union {
    struct {
      DWORD Offset;
      DWORD OffsetHigh;
    };
    PVOID Pointer;
  };
  HANDLE hEvent;
};
typedef OVERLAPPED* LPOVERLAPPED;

// Access FILE_APPEND_DATA without FILE_WRITE_DATA (or GENERIC_WRITE) makes
// every write land at the end of the file, atomically, as on Windows. Share
// modes are accepted and not enforced: POSIX has no mandatory sharing.
// OPEN_ALWAYS and CREATE_ALWAYS report ERROR_ALREADY_EXISTS when the file was
// there, 0 when they created it. A folder opens only with
// FILE_FLAG_BACKUP_SEMANTICS.
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                   HANDLE hTemplateFile);
// Synchronous only: lpOverlapped must be null.
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped);
// Synchronous only: lpOverlapped must be null. At the end of the file the
// call succeeds with 0 bytes read.
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped);
DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod);

// MOVEFILE_WRITE_THROUGH returns only when the file's data and the rename
// are on disk: the file is flushed before the rename and its folder after.
BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags);
BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
BOOL DeleteFileW(LPCWSTR lpFileName);

// A null module names the running executable (/proc/self/exe). A result that
// does not fit is cut to nSize - 1 characters and terminated; the function
// then returns nSize with ERROR_INSUFFICIENT_BUFFER (Windows Vista and later).
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);

#define LOCKFILE_FAIL_IMMEDIATELY 0x00000001u
#define LOCKFILE_EXCLUSIVE_LOCK 0x00000002u
#ifndef MAXDWORD
#define MAXDWORD 0xFFFFFFFFu
#endif
#define ERROR_NOT_LOCKED 158L

// Byte-range locks over open file description locks (F_OFD_SETLK): like
// Windows', they belong to the handle, so two handles conflict even within
// one process, and closing the handle releases them. The range starts at
// lpOverlapped's offset; a range reaching past the largest file offset (the
// whole file: 0, MAXDWORD, MAXDWORD) locks to the end of every file. Unlike
// Windows they are advisory: reads and writes through other handles go on.
// A conflicting lock waits, or fails at once with ERROR_LOCK_VIOLATION under
// LOCKFILE_FAIL_IMMEDIATELY. Synchronous only: the call returns once it is
// decided. A shared lock needs a handle opened for reading, an exclusive one
// a handle opened for writing, or the call fails with ERROR_ACCESS_DENIED.
BOOL LockFileEx(HANDLE hFile, DWORD dwFlags, DWORD dwReserved, DWORD nNumberOfBytesToLockLow,
                DWORD nNumberOfBytesToLockHigh, LPOVERLAPPED lpOverlapped);
// Releases the range as locked. A range that holds no lock of this handle
// succeeds here, where Windows reports ERROR_NOT_LOCKED.
BOOL UnlockFileEx(HANDLE hFile, DWORD dwReserved, DWORD nNumberOfBytesToUnlockLow, DWORD nNumberOfBytesToUnlockHigh,
                  LPOVERLAPPED lpOverlapped);
