// Process snapshots as the Tool Help library (tlhelp32.h) gives them.
#pragma once

#include "orv_posix/base.h"

#define TH32CS_SNAPHEAPLIST 0x00000001u
#define TH32CS_SNAPPROCESS 0x00000002u
#define TH32CS_SNAPTHREAD 0x00000004u
#define TH32CS_SNAPMODULE 0x00000008u
#define TH32CS_SNAPALL (TH32CS_SNAPHEAPLIST | TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD | TH32CS_SNAPMODULE)

struct PROCESSENTRY32W {
  DWORD dwSize;
  DWORD cntUsage;
  DWORD th32ProcessID;
  ULONG_PTR th32DefaultHeapID;
  DWORD th32ModuleID;
  DWORD cntThreads;
  DWORD th32ParentProcessID;
  LONG pcPriClassBase;
  DWORD dwFlags;
  WCHAR szExeFile[MAX_PATH];
};
typedef PROCESSENTRY32W* PPROCESSENTRY32W;
typedef PROCESSENTRY32W* LPPROCESSENTRY32W;

// The process list is read from /proc at once, so that processes that end
// during the caller's walk do no harm. An entry carries the process ID and,
// in szExeFile, the file name of its executable (the target of
// /proc/PID/exe, " (deleted)" cut off); when only the link's owner may read
// it (a process of another user), the file name of the first word of its
// command line. Kernel threads and ended processes not yet reaped run no
// program and are not listed. The walk reads nothing else, so the other
// fields stay 0. Without TH32CS_SNAPPROCESS the process list is empty;
// th32ProcessID is ignored.
HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID);
// dwSize must be at least sizeof(PROCESSENTRY32W) (else
// ERROR_INSUFFICIENT_BUFFER, as Wine reports it); past the last entry both
// fail with ERROR_NO_MORE_FILES.
BOOL Process32FirstW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe);
BOOL Process32NextW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe);
