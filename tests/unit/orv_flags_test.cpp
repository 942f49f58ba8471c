// CORVFlags: the bit tests.
#include "orv_flags.h"

#include <gtest/gtest.h>

namespace {

TEST(Flags, HasFlagsNeedsEveryBitOfTheMask) {
  struct Case {
    ULONG word;
    ULONG mask;
    bool expected;
  };
  const Case cases[] = {
      {0, 0, true},
      {0xFFFFFFFFu, 0, true},
      {0x5, 0x1, true},
      {0x5, 0x5, true},
      {0x5, 0x3, false},
      {0x5, 0x2, false},
      {0x80000000u, 0x80000000u, true},
      {0xFFFFFFFFu, 0xFFFFFFFFu, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CORVFlags(c.word).hasFlags(c.mask), c.expected) << std::hex << c.word << " & " << c.mask;
}

TEST(Flags, DifferOnlyWithDifferentWords) {
  EXPECT_FALSE(CORVFlags(7) != CORVFlags(7));
  EXPECT_TRUE(CORVFlags(7) != CORVFlags(6));
  EXPECT_EQ(CORVFlags(0x30).getFlags(), 0x30u);
}

}  // namespace
