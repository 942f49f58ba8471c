// Where buffers, strings and list nodes get their memory. Blocks come from
// the process heap, which the program and the modules it loads share
// whatever C runtime each of them was linked with, so that one side may
// release what the other allocated. Every block is wiped before it goes
// back: these blocks hold passwords.
//
// The allocator is a seam: a test installs its own pair of functions to see
// every block that is released.
#pragma once

#include <cstddef>
#include <cstring>

#include "orv_win32.h"

struct CORVAllocator {
  // Null when the block cannot be had.
  void* (*allocate)(size_t bytes);
  // Receives blocks that are all zeros already.
  void (*release)(void* block, size_t bytes);
};

inline void* orvHeapAllocate(size_t bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes); }

inline void orvHeapRelease(void* block, size_t) { HeapFree(GetProcessHeap(), 0, block); }

// One per process: the library holds it, and the program and every module
// it loads use that one.
extern ORV_API CORVAllocator g_orvAllocator;

// Installs an allocator and returns the one it replaces.
inline CORVAllocator orvSetAllocator(const CORVAllocator& allocator) {
  const CORVAllocator previous = g_orvAllocator;
  g_orvAllocator = allocator;
  return previous;
}

inline void* orvAllocate(size_t bytes) { return g_orvAllocator.allocate(bytes); }

// Makes the wipe of a block observable, so that no optimiser drops it as a
// store to memory that is about to be released.
inline void orvKeepWipe(void* block) { __asm__ __volatile__("" : : "r"(block) : "memory"); }

// For a block that is all zeros already.
inline void orvRelease(void* block, size_t bytes) {
  if (block == nullptr) return;
  orvKeepWipe(block);
  g_orvAllocator.release(block, bytes);
}

inline void orvWipeAndRelease(void* block, size_t bytes) {
  if (block == nullptr) return;
  std::memset(block, 0, bytes);
  orvRelease(block, bytes);
}
