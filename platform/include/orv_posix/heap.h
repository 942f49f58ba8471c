// The process heap: one allocator for the program and every module it loads.
#pragma once

#include "orv_posix/base.h"

#define HEAP_ZERO_MEMORY 0x00000008u

HANDLE GetProcessHeap();
// Windows' results: a block of at least one byte also for a size of 0; null
// when the block cannot be had.
LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes);
BOOL HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem);
