// The process heap over the C library's allocator, which every module of
// the process shares already.
#include <cstdlib>

#include "orv_win32.h"

namespace {
// Any non-null value names the one heap.
int gProcessHeap;
}  // namespace

HANDLE GetProcessHeap() { return &gProcessHeap; }

LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
  if (hHeap == nullptr) return nullptr;
  const size_t bytes = dwBytes == 0 ? 1 : dwBytes;
  return (dwFlags & HEAP_ZERO_MEMORY) != 0 ? std::calloc(1, bytes) : std::malloc(bytes);
}

BOOL HeapFree(HANDLE hHeap, DWORD, LPVOID lpMem) {
  if (hHeap == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::free(lpMem);  // Windows also accepts a null block
  return TRUE;
}
