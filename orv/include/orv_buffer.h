// CORVBuffer<T>: an owning, bounds-checked array of plain elements, counted
// in elements. Storage is zero-filled when it is allocated and wiped before
// it is released; an empty buffer has no storage at all.
//
// Every operation catches what is raised inside it, writes it to the log and
// returns false (or the buffer itself for assignment). Only the constructors
// (CORVBufferInitException) and operator[] (CORVIndexOutOfBoundsException)
// let an exception leave them.
#pragma once

#include <cerrno>
#include <cstring>
#include <new>
#include <type_traits>

#include "orv_allocator.h"
#include "orv_catch.h"
#include "orv_exceptions.h"
#include "orv_win32.h"

// The source file the buffer's records name: its file name, as for every
// other source file (the text log drops folders).
#define ORV_BUFFER_SOURCE_FILE ORV_W("orv_buffer.h")

#define ORV_BUFFER_CATCH_RETURN(result) ORV_CATCH_THEN_FROM(errno, ORV_BUFFER_SOURCE_FILE, __LINE__, return (result))
#define ORV_BUFFER_BAD_ARG(argument, detail)                                                                         \
  throw CORVBadArgException(ORV_W(argument), ORV_W(detail), ORV_BUFFER_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, \
                            false)

template <typename T>
class CORVBuffer {
  static_assert(std::is_trivially_copyable<T>::value, "a CORVBuffer holds plain elements");

 public:
  // The line the size constructor's init exception names: the records of
  // callers that cannot get a buffer (an environment read) carry it.
  static constexpr ULONG kInitFailureLine = 740;

  // ulNumElems zeroed elements; 0 gives an empty buffer.
  explicit CORVBuffer(ULONG ulNumElems = 0);
  // ulNumElems elements of pSource at ulOffset behind ulOffset zeros; a null
  // source gives ulNumElems zeros (the offset is ignored).
  CORVBuffer(const T* pSource, ULONG ulNumElems, ULONG ulOffset = 0);
  CORVBuffer(const CORVBuffer& other);
  CORVBuffer(CORVBuffer&& other) noexcept;
  // The other instantiation's storage taken as it lies in memory, with no
  // character conversion; an odd last byte fills the low half of the last
  // code unit.
  template <typename U>
  explicit CORVBuffer(const CORVBuffer<U>& other);

  // Discards the contents and allocates ulNumElems zeroed elements.
  virtual bool init(ULONG ulNumElems);
  // Wipes and releases the storage; the buffer is then empty.
  virtual bool free();
  // Changes the element count, keeping the leading elements; a grown tail
  // is zero. On failure the buffer keeps what it held.
  virtual bool resize(ULONG ulNumElems);
  // Declared after the three above so that they keep the first slots.
  virtual ~CORVBuffer() { free(); }

  CORVBuffer& operator=(const CORVBuffer& other);
  CORVBuffer& operator=(CORVBuffer&& other) noexcept;

  bool isValid() const { return m_pBuffer != nullptr && m_ulNumElems != 0; }
  T* getBuffer() { return m_pBuffer; }
  const T* getBuffer() const { return m_pBuffer; }
  ULONG getNumElems() const { return m_ulNumElems; }

  T& operator[](ULONG ulIndex);
  T operator[](ULONG ulIndex) const;

  // Equal counts and equal elements; two empty buffers are equal.
  bool operator==(const CORVBuffer& other) const;
  bool operator!=(const CORVBuffer& other) const { return !(*this == other); }

  // Sets every element from ulOffset on; ulOffset must be below the count.
  bool fill(T value, ULONG ulOffset);
  bool wipe();
  bool append(const CORVBuffer& other);
  // Cuts the buffer at ulOffset (at most the count) and appends other there.
  bool appendAt(const CORVBuffer& other, ULONG ulOffset);
  // Copies other in at ulOffset; when it does not fit, bGrow makes it
  // appendAt(other, ulOffset), else the call fails.
  bool write(const CORVBuffer& other, ULONG ulOffset, bool bGrow);
  // out receives ulNumElems elements from ulOffset. When the range runs past
  // the end, ulNumElems is set to what could be read and the call fails with
  // out empty.
  bool read(CORVBuffer& out, ULONG ulOffset, ULONG& ulNumElems) const;
  bool read(void* pBuffer, ULONG ulOffset, ULONG& ulNumElems) const;

  void swap(CORVBuffer& other) noexcept {
    T* const buffer = m_pBuffer;
    const ULONG count = m_ulNumElems;
    m_pBuffer = other.m_pBuffer;
    m_ulNumElems = other.m_ulNumElems;
    other.m_pBuffer = buffer;
    other.m_ulNumElems = count;
  }

  // Buffer objects made with new (the strings a list node owns) come from
  // the same allocator and are wiped when deleted. A failed allocation
  // yields null.
  static void* operator new(size_t bytes) noexcept { return orvAllocate(bytes); }
  static void* operator new(size_t bytes, const std::nothrow_t&) noexcept { return orvAllocate(bytes); }
  static void* operator new(size_t, void* where) noexcept { return where; }
  static void operator delete(void* block, size_t bytes) noexcept { orvWipeAndRelease(block, bytes); }
  static void operator delete(void* block, const std::nothrow_t&) noexcept {
    orvWipeAndRelease(block, sizeof(CORVBuffer));
  }
  static void operator delete(void*, void*) noexcept {}

 protected:
  T* m_pBuffer;
  ULONG m_ulNumElems;

  // memmove, so that a buffer may copy within itself.
  static void copyElems(T* pDestination, const T* pSource, ULONG ulNumElems) {
    if (ulNumElems == 0) return;
    if (std::memmove(pDestination, pSource, static_cast<size_t>(ulNumElems) * sizeof(T)) != pDestination)
      throw CORVMemoryCopyException(static_cast<DWORD>(errno), ORV_BUFFER_SOURCE_FILE, __LINE__, true);
  }

  // A count too large for the 32 bits of the interface cannot be allocated.
  static ULONG addCounts(ULONG a, ULONG b) {
    if (a > 0xFFFFFFFFu - b)
      throw CORVMemAllocException(ORV_W("m_pBuffer"), ORV_BUFFER_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    return a + b;
  }

 private:
  size_t byteSize() const { return static_cast<size_t>(m_ulNumElems) * sizeof(T); }
};

template <typename T>
CORVBuffer<T>::CORVBuffer(ULONG ulNumElems) : m_pBuffer(nullptr), m_ulNumElems(0) {
  if (ulNumElems != 0 && !init(ulNumElems))
    throw CORVBufferInitException(ORV_BUFFER_SOURCE_FILE, kInitFailureLine, true);
}

template <typename T>
CORVBuffer<T>::CORVBuffer(const T* pSource, ULONG ulNumElems, ULONG ulOffset) : m_pBuffer(nullptr), m_ulNumElems(0) {
  bool built = true;
  try {
    if (ulNumElems != 0 && pSource == nullptr) {
      built = init(ulNumElems);
    } else if (ulNumElems != 0) {
      built = init(addCounts(ulNumElems, ulOffset));
      if (built) copyElems(m_pBuffer + ulOffset, pSource, ulNumElems);
    }
  }
  ORV_CATCH_THEN_FROM(errno, ORV_BUFFER_SOURCE_FILE, __LINE__, built = false)
  if (!built) {
    free();
    throw CORVBufferInitException(ORV_BUFFER_SOURCE_FILE, __LINE__, true);
  }
}

template <typename T>
CORVBuffer<T>::CORVBuffer(const CORVBuffer& other) : m_pBuffer(nullptr), m_ulNumElems(0) {
  *this = other;
  if (m_ulNumElems != other.m_ulNumElems) {
    free();
    throw CORVBufferInitException(ORV_BUFFER_SOURCE_FILE, __LINE__, true);
  }
}

template <typename T>
CORVBuffer<T>::CORVBuffer(CORVBuffer&& other) noexcept : m_pBuffer(other.m_pBuffer), m_ulNumElems(other.m_ulNumElems) {
  other.m_pBuffer = nullptr;
  other.m_ulNumElems = 0;
}

template <typename T>
template <typename U>
CORVBuffer<T>::CORVBuffer(const CORVBuffer<U>& other) : m_pBuffer(nullptr), m_ulNumElems(0) {
  const unsigned long long bytes = static_cast<unsigned long long>(other.getNumElems()) * sizeof(U);
  const unsigned long long count = (bytes + sizeof(T) - 1) / sizeof(T);
  bool built = false;
  try {
    if (count > 0xFFFFFFFFu)
      throw CORVMemAllocException(ORV_W("m_pBuffer"), ORV_BUFFER_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    built = init(static_cast<ULONG>(count));
    if (built && bytes != 0) std::memcpy(m_pBuffer, other.getBuffer(), static_cast<size_t>(bytes));
  }
  ORV_CATCH_THEN_FROM(errno, ORV_BUFFER_SOURCE_FILE, __LINE__, built = false)
  if (!built) {
    free();
    throw CORVBufferInitException(ORV_BUFFER_SOURCE_FILE, __LINE__, true);
  }
}

template <typename T>
bool CORVBuffer<T>::init(ULONG ulNumElems) {
  try {
    if (!free()) return false;
    if (ulNumElems == 0) return true;
    // The byte size must fit in 32 bits, as on the 32-bit build.
    const unsigned long long bytes = static_cast<unsigned long long>(ulNumElems) * sizeof(T);
    void* const block = bytes > 0xFFFFFFFFu ? nullptr : orvAllocate(static_cast<size_t>(bytes));
    if (block == nullptr)
      throw CORVMemAllocException(ORV_W("m_pBuffer"), ORV_BUFFER_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    m_pBuffer = static_cast<T*>(block);
    m_ulNumElems = ulNumElems;
    return wipe();
  }
  ORV_BUFFER_CATCH_RETURN(false)
}

template <typename T>
bool CORVBuffer<T>::free() {
  try {
    if (m_pBuffer != nullptr) {
      wipe();
      orvRelease(m_pBuffer, byteSize());
    }
    m_pBuffer = nullptr;
    m_ulNumElems = 0;
    return true;
  }
  ORV_BUFFER_CATCH_RETURN(false)
}

template <typename T>
bool CORVBuffer<T>::resize(ULONG ulNumElems) {
  try {
    if (ulNumElems == m_ulNumElems) return true;
    // Into fresh storage first, so that a failed allocation loses nothing;
    // the old storage is wiped when `grown` goes.
    CORVBuffer grown;
    if (!grown.init(ulNumElems)) return false;
    copyElems(grown.m_pBuffer, m_pBuffer, ulNumElems < m_ulNumElems ? ulNumElems : m_ulNumElems);
    swap(grown);
    return true;
  }
  ORV_BUFFER_CATCH_RETURN(false)
}

template <typename T>
CORVBuffer<T>& CORVBuffer<T>::operator=(const CORVBuffer& other) {
  if (this == &other) return *this;
  try {
    if (init(other.m_ulNumElems)) copyElems(m_pBuffer, other.m_pBuffer, other.m_ulNumElems);
  }
  ORV_BUFFER_CATCH_RETURN(*this)
  return *this;
}

template <typename T>
CORVBuffer<T>& CORVBuffer<T>::operator=(CORVBuffer&& other) noexcept {
  if (this != &other) {
    free();
    swap(other);
  }
  return *this;
}

template <typename T>
T& CORVBuffer<T>::operator[](ULONG ulIndex) {
  if (ulIndex >= m_ulNumElems)
    ORV_THROW_IN_PLACE_FROM(CORVIndexOutOfBoundsException, ORV_NO_ERROR_CODE, ORV_BUFFER_SOURCE_FILE, __LINE__);
  return m_pBuffer[ulIndex];
}

template <typename T>
T CORVBuffer<T>::operator[](ULONG ulIndex) const {
  if (ulIndex >= m_ulNumElems)
    ORV_THROW_IN_PLACE_FROM(CORVIndexOutOfBoundsException, ORV_NO_ERROR_CODE, ORV_BUFFER_SOURCE_FILE, __LINE__);
  return m_pBuffer[ulIndex];
}

template <typename T>
bool CORVBuffer<T>::operator==(const CORVBuffer& other) const {
  if (m_ulNumElems != other.m_ulNumElems) return false;
  return m_ulNumElems == 0 || std::memcmp(m_pBuffer, other.m_pBuffer, byteSize()) == 0;
}

template <typename T>
bool CORVBuffer<T>::fill(T value, ULONG ulOffset) {
  try {
    if (ulOffset >= m_ulNumElems) ORV_BUFFER_BAD_ARG("ulOffset", "value is out of bounds");
    for (ULONG i = ulOffset; i < m_ulNumElems; ++i) m_pBuffer[i] = value;
    return true;
  }
  ORV_BUFFER_CATCH_RETURN(false)
}

template <typename T>
bool CORVBuffer<T>::wipe() {
  try {
    if (m_pBuffer == nullptr || m_ulNumElems == 0) return true;  // nothing to wipe
    if (std::memset(m_pBuffer, 0, byteSize()) != m_pBuffer)
      throw CORVMemorySetException(static_cast<DWORD>(errno), ORV_BUFFER_SOURCE_FILE, __LINE__, true);
    return true;
  }
  ORV_BUFFER_CATCH_RETURN(false)
}

template <typename T>
bool CORVBuffer<T>::append(const CORVBuffer& other) {
  try {
    // Counted before resizing: other may be this buffer, whose leading
    // elements the resize keeps in place.
    const ULONG ulOldNumElems = m_ulNumElems;
    const ULONG ulAdded = other.m_ulNumElems;
    if (!resize(addCounts(ulOldNumElems, ulAdded))) return false;
    copyElems(m_pBuffer + ulOldNumElems, other.m_pBuffer, ulAdded);
    return true;
  }
  ORV_BUFFER_CATCH_RETURN(false)
}

template <typename T>
bool CORVBuffer<T>::appendAt(const CORVBuffer& other, ULONG ulOffset) {
  try {
    if (ulOffset > m_ulNumElems)
      throw CORVBadArgException(ORV_W("ulOffset"),
                                ORV_W("can't append a buffer at an offset past the bounds of this buffer"), nullptr, 0,
                                ORV_OUTPUT_TEXT, true, false);
    if (&other == this) {
      const CORVBuffer copy(other);
      return appendAt(copy, ulOffset);
    }
    if (!resize(addCounts(ulOffset, other.m_ulNumElems))) return false;
    return write(other, ulOffset, false);
  }
  ORV_BUFFER_CATCH_RETURN(false)
}

template <typename T>
bool CORVBuffer<T>::write(const CORVBuffer& other, ULONG ulOffset, bool bGrow) {
  try {
    if (other.m_ulNumElems == 0) ORV_BUFFER_BAD_ARG("buffer", "buffer is of zero size - can't write");
    if (static_cast<unsigned long long>(ulOffset) + other.m_ulNumElems <= m_ulNumElems) {
      copyElems(m_pBuffer + ulOffset, other.m_pBuffer, other.m_ulNumElems);
      return true;
    }
    if (!bGrow) ORV_BUFFER_BAD_ARG("buffer", "buffer + offset will overrun this buffer");
    return appendAt(other, ulOffset);
  }
  ORV_BUFFER_CATCH_RETURN(false)
}

template <typename T>
bool CORVBuffer<T>::read(CORVBuffer& out, ULONG ulOffset, ULONG& ulNumElems) const {
  try {
    if (&out == this) {
      CORVBuffer part;
      const bool done = read(part, ulOffset, ulNumElems);
      out.swap(part);
      return done;
    }
    out.free();
    if (ulNumElems == 0) return true;
    if (static_cast<unsigned long long>(ulOffset) + ulNumElems > m_ulNumElems) {
      ulNumElems = ulOffset < m_ulNumElems ? m_ulNumElems - ulOffset : 0;
      ORV_BUFFER_BAD_ARG("ulNumElems + ulOffset", "can't read more elements than are in this buffer");
    }
    if (!out.init(ulNumElems)) return false;
    copyElems(out.m_pBuffer, m_pBuffer + ulOffset, ulNumElems);
    return true;
  }
  ORV_BUFFER_CATCH_RETURN(false)
}

template <typename T>
bool CORVBuffer<T>::read(void* pBuffer, ULONG ulOffset, ULONG& ulNumElems) const {
  try {
    if (pBuffer == nullptr) ORV_BUFFER_BAD_ARG("pBuffer", "value is NULL");
    if (ulNumElems == 0) return true;
    if (static_cast<unsigned long long>(ulOffset) + ulNumElems > m_ulNumElems) {
      ulNumElems = ulOffset < m_ulNumElems ? m_ulNumElems - ulOffset : 0;
      ORV_BUFFER_BAD_ARG("ulNumElems + ulOffset", "can't read more elements than are in this buffer");
    }
    copyElems(static_cast<T*>(pBuffer), m_pBuffer + ulOffset, ulNumElems);
    return true;
  }
  ORV_BUFFER_CATCH_RETURN(false)
}
