// The nodes of CORVDblList: CORVObjNode<T> holds its own copy of a T,
// CORVPtrNode<T> owns a heap T through m_pPointer. Both derive from the
// abstract CORVNode, CORVNode<const T&> and CORVNode<const T*> respectively.
//
// Nodes cross to loaded modules inside lists: their layout is the links,
// the tag, then the payload, behind the virtual table.
#pragma once

#include <type_traits>
#include <utility>

#include "orv_allocator.h"
#include "orv_exceptions.h"
#include "orv_win32.h"

// The source file the list's records name.
#define ORV_DBLLIST_SOURCE_FILE ORV_W("orv_dbllist.h")

// How nodes order their payloads: not at all, unless a payload type says
// otherwise with a specialisation.
template <typename T>
struct CORVNodeOrder {
  static bool isLess(const T&, const T&) { return false; }
  static bool isGreater(const T&, const T&) { return false; }
};

// TArg is const T& for object nodes and const T* for pointer nodes.
template <typename TArg>
class CORVNode {
 public:
  typedef std::remove_const_t<std::remove_pointer_t<std::remove_reference_t<TArg>>> DataType;
  // What setData takes: a T to copy, or a pointer to own.
  typedef std::conditional_t<std::is_pointer<TArg>::value, DataType*, const DataType&> SetArg;

  explicit CORVNode(INT nIndex) : m_pNext(nullptr), m_pPrev(nullptr), m_nIndex(nIndex) {}
  CORVNode(const CORVNode&) = delete;
  CORVNode& operator=(const CORVNode&) = delete;
  virtual ~CORVNode() {
    m_pNext = nullptr;
    m_pPrev = nullptr;
  }

  virtual bool isEqual(const DataType& data) const = 0;
  virtual bool isNotEqual(const DataType& data) const = 0;
  virtual bool isLess(const DataType& data) const = 0;
  virtual bool isGreater(const DataType& data) const = 0;
  // The payload; null for a pointer node that owns nothing.
  virtual DataType* getData() = 0;
  virtual bool setData(SetArg data) = 0;

  INT getIndex() const { return m_nIndex; }

  // Nodes come from the buffers' allocator and are wiped when deleted.
  static void* operator new(size_t bytes) noexcept { return orvAllocate(bytes); }
  static void operator delete(void* block, size_t bytes) noexcept { orvWipeAndRelease(block, bytes); }

  CORVNode* m_pNext;
  CORVNode* m_pPrev;
  INT m_nIndex;
};

template <typename T>
class CORVObjNode : public CORVNode<const T&> {
 public:
  typedef T DataType;
  static constexpr bool kOwnsPointer = false;

  explicit CORVObjNode(const T& data, INT nIndex = 0) : CORVNode<const T&>(nIndex), m_data(data) {}
  explicit CORVObjNode(T&& data, INT nIndex = 0) : CORVNode<const T&>(nIndex), m_data(std::move(data)) {}

  bool isEqual(const T& data) const override { return m_data == data; }
  bool isNotEqual(const T& data) const override { return !(m_data == data); }
  bool isLess(const T& data) const override { return CORVNodeOrder<T>::isLess(m_data, data); }
  bool isGreater(const T& data) const override { return CORVNodeOrder<T>::isGreater(m_data, data); }
  T* getData() override { return &m_data; }
  // True when the payload took the value (an assignment may fail inside).
  bool setData(const T& data) override {
    m_data = data;
    return m_data == data;
  }

  T m_data;
};

template <typename T>
class CORVPtrNode : public CORVNode<const T*> {
 public:
  typedef T DataType;
  static constexpr bool kOwnsPointer = true;

  // Takes ownership of pPointer.
  explicit CORVPtrNode(T* pPointer, INT nIndex = 0) : CORVNode<const T*>(nIndex), m_pPointer(pPointer) {}
  ~CORVPtrNode() override { destroyPointer(); }

  bool isEqual(const T& data) const override { return m_pPointer != nullptr && *m_pPointer == data; }
  bool isNotEqual(const T& data) const override { return !isEqual(data); }
  bool isLess(const T& data) const override {
    return m_pPointer != nullptr && CORVNodeOrder<T>::isLess(*m_pPointer, data);
  }
  bool isGreater(const T& data) const override {
    return m_pPointer != nullptr && CORVNodeOrder<T>::isGreater(*m_pPointer, data);
  }
  T* getData() override { return m_pPointer; }
  // Takes ownership of pPointer; the object owned so far is deleted, since
  // nothing else owns it.
  bool setData(T* pPointer) override {
    if (pPointer != m_pPointer) destroyPointer();
    m_pPointer = pPointer;
    return true;
  }

  T* m_pPointer;

 private:
  void destroyPointer() noexcept {
    try {
      delete m_pPointer;
    } catch (...) {
      CMemDestroyFailWarning(ORV_W("m_pPointer"), ORV_DBLLIST_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    }
    m_pPointer = nullptr;
  }
};
