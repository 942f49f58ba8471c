// CORVDblList and its nodes: the cursor, deep copies, equality, ownership of
// pointed objects, and wiped nodes.
#include "orv_dbllist.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checking_allocator.h"
#include "orv_wchar_string.h"

namespace {

using orv_test::CheckingAllocator;
using orv_test::textOf;
using orv_test::wideString;

typedef CORVDblList<CORVObjNode<CORVWCharString>> ObjList;
typedef CORVDblList<CORVPtrNode<CORVWCharString>> PtrList;

template <typename List>
std::vector<std::string> contents(List& list) {
  std::vector<std::string> texts;
  CORVWCharString value;
  for (bool more = list.moveFirst(); more; more = list.moveNext()) {
    EXPECT_TRUE(list.getCurrent(value));
    texts.push_back(textOf(value));
  }
  return texts;
}

ObjList listOf(const std::vector<std::string>& texts, INT firstTag = 0) {
  ObjList list;
  for (const std::string& t : texts) EXPECT_TRUE(list.addTail(wideString(t), firstTag++));
  return list;
}

TEST(DblList, CursorWalksFromHeadToTail) {
  ObjList list = listOf({"one", "two", "three"});
  EXPECT_EQ(list.getCount(), 3u);
  EXPECT_EQ(textOf(*list.getCurrentData()), "one");  // the first node added is current
  EXPECT_TRUE(list.moveNext());
  EXPECT_TRUE(list.moveNext());
  EXPECT_FALSE(list.moveNext());
  EXPECT_EQ(textOf(*list.getCurrentData()), "three");
  EXPECT_TRUE(list.setCurrent(wideString("drei")));
  EXPECT_EQ(contents(list), (std::vector<std::string>{"one", "two", "drei"}));
}

TEST(DblList, EmptyListHasNoCurrentElement) {
  ObjList list;
  CORVWCharString out = wideString("kept");
  EXPECT_FALSE(list.moveFirst());
  EXPECT_FALSE(list.moveNext());
  EXPECT_FALSE(list.getCurrent(out));
  EXPECT_EQ(textOf(out), "kept");
  EXPECT_EQ(list.getCurrentData(), nullptr);
  EXPECT_FALSE(list.setCurrent(out));
  EXPECT_TRUE(list.clear());
  EXPECT_EQ(list.getCount(), 0u);
  EXPECT_FALSE(list.addTail(static_cast<CORVObjNode<CORVWCharString>*>(nullptr)));
}

TEST(DblList, ClearEmptiesAndTheListCanBeFilledAgain) {
  ObjList list = listOf({"a", "b"});
  EXPECT_TRUE(list.clear());
  EXPECT_EQ(list.getCount(), 0u);
  EXPECT_FALSE(list.moveFirst());
  EXPECT_TRUE(list.addTail(wideString("c"), 0));
  EXPECT_EQ(contents(list), (std::vector<std::string>{"c"}));
}

TEST(DblList, EqualityComparesTagsAndPayloads) {
  EXPECT_TRUE(listOf({"a", "b"}) == listOf({"a", "b"}));
  EXPECT_FALSE(listOf({"a", "b"}) == listOf({"a", "b"}, 1));  // same strings, other tags
  EXPECT_FALSE(listOf({"a", "b"}) == listOf({"a", "c"}));
  EXPECT_FALSE(listOf({"a"}) == listOf({"a", "b"}));
  EXPECT_TRUE(ObjList() == ObjList());
}

TEST(DblList, CopiesAreDeep) {
  ObjList objects = listOf({"x", "y"}, 5);
  ObjList objectCopy(objects);
  EXPECT_TRUE(objectCopy == objects);
  objectCopy.moveFirst();
  objectCopy.setCurrent(wideString("changed"));
  EXPECT_EQ(contents(objects), (std::vector<std::string>{"x", "y"}));

  PtrList pointers;
  pointers.addTail(new CORVWCharString(ORV_W("p")));
  pointers.addTail(new CORVWCharString(ORV_W("q")));
  PtrList pointerCopy;
  pointerCopy = pointers;
  EXPECT_TRUE(pointerCopy == pointers);
  pointerCopy.moveFirst();
  EXPECT_NE(pointerCopy.getCurrentData(), pointers.getCurrentData());  // new objects
  pointerCopy.setCurrent(wideString("changed"));
  EXPECT_EQ(contents(pointers), (std::vector<std::string>{"p", "q"}));
  EXPECT_EQ(contents(pointerCopy), (std::vector<std::string>{"changed", "q"}));

  const PtrList& same = pointerCopy;
  pointerCopy = same;
  EXPECT_EQ(pointerCopy.getCount(), 2u);
  PtrList moved(std::move(pointerCopy));
  EXPECT_EQ(pointerCopy.getCount(), 0u);
  EXPECT_EQ(contents(moved), (std::vector<std::string>{"changed", "q"}));
}

TEST(DblList, NodesCompareStringsByTheStringRules) {
  const CORVObjNode<CORVWCharString> node(wideString("abc"), 3);
  EXPECT_EQ(node.getIndex(), 3);
  EXPECT_TRUE(node.isEqual(wideString("abc")));
  EXPECT_TRUE(node.isNotEqual(wideString("abd")));
  EXPECT_TRUE(node.isLess(wideString("abd")));
  EXPECT_FALSE(node.isGreater(wideString("abd")));
  EXPECT_TRUE(node.isLess(wideString("ab")));  // other lengths: both less and greater
  EXPECT_TRUE(node.isGreater(wideString("ab")));
  // A payload without an order of its own is never less or greater.
  const CORVObjNode<int> number(4);
  EXPECT_FALSE(number.isLess(5));
  EXPECT_FALSE(number.isGreater(3));
  EXPECT_TRUE(number.isEqual(4));
  CORVPtrNode<CORVWCharString> empty(nullptr);
  EXPECT_FALSE(empty.isEqual(CORVWCharString()));
  EXPECT_FALSE(empty.isLess(wideString("a")));
}

TEST(DblList, NodesAndOwnedObjectsAreWipedAndNeverLeak) {
  CheckingAllocator allocator;
  {
    PtrList pointers;
    pointers.addTail(new CORVWCharString(ORV_W("owned secret")));
    CORVPtrNode<CORVWCharString>* node = new CORVPtrNode<CORVWCharString>(new CORVWCharString(ORV_W("a")), 7);
    EXPECT_TRUE(node->setData(new CORVWCharString(ORV_W("b"))));  // the old object goes
    pointers.addTail(node);
    PtrList copy(pointers);
    ObjList objects = listOf({"s1", "s2", "s3"});
    ObjList other;
    other = objects;
    objects.clear();
  }
  EXPECT_GT(allocator.released(), 10u);
  EXPECT_EQ(allocator.notWiped(), 0u);
  EXPECT_EQ(allocator.outstanding(), 0);
}

TEST(DblList, FailedAllocationLeavesTheListAsItWas) {
  CheckingAllocator allocator;
  {
    ObjList objects = listOf({"a"});
    const CORVWCharString added = wideString("b");
    allocator.failAllocation(1);  // the node
    EXPECT_FALSE(objects.addTail(added, 1));
    allocator.failAllocation(2);  // the copied payload
    EXPECT_FALSE(objects.addTail(added, 1));
    EXPECT_EQ(contents(objects), (std::vector<std::string>{"a"}));

    PtrList pointers;
    CORVWCharString* object = new CORVWCharString(ORV_W("taken"));
    allocator.failAllocation(1);
    EXPECT_FALSE(pointers.addTail(object));  // deleted: the list owned it
    EXPECT_EQ(pointers.getCount(), 0u);
    EXPECT_FALSE(pointers.addTail(static_cast<CORVWCharString*>(nullptr)));

    // A copy stops at the first node it cannot make.
    PtrList source;
    source.addTail(new CORVWCharString(ORV_W("1")));
    source.addTail(new CORVWCharString(ORV_W("2")));
    allocator.failAllocation(4);  // the second object
    PtrList copy(source);
    EXPECT_EQ(contents(copy), (std::vector<std::string>{"1"}));
    allocator.succeed();
  }
  EXPECT_EQ(allocator.notWiped(), 0u);
  EXPECT_EQ(allocator.outstanding(), 0);
}

}  // namespace
