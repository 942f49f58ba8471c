// Threads and the waitable handles the host uses, as the C runtime and
// kernel32 give them on Windows.
#pragma once

#include "orv_posix/base.h"

// _beginthreadex: the thread runs at once (initflag 0); the result is a
// handle for WaitForSingleObject and CloseHandle, or 0 on failure.
uintptr_t _beginthreadex(void* security, unsigned stack_size, unsigned(__stdcall* start_address)(void*), void* arglist,
                         unsigned initflag, unsigned* thrdaddr);

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
// Releases a handle; a handle that is not open fails with ERROR_INVALID_HANDLE.
BOOL CloseHandle(HANDLE hObject);
void Sleep(DWORD dwMilliseconds);
