// An allocator for tests, installed for the life of one object: it counts
// the blocks handed out and back, checks that every block comes back all
// zeros, and can refuse an allocation to exercise the failure paths.
#pragma once

#include <cstddef>
#include <string>

#include "orv_allocator.h"
#include "orv_wchar_string.h"
#include "test_text.h"

namespace orv_test {

class CheckingAllocator {
 public:
  CheckingAllocator() {
    previous() = orvSetAllocator({&allocate, &release});
    counters() = Counters();
  }
  ~CheckingAllocator() { orvSetAllocator(previous()); }
  CheckingAllocator(const CheckingAllocator&) = delete;
  CheckingAllocator& operator=(const CheckingAllocator&) = delete;

  // Allocation number n from now (1 = the next one) fails.
  void failAllocation(size_t n) { counters().failAt = counters().allocated + n; }
  // Every allocation from now on fails.
  void failAll() { counters().failAll = true; }
  void succeed() {
    counters().failAt = 0;
    counters().failAll = false;
  }

  size_t allocated() const { return counters().allocated; }
  size_t released() const { return counters().released; }
  size_t notWiped() const { return counters().notWiped; }
  // Blocks handed out under this allocator and not back yet.
  long outstanding() const { return static_cast<long>(counters().allocated) - static_cast<long>(counters().released); }

 private:
  struct Counters {
    size_t allocated = 0;
    size_t released = 0;
    size_t notWiped = 0;
    size_t failAt = 0;
    bool failAll = false;
  };
  static Counters& counters() {
    static Counters value;
    return value;
  }
  static CORVAllocator& previous() {
    static CORVAllocator value;
    return value;
  }
  static void* allocate(size_t bytes) {
    Counters& c = counters();
    if (c.failAll || (c.failAt != 0 && c.allocated + 1 == c.failAt)) {
      c.failAt = 0;
      return nullptr;
    }
    ++c.allocated;
    return previous().allocate(bytes);
  }
  static void release(void* block, size_t bytes) {
    Counters& c = counters();
    ++c.released;
    const unsigned char* p = static_cast<const unsigned char*>(block);
    for (size_t i = 0; i < bytes; ++i)
      if (p[i] != 0) {
        ++c.notWiped;
        break;
      }
    previous().release(block, bytes);
  }
};

// A string is empty (no storage) or holds exactly its length plus one units.
inline bool isNormalised(const CORVWCharString& string) {
  if (string.getBuffer() == nullptr) return string.getNumElems() == 0;
  return string.getLength() != 0 && string.getNumElems() == string.getLength() + 1 &&
         string.getBuffer()[string.getLength()] == 0;
}

}  // namespace orv_test
