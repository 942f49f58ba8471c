// The current process's access token and its privileges (advapi32).
#pragma once

#include "orv_posix/base.h"

#define TOKEN_ASSIGN_PRIMARY 0x0001u
#define TOKEN_DUPLICATE 0x0002u
#define TOKEN_IMPERSONATE 0x0004u
#define TOKEN_QUERY 0x0008u
#define TOKEN_QUERY_SOURCE 0x0010u
#define TOKEN_ADJUST_PRIVILEGES 0x0020u
#define TOKEN_ADJUST_GROUPS 0x0040u
#define TOKEN_ADJUST_DEFAULT 0x0080u
#define TOKEN_ADJUST_SESSIONID 0x0100u
#define TOKEN_ALL_ACCESS 0x000F01FFu

#define SE_PRIVILEGE_ENABLED_BY_DEFAULT 0x00000001u
#define SE_PRIVILEGE_ENABLED 0x00000002u
#define SE_PRIVILEGE_REMOVED 0x00000004u
#define SE_PRIVILEGE_USED_FOR_ACCESS 0x80000000u

#define RPC_S_SERVER_UNAVAILABLE 1722L

#define ANYSIZE_ARRAY 1

struct LUID {
  DWORD LowPart;
  LONG HighPart;
};
typedef LUID* PLUID;

struct LUID_AND_ATTRIBUTES {
  LUID Luid;
  DWORD Attributes;
};

struct TOKEN_PRIVILEGES {
  DWORD PrivilegeCount;
  LUID_AND_ATTRIBUTES Privileges[ANYSIZE_ARRAY];
};
typedef TOKEN_PRIVILEGES* PTOKEN_PRIVILEGES;

// The pseudo-handle (HANDLE)-1 that names the calling process.
HANDLE GetCurrentProcess();
DWORD GetCurrentProcessId();

// Only the current process has a token here. Every handle opened on it names
// the one token of the process, as on Windows, with the access it was opened
// for; CloseHandle releases the handle.
BOOL OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle);

// The LUIDs of Windows for its privilege names ("SeBackupPrivilege", ...),
// matched regardless of case; an unknown name fails with
// ERROR_NO_SUCH_PRIVILEGE. Only the local system (a null or empty name) is
// known; any other fails with RPC_S_SERVER_UNAVAILABLE.
BOOL LookupPrivilegeValueW(LPCWSTR lpSystemName, LPCWSTR lpName, PLUID lpLuid);

// The token holds every privilege of Windows, disabled, as an elevated
// administrator's does; enabling, disabling and removing behave as there.
// Success sets the last error to ERROR_SUCCESS, or to ERROR_NOT_ALL_ASSIGNED
// when some privilege was not in the token (an unknown LUID or one removed
// earlier). Needs TOKEN_ADJUST_PRIVILEGES, and TOKEN_QUERY for PreviousState.
BOOL AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges, PTOKEN_PRIVILEGES NewState,
                           DWORD BufferLength, PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength);
