// CORVBuffer<T>: bounds, sizes, copies, the two instantiations' conversion,
// and that released memory is wiped and a failed allocation loses nothing.
#include "orv_buffer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "checking_allocator.h"
#include "exception_log_fixture.h"

namespace {

using orv_test::badArgument;
using orv_test::CheckingAllocator;
using Bytes = CORVBuffer<BYTE>;
using Units = CORVBuffer<WCHAR>;

Bytes bytesOf(std::vector<BYTE> values) { return Bytes(values.data(), static_cast<ULONG>(values.size())); }

std::vector<BYTE> valuesOf(const Bytes& buffer) {
  return std::vector<BYTE>(buffer.getBuffer(), buffer.getBuffer() + buffer.getNumElems());
}

TEST(Buffer, EmptyBufferHasNoStorage) {
  const Units units(0);
  EXPECT_FALSE(units.isValid());
  EXPECT_EQ(units.getBuffer(), nullptr);
  EXPECT_EQ(units.getNumElems(), 0u);
  // A count with no source, or a source with no count.
  const BYTE one = 1;
  EXPECT_FALSE(Bytes(&one, 0).isValid());
  EXPECT_FALSE(Bytes(nullptr, 0, 4).isValid());
  EXPECT_EQ(Bytes(), Bytes(0));
}

TEST(Buffer, ConstructorsZeroFillAndPlaceTheSource) {
  EXPECT_EQ(valuesOf(Bytes(3)), (std::vector<BYTE>{0, 0, 0}));
  const WCHAR ab[] = {ORV_W('a'), ORV_W('b')};
  const Units placed(ab, 2, 1);
  ASSERT_EQ(placed.getNumElems(), 3u);
  EXPECT_EQ(placed[0], 0);
  EXPECT_EQ(placed[1], ORV_W('a'));
  EXPECT_EQ(placed[2], ORV_W('b'));
  // A null source ignores the offset.
  EXPECT_EQ(Bytes(nullptr, 2, 5).getNumElems(), 2u);
}

TEST(Buffer, InitDiscardsAndResizeKeepsTheLeadingElements) {
  Bytes buffer = bytesOf({1, 2, 3});
  EXPECT_TRUE(buffer.init(5));
  EXPECT_EQ(valuesOf(buffer), (std::vector<BYTE>{0, 0, 0, 0, 0}));
  buffer = bytesOf({1, 2, 3});
  EXPECT_TRUE(buffer.resize(5));
  EXPECT_EQ(valuesOf(buffer), (std::vector<BYTE>{1, 2, 3, 0, 0}));
  EXPECT_TRUE(buffer.resize(2));
  EXPECT_EQ(valuesOf(buffer), (std::vector<BYTE>{1, 2}));
  EXPECT_TRUE(buffer.resize(0));
  EXPECT_FALSE(buffer.isValid());
}

TEST(Buffer, FillChecksItsOffset) {
  Bytes buffer(4);
  EXPECT_TRUE(buffer.fill(7, 2));
  EXPECT_EQ(valuesOf(buffer), (std::vector<BYTE>{0, 0, 7, 7}));
  EXPECT_FALSE(buffer.fill(9, 4));
  EXPECT_EQ(valuesOf(buffer), (std::vector<BYTE>{0, 0, 7, 7}));
  EXPECT_FALSE(Bytes().fill(9, 0));
}

TEST(Buffer, WriteAppendAndAppendAt) {
  struct Case {
    const char* name;
    std::vector<BYTE> start;
    ULONG offset;
    bool grow;
    bool expected;
    std::vector<BYTE> result;
  };
  const std::vector<BYTE> three = {7, 8, 9};
  const Case writes[] = {
      {"fits", {1, 2, 3, 4, 5}, 1, false, true, {1, 7, 8, 9, 5}},
      {"overruns without growing", {1, 2, 3, 4}, 2, false, false, {1, 2, 3, 4}},
      {"overruns and grows", {1, 2, 3, 4}, 2, true, true, {1, 2, 7, 8, 9}},
      {"past the end even growing", {1, 2}, 3, true, false, {1, 2}},
  };
  for (const Case& c : writes) {
    Bytes buffer = bytesOf(c.start);
    EXPECT_EQ(buffer.write(bytesOf(three), c.offset, c.grow), c.expected) << c.name;
    EXPECT_EQ(valuesOf(buffer), c.result) << c.name;
  }
  Bytes buffer = bytesOf({1, 2});
  EXPECT_FALSE(buffer.write(Bytes(), 0, true));  // nothing to write

  // appendAt cuts at the offset; at the count it is append.
  buffer = bytesOf({1, 2, 3, 4});
  EXPECT_TRUE(buffer.appendAt(bytesOf({9}), 1));
  EXPECT_EQ(valuesOf(buffer), (std::vector<BYTE>{1, 9}));
  EXPECT_TRUE(buffer.appendAt(bytesOf({5, 6}), 2));
  EXPECT_EQ(valuesOf(buffer), (std::vector<BYTE>{1, 9, 5, 6}));
  EXPECT_FALSE(buffer.appendAt(bytesOf({5}), 5));
  EXPECT_EQ(valuesOf(buffer), (std::vector<BYTE>{1, 9, 5, 6}));

  EXPECT_TRUE(buffer.append(buffer));  // itself
  EXPECT_EQ(valuesOf(buffer), (std::vector<BYTE>{1, 9, 5, 6, 1, 9, 5, 6}));
  buffer = bytesOf({1, 2});
  EXPECT_TRUE(buffer.appendAt(buffer, 1));
  EXPECT_EQ(valuesOf(buffer), (std::vector<BYTE>{1, 1, 2}));
}

TEST(Buffer, ReadReportsWhatCouldBeRead) {
  const Bytes buffer = bytesOf({1, 2, 3, 4});
  Bytes out = bytesOf({9});
  ULONG count = 5;
  EXPECT_FALSE(buffer.read(out, 2, count));
  EXPECT_EQ(count, 2u);
  EXPECT_FALSE(out.isValid());
  count = 2;
  EXPECT_TRUE(buffer.read(out, 1, count));
  EXPECT_EQ(valuesOf(out), (std::vector<BYTE>{2, 3}));
  count = 1;
  EXPECT_FALSE(buffer.read(out, 9, count));  // an offset past the end can read nothing
  EXPECT_EQ(count, 0u);
  count = 0;
  EXPECT_TRUE(buffer.read(out, 0, count));
  EXPECT_FALSE(out.isValid());

  BYTE raw[2] = {0, 0};
  count = 2;
  EXPECT_TRUE(buffer.read(raw, 2, count));
  EXPECT_EQ(raw[0], 3);
  EXPECT_EQ(raw[1], 4);
  EXPECT_FALSE(buffer.read(static_cast<void*>(nullptr), 0, count));
}

TEST(Buffer, IndexOutOfBoundsThrows) {
  Bytes buffer(2);
  buffer[1] = 5;
  EXPECT_EQ(static_cast<const Bytes&>(buffer)[1], 5);
  EXPECT_THROW(buffer[2], CORVIndexOutOfBoundsException);
  EXPECT_THROW(static_cast<const Bytes&>(buffer)[2], CORVIndexOutOfBoundsException);
  EXPECT_THROW(Bytes()[0], CORVIndexOutOfBoundsException);
}

TEST(Buffer, CopiesAreDeepAndEqualityComparesElements) {
  Bytes original = bytesOf({1, 2, 3});
  Bytes copy(original);
  copy[0] = 9;
  EXPECT_EQ(original[0], 1);
  EXPECT_NE(copy, original);
  copy = original;
  EXPECT_EQ(copy, original);
  const Bytes& same = copy;
  copy = same;
  EXPECT_EQ(valuesOf(copy), (std::vector<BYTE>{1, 2, 3}));
  EXPECT_NE(bytesOf({1, 2}), bytesOf({1, 2, 0}));
}

TEST(Buffer, ConvertsBetweenBytesAndCodeUnitsAsInMemory) {
  const Units wide(bytesOf({0x41, 0x00, 0x42}));
  ASSERT_EQ(wide.getNumElems(), 2u);
  EXPECT_EQ(wide[0], 0x0041);
  EXPECT_EQ(wide[1], 0x0042);  // the odd byte in the low half
  const WCHAR units[] = {0x1234, 0x0041};
  const Bytes bytes{Units(units, 2)};
  EXPECT_EQ(valuesOf(bytes), (std::vector<BYTE>{0x34, 0x12, 0x41, 0x00}));
  EXPECT_FALSE(Units(Bytes()).isValid());
}

TEST(Buffer, EveryReleasedBlockIsWiped) {
  CheckingAllocator allocator;
  {
    Bytes buffer = bytesOf({1, 2, 3});
    buffer.resize(8);
    buffer.append(bytesOf({4, 5}));
    buffer.appendAt(bytesOf({6}), 2);
    Bytes copy(buffer);
    copy.init(3);
    Bytes* heap = new Bytes(bytesOf({7, 7}));
    delete heap;
    buffer.free();
  }
  EXPECT_GT(allocator.released(), 5u);
  EXPECT_EQ(allocator.notWiped(), 0u);
  EXPECT_EQ(allocator.outstanding(), 0);
}

TEST(Buffer, FailedAllocationLeavesADefinedState) {
  CheckingAllocator allocator;
  Bytes buffer = bytesOf({1, 2, 3});
  allocator.failAllocation(1);
  EXPECT_FALSE(buffer.resize(10));
  EXPECT_EQ(valuesOf(buffer), (std::vector<BYTE>{1, 2, 3}));  // nothing lost
  allocator.failAllocation(1);
  EXPECT_FALSE(buffer.init(4));
  EXPECT_FALSE(buffer.isValid());
  allocator.failAll();
  EXPECT_THROW(Bytes(4), CORVBufferInitException);
  allocator.succeed();
  EXPECT_EQ(allocator.outstanding(), 0);
  // A byte size past 32 bits cannot be had, whatever the allocator.
  EXPECT_FALSE(CORVBuffer<ULONG>().init(0x40000000u));
}

class BufferMessages : public orv_test::ExceptionLogTest {};

TEST_F(BufferMessages, EachRejectedArgumentIsWrittenOnceFromTheHeader) {
  Bytes buffer = bytesOf({1, 2, 3, 4});
  ULONG count = 5;
  expectOneRecordEach(
      {
          {"fill", [&] { return buffer.fill(0, 4); }, badArgument("ulOffset", "value is out of bounds")},
          {"write nothing", [&] { return buffer.write(Bytes(), 0, false); },
           badArgument("buffer", "buffer is of zero size - can't write")},
          {"write past",
           [&] {
             return buffer.write(bytesOf({1, 2}), 3, false);
           },
           badArgument("buffer", "buffer + offset will overrun this buffer")},
          {"read past",
           [&] {
             Bytes out;
             return buffer.read(out, 2, count);
           },
           badArgument("ulNumElems + ulOffset", "can't read more elements than are in this buffer")},
          {"read to null", [&] { return buffer.read(static_cast<void*>(nullptr), 0, count); },
           badArgument("pBuffer", "value is NULL")},
      },
      "orv_buffer.h");
  EXPECT_EQ(messagesOf([&] { buffer.appendAt(bytesOf({1}), 5); }),
            std::vector<std::string>{
                badArgument("ulOffset", "can't append a buffer at an offset past the bounds of this buffer")});
  EXPECT_EQ(messagesOf([&] { EXPECT_THROW(buffer[4], CORVIndexOutOfBoundsException); }),
            std::vector<std::string>{"Index out of array bounds"});
}

TEST_F(BufferMessages, AFailedAllocationIsWrittenAndTheConstructorsInitExceptionAfterIt) {
  CheckingAllocator allocator;
  allocator.failAll();
  const std::vector<orv_test::WrittenRecord> records =
      recordsOf([] { EXPECT_THROW(Bytes(8), CORVBufferInitException); });
  allocator.succeed();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].message, "Unable to allocate memory ( m_pBuffer )");
  EXPECT_EQ(records[1].message, "Unable to initialize CORVBuffer");
  EXPECT_EQ(records[1].source, "orv_buffer.h, 740");
}

}  // namespace
