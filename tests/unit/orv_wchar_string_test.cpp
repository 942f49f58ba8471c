// CORVWCharString: its invariants, construction and number formatting,
// assignment, concatenation, the comparison rules and truncation.
#include "orv_wchar_string.h"

#include <gtest/gtest.h>

#include "checking_allocator.h"

namespace {

using orv_test::CheckingAllocator;
using orv_test::isNormalised;
using orv_test::textOf;
using orv_test::wideString;

TEST(WCharString, EmptyTextNullAndDefaultAreTheSameEmptyString) {
  const CORVWCharString fromEmpty(ORV_W(""));
  const CORVWCharString fromNull(static_cast<const WCHAR*>(nullptr));
  const CORVWCharString byDefault;
  const CORVWCharString fromZero(static_cast<WCHAR>(0));
  for (const CORVWCharString* s : {&fromEmpty, &fromNull, &byDefault, &fromZero}) {
    EXPECT_EQ(s->getBuffer(), nullptr);
    EXPECT_FALSE(s->isValid());
    EXPECT_EQ(s->getLength(), 0u);
    EXPECT_EQ(*s, byDefault);
    ASSERT_NE(s->getTextOrEmpty(), nullptr) << "the text for C string calls is never null";
    EXPECT_EQ(s->getTextOrEmpty()[0], 0);
  }
  const CORVWCharString abc(ORV_W("abc"));
  EXPECT_EQ(abc.getTextOrEmpty(), abc.getBuffer()) << "a non-empty string gives its own storage";
}

TEST(WCharString, ConstructionHoldsLengthPlusOne) {
  const CORVWCharString abc(ORV_W("abc"));
  EXPECT_EQ(abc.getNumElems(), 4u);
  EXPECT_EQ(textOf(CORVWCharString(ORV_W('x'))), "x");
  // From a buffer: cut at its first 0, or terminated when it has none.
  const WCHAR units[] = {ORV_W('a'), ORV_W('b'), 0, ORV_W('c')};
  const CORVWCharString cut{CORVBuffer<WCHAR>(units, 4)};
  EXPECT_EQ(textOf(cut), "ab");
  EXPECT_TRUE(isNormalised(cut));
  const CORVWCharString terminated{CORVBuffer<WCHAR>(units, 2)};
  EXPECT_EQ(textOf(terminated), "ab");
  EXPECT_TRUE(isNormalised(terminated));
  EXPECT_FALSE(CORVWCharString(CORVBuffer<WCHAR>(units + 2, 1)).isValid());
}

TEST(WCharString, FormatsNumbers) {
  struct Case {
    ULONG value;
    USHORT system;
    USHORT width;
    bool prefix;
    const char* expected;
  };
  const Case cases[] = {
      {255, CORVWCharString::nsHex, 4, true, "0x00FF"},
      {5, CORVWCharString::nsBinary, 2, false, "01"},
      {8, CORVWCharString::nsOctal, 0, true, "0o10"},
      {0, CORVWCharString::nsHex, 0, false, "0"},
      {0, CORVWCharString::nsHex, 3, true, "0x000"},
      {0x1234, CORVWCharString::nsHex, 2, false, "34"},
      {0xFFFFFFFFu, CORVWCharString::nsBinary, 0, false, "11111111111111111111111111111111"},
      {0xFFFFFFFFu, CORVWCharString::nsOctal, 0, false, "37777777777"},
      {0xDEADBEEFu, CORVWCharString::nsHex, 0, true, "0xDEADBEEF"},
      {static_cast<ULONG>(-7), CORVWCharString::nsDecimal, 5, true, "-7"},
      {0, CORVWCharString::nsDecimal, 0, false, "0"},
      {0x80000000u, CORVWCharString::nsDecimal, 0, false, "-2147483648"},
      {2147483647u, CORVWCharString::nsDecimal, 0, false, "2147483647"},
  };
  for (const Case& c : cases) {
    const CORVWCharString formatted(c.value, c.system, c.width, c.prefix);
    EXPECT_EQ(textOf(formatted), c.expected) << c.value << " in system " << c.system;
    EXPECT_TRUE(isNormalised(formatted));
  }
  EXPECT_EQ(textOf(CORVWCharString(-12)), "-12");
  EXPECT_THROW(CORVWCharString(1u, 3), CORVBufferInitException);
}

TEST(WCharString, AssignmentFromEachSource) {
  CORVWCharString s(ORV_W("old"));
  s = ORV_W("text");
  EXPECT_EQ(textOf(s), "text");
  s = ORV_W('c');
  EXPECT_EQ(textOf(s), "c");
  s = CORVWCharString();
  EXPECT_EQ(s.getBuffer(), nullptr);
  const WCHAR units[] = {ORV_W('h'), ORV_W('i'), 0, 0};
  s = CORVBuffer<WCHAR>(units, 4);
  EXPECT_EQ(textOf(s), "hi");
  EXPECT_TRUE(isNormalised(s));
  s = s.getBuffer() + 1;  // a text inside the string itself
  EXPECT_EQ(textOf(s), "i");
  s = static_cast<WCHAR>(0);
  EXPECT_FALSE(s.isValid());
}

TEST(WCharString, Concatenation) {
  CORVWCharString s(ORV_W("abc"));
  s += ORV_W("de");
  EXPECT_EQ(textOf(s), "abcde");
  EXPECT_EQ(s.getNumElems(), 6u);
  s += CORVWCharString();
  EXPECT_EQ(s.getNumElems(), 6u);
  s += s;
  EXPECT_EQ(textOf(s), "abcdeabcde");
  EXPECT_EQ(textOf(CORVWCharString() + ORV_W("x")), "x");
  EXPECT_EQ(textOf(wideString("a") + wideString("b") + wideString("c")), "abc");
  EXPECT_TRUE(isNormalised(wideString("a") + CORVWCharString()));
}

TEST(WCharString, ComparisonOrdersOnlyWithinOneLength) {
  struct Case {
    const char* a;
    const char* b;
    bool eq, le, ge, lt, gt;
  };
  const Case cases[] = {
      {"abc", "abc", true, true, true, false, false},
      {"abc", "abd", false, true, false, true, false},
      {"abd", "abc", false, false, true, false, true},
      // Different lengths: <= and >= fail, so < and > both hold.
      {"ab", "abc", false, false, false, true, true},
      {"", "", true, false, false, true, true},
      {"", "a", false, false, false, true, true},
      {"B", "a", false, true, false, true, false},  // code units, case-sensitive
  };
  for (const Case& c : cases) {
    const CORVWCharString a = wideString(c.a);
    const CORVWCharString b = wideString(c.b);
    EXPECT_EQ(a == b, c.eq) << c.a << " == " << c.b;
    EXPECT_EQ(a != b, !c.eq) << c.a << " != " << c.b;
    EXPECT_EQ(a <= b, c.le) << c.a << " <= " << c.b;
    EXPECT_EQ(a >= b, c.ge) << c.a << " >= " << c.b;
    EXPECT_EQ(a < b, c.lt) << c.a << " < " << c.b;
    EXPECT_EQ(a > b, c.gt) << c.a << " > " << c.b;
  }
}

TEST(WCharString, Truncation) {
  struct Case {
    const char* start;
    ULONG count;
    const char* withoutEnd;
    const char* withoutStart;
  };
  const Case cases[] = {
      {"abcde", 0, "abcde", "abcde"},
      {"abcde", 2, "abc", "cde"},
      {"abcde", 5, "", ""},
      {"abcde", 9, "", ""},
      {"", 1, "", ""},
  };
  for (const Case& c : cases) {
    const CORVWCharString original = wideString(c.start);
    EXPECT_EQ(textOf(original.withoutEnd(c.count)), c.withoutEnd);
    EXPECT_EQ(textOf(original.withoutStart(c.count)), c.withoutStart);
    EXPECT_EQ(textOf(original), c.start);
    CORVWCharString s = original;
    EXPECT_TRUE(s.removeFromEnd(c.count));
    EXPECT_EQ(textOf(s), c.withoutEnd);
    EXPECT_TRUE(isNormalised(s));
    s = original;
    EXPECT_TRUE(s.removeFromStart(c.count));
    EXPECT_EQ(textOf(s), c.withoutStart);
    EXPECT_TRUE(isNormalised(s));
  }
}

TEST(WCharString, ReverseAndToLower) {
  CORVWCharString s(ORV_W("AbC-z"));
  EXPECT_TRUE(s.reverse());
  EXPECT_EQ(textOf(s), "z-CbA");
  EXPECT_TRUE(s.toLower());
  EXPECT_EQ(textOf(s), "z-cba");
  CORVWCharString one(ORV_W("Q"));
  EXPECT_TRUE(one.reverse());
  EXPECT_EQ(textOf(one), "Q");
  EXPECT_FALSE(CORVWCharString().reverse());
  CORVWCharString accented(static_cast<WCHAR>(0x00C9));  // only ASCII letters fold
  accented.toLower();
  EXPECT_EQ(accented[0], 0x00C9);
}

TEST(WCharString, NormalizeRestoresTheInvariant) {
  CORVWCharString s(ORV_W("ab"));
  s.resize(6);  // spare zeros behind the text
  EXPECT_TRUE(s.normalize());
  EXPECT_TRUE(isNormalised(s));
  s.resize(2);  // no terminator left
  EXPECT_EQ(s.getLength(), 2u);
  EXPECT_TRUE(s.normalize());
  EXPECT_EQ(textOf(s), "ab");
  EXPECT_TRUE(isNormalised(s));
  s.init(3);  // zeros only
  EXPECT_TRUE(s.normalize());
  EXPECT_FALSE(s.isValid());
  EXPECT_FALSE(s.normalize());
}

TEST(WCharString, ReleasedTextIsWipedAndFailuresThrowOrLeaveItAsItWas) {
  CheckingAllocator allocator;
  {
    CORVWCharString s(ORV_W("secret"));
    s += ORV_W(" password");
    s = s.withoutStart(3);
    s.removeFromEnd(2);
    s.reverse();
    CORVWCharString* heap = new CORVWCharString(s);
    delete heap;
    const CORVWCharString more(ORV_W("more"));
    allocator.failAll();
    EXPECT_THROW(CORVWCharString(ORV_W("x")), CORVBufferInitException);
    const std::string before = textOf(s);
    s += more;
    EXPECT_EQ(textOf(s), before);
    s += ORV_W("text");  // no temporary string to fail
    EXPECT_EQ(textOf(s), before);
    EXPECT_FALSE(s.removeFromStart(1));
    EXPECT_EQ(textOf(s), before);
    allocator.succeed();
  }
  EXPECT_EQ(allocator.notWiped(), 0u);
  EXPECT_EQ(allocator.outstanding(), 0);
}

}  // namespace
