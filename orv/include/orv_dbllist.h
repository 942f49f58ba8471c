// CORVDblList<TNode>: a doubly linked list with a cursor, owning its nodes,
// one template per node kind: CORVObjNode<T> (a copy of each element) or
// CORVPtrNode<T> (each element a heap object that the list owns).
//
// Iteration: moveFirst(), read the current element, moveNext() until it
// returns false. Nodes are only ever added at the tail.
//
// Lists cross to loaded modules, which fill them in place: the layout is
// head, tail, cursor and count, and nothing else.
#pragma once

#include <cerrno>
#include <new>
#include <utility>

#include "orv_catch.h"
#include "orv_dbllist_node.h"
#include "orv_exceptions.h"
#include "orv_win32.h"

#define ORV_DBLLIST_CATCH_RETURN(result) ORV_CATCH_THEN_FROM(errno, ORV_DBLLIST_SOURCE_FILE, __LINE__, return (result))

template <typename TNode>
class CORVDblList {
 public:
  typedef typename TNode::DataType DataType;

  CORVDblList() : m_pHead(nullptr), m_pTail(nullptr), m_pCursor(nullptr), m_ulCount(0) {}
  // A deep copy; a node that cannot be copied ends the copy there (logged).
  CORVDblList(const CORVDblList& other) : CORVDblList() { *this = other; }
  CORVDblList(CORVDblList&& other) noexcept
      : m_pHead(other.m_pHead), m_pTail(other.m_pTail), m_pCursor(other.m_pCursor), m_ulCount(other.m_ulCount) {
    other.forget();
  }
  ~CORVDblList() { clear(); }

  CORVDblList& operator=(const CORVDblList& other);
  CORVDblList& operator=(CORVDblList&& other) noexcept;
  // Equal counts, and node by node equal tags and equal payloads.
  bool operator==(const CORVDblList& other) const;
  bool operator!=(const CORVDblList& other) const { return !(*this == other); }

  // Links a node built by the caller, which the list then owns.
  bool addTail(TNode* pNode);
  // Object-node lists: a node holding a copy of data, tagged nIndex.
  bool addTail(const DataType& data, INT nIndex = 0) { return addNewNode(data, nIndex); }
  bool addTail(DataType&& data, INT nIndex = 0) { return addNewNode(std::move(data), nIndex); }
  // Pointer-node lists: a node tagged 0 that owns pObject. The list owns
  // pObject from this call on: when no node can be made for it, it is
  // deleted.
  bool addTail(DataType* pObject);

  // Deletes every node; the list is then empty.
  bool clear();

  // True when the list has a first node.
  bool moveFirst();
  // False, with the cursor where it was, at the tail or without a cursor.
  bool moveNext();
  // Copies the current element into out.
  bool getCurrent(DataType& out) const;
  // The current element itself, or null.
  DataType* getCurrentData() const { return m_pCursor != nullptr ? m_pCursor->getData() : nullptr; }
  // Replaces the value of the current element.
  bool setCurrent(const DataType& data);

  ULONG getCount() const { return m_ulCount; }

 private:
  static TNode* next(TNode* pNode) { return static_cast<TNode*>(pNode->m_pNext); }
  template <typename TData>
  bool addNewNode(TData&& data, INT nIndex);
  bool addCopyOf(TNode& node);
  // Drops the nodes without deleting them (they moved to another list).
  void forget() {
    m_pHead = nullptr;
    m_pTail = nullptr;
    m_pCursor = nullptr;
    m_ulCount = 0;
  }

  TNode* m_pHead;
  TNode* m_pTail;
  TNode* m_pCursor;
  ULONG m_ulCount;
};

template <typename TNode>
CORVDblList<TNode>& CORVDblList<TNode>::operator=(const CORVDblList& other) {
  if (this == &other) return *this;
  try {
    if (m_ulCount != 0) clear();
    for (TNode* pNode = other.m_pHead; pNode != nullptr; pNode = next(pNode))
      if (!addCopyOf(*pNode)) break;
  }
  ORV_DBLLIST_CATCH_RETURN(*this)
  return *this;
}

template <typename TNode>
CORVDblList<TNode>& CORVDblList<TNode>::operator=(CORVDblList&& other) noexcept {
  if (this != &other) {
    clear();
    m_pHead = other.m_pHead;
    m_pTail = other.m_pTail;
    m_pCursor = other.m_pCursor;
    m_ulCount = other.m_ulCount;
    other.forget();
  }
  return *this;
}

template <typename TNode>
bool CORVDblList<TNode>::addCopyOf(TNode& node) {
  if constexpr (TNode::kOwnsPointer) {
    DataType* pCopy = nullptr;
    if (node.getData() != nullptr) {
      pCopy = new (std::nothrow) DataType(*node.getData());
      if (pCopy == nullptr)
        throw CORVMemAllocException(ORV_W("pNode"), ORV_DBLLIST_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    }
    TNode* pNode = new TNode(pCopy, node.m_nIndex);
    if (pNode == nullptr) {
      delete pCopy;
      throw CORVMemAllocException(ORV_W("pNode"), ORV_DBLLIST_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    }
    return addTail(pNode);
  } else {
    return addTail(*node.getData(), node.m_nIndex);
  }
}

template <typename TNode>
bool CORVDblList<TNode>::operator==(const CORVDblList& other) const {
  if (m_ulCount != other.m_ulCount) return false;
  for (TNode *pMine = m_pHead, *pTheirs = other.m_pHead; pMine != nullptr && pTheirs != nullptr;
       pMine = next(pMine), pTheirs = next(pTheirs)) {
    if (pMine->m_nIndex != pTheirs->m_nIndex) return false;
    const DataType* pData = pTheirs->getData();
    if (pData == nullptr ? pMine->getData() != nullptr : !pMine->isEqual(*pData)) return false;
  }
  return true;
}

template <typename TNode>
bool CORVDblList<TNode>::addTail(TNode* pNode) {
  if (pNode == nullptr) return false;
  pNode->m_pNext = nullptr;
  pNode->m_pPrev = m_pTail;
  if (m_pTail != nullptr) {
    m_pTail->m_pNext = pNode;
  } else {
    m_pHead = pNode;
    m_pCursor = pNode;
  }
  m_pTail = pNode;
  ++m_ulCount;
  return true;
}

template <typename TNode>
template <typename TData>
bool CORVDblList<TNode>::addNewNode(TData&& data, INT nIndex) {
  static_assert(!TNode::kOwnsPointer, "a pointer-node list takes heap objects: addTail(T*)");
  try {
    TNode* pNewNode = new TNode(std::forward<TData>(data), nIndex);
    if (pNewNode == nullptr)
      throw CORVMemAllocException(ORV_W("pNewNode"), ORV_DBLLIST_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    return addTail(pNewNode);
  }
  ORV_DBLLIST_CATCH_RETURN(false)
}

template <typename TNode>
bool CORVDblList<TNode>::addTail(DataType* pObject) {
  static_assert(TNode::kOwnsPointer, "an object-node list copies its elements: addTail(data, nIndex)");
  if (pObject == nullptr) return false;
  try {
    TNode* pNewNode = new TNode(pObject, 0);
    if (pNewNode == nullptr) {
      delete pObject;
      throw CORVMemAllocException(ORV_W("pNewNode"), ORV_DBLLIST_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    }
    return addTail(pNewNode);
  }
  ORV_DBLLIST_CATCH_RETURN(false)
}

template <typename TNode>
bool CORVDblList<TNode>::clear() {
  m_pCursor = m_pHead;
  while (m_pCursor != nullptr) {
    TNode* pTempCursor = m_pCursor;
    m_pCursor = next(m_pCursor);
    pTempCursor->m_pNext = nullptr;
    pTempCursor->m_pPrev = nullptr;
    try {
      delete pTempCursor;
    } catch (...) {
      CMemDestroyFailWarning(ORV_W("pTempCursor"), ORV_DBLLIST_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    }
  }
  forget();
  return true;
}

template <typename TNode>
bool CORVDblList<TNode>::moveFirst() {
  m_pCursor = m_pHead;
  return m_pCursor != nullptr;
}

template <typename TNode>
bool CORVDblList<TNode>::moveNext() {
  if (m_pCursor == nullptr || m_pCursor->m_pNext == nullptr) return false;
  m_pCursor = next(m_pCursor);
  return true;
}

template <typename TNode>
bool CORVDblList<TNode>::getCurrent(DataType& out) const {
  try {
    const DataType* pData = m_pCursor != nullptr ? m_pCursor->getData() : nullptr;
    if (pData == nullptr) return false;
    out = *pData;
    return out == *pData;  // an assignment that failed inside shows here
  }
  ORV_DBLLIST_CATCH_RETURN(false)
}

template <typename TNode>
bool CORVDblList<TNode>::setCurrent(const DataType& data) {
  try {
    if (m_pCursor == nullptr) return false;
    if constexpr (TNode::kOwnsPointer) {
      DataType* pData = m_pCursor->getData();
      if (pData == nullptr) return false;
      *pData = data;
      return *pData == data;
    } else {
      return m_pCursor->setData(data);
    }
  }
  ORV_DBLLIST_CATCH_RETURN(false)
}
