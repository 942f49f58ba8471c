// CORVWCharString: trim and strip, the number tests and toNumber, the ASCII
// code strings, getField and split.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checking_allocator.h"
#include "orv_wchar_string.h"

namespace {

using orv_test::CheckingAllocator;
using orv_test::isNormalised;
using orv_test::textOf;
using orv_test::wideString;

constexpr ULONG kBoth = CORVWCharString::sideBoth;
constexpr ULONG kLeading = CORVWCharString::sideLeading;
constexpr ULONG kTrailing = CORVWCharString::sideTrailing;
constexpr ULONG kAll = CORVWCharString::wsAll;

TEST(WCharStringParse, TrimRemovesTheSelectedRunsAtTheSelectedEnds) {
  struct Case {
    const char* start;
    char extra;
    ULONG sides;
    ULONG classes;
    const char* result;
  };
  const Case cases[] = {
      {" \t a b \r\n", 0, kBoth, kAll, "a b"},
      {" \t a b \r\n", 0, kLeading, kAll, "a b \r\n"},
      {" \t a b \r\n", 0, kTrailing, kAll, " \t a b"},
      {" \t a b \r\n", 0, kBoth, CORVWCharString::wsSpace, "\t a b \r\n"},
      {"xx a xx", 'x', kBoth, CORVWCharString::wsSpace, "a"},
      {"xx a xx", 'x', kBoth, 0, " a "},
      {"   ", ' ', kBoth, 0, ""},
      {"\v\f\a\bz\b", 0, kBoth, kAll, "z"},
      {"abc", 0, kBoth, kAll, "abc"},
  };
  for (const Case& c : cases) {
    CORVWCharString s = wideString(c.start);
    EXPECT_TRUE(s.trim(static_cast<WCHAR>(c.extra), c.sides, c.classes)) << c.start;
    EXPECT_EQ(textOf(s), c.result) << c.start;
    EXPECT_TRUE(isNormalised(s));
  }
  EXPECT_FALSE(CORVWCharString().trim(ORV_W(' '), kBoth, kAll));
}

TEST(WCharStringParse, StripTakesTheInteriorOnlyWithBothSides) {
  struct Case {
    const char* start;
    ULONG sides;
    ULONG classes;
    const char* result;
  };
  const Case cases[] = {
      {"  a b\tc  ", kBoth, kAll, "abc"},
      {"  a b\tc  ", kLeading, kAll, "a b\tc  "},
      {"  a b\tc  ", kTrailing, kAll, "  a b\tc"},
      {"  a b\tc  ", kBoth, CORVWCharString::wsTab, "  a bc  "},
      {"  a b\tc  ", 0, kAll, "  a b\tc  "},
      {"  a b\tc  ", kBoth, 0, "  a b\tc  "},
      {" \t ", kTrailing, kAll, ""},
  };
  for (const Case& c : cases) {
    CORVWCharString s = wideString(c.start);
    EXPECT_TRUE(s.strip(c.sides, c.classes)) << c.start;
    EXPECT_EQ(textOf(s), c.result) << c.start;
    EXPECT_TRUE(isNormalised(s));
  }
}

TEST(WCharStringParse, NumberTests) {
  struct Case {
    const char* text;
    bool binary, octal, hex, numeric, binaryMarker, octalMarker, hexMarker;
  };
  const Case cases[] = {
      {"101", true, true, true, true, false, false, true},
      {"0b101", false, false, true, false, true, false, true},
      {"101B", false, false, true, false, true, false, true},
      {"1b01", false, false, true, false, true, false, true},  // the prefix place, whatever comes first
      {"10b1", false, false, true, false, false, false, true},
      {"17o", false, false, false, false, false, true, false},
      {"0O17", false, false, false, false, false, true, false},
      {"0x1F", false, false, false, false, false, false, true},
      {"1Fh", false, false, false, false, false, false, true},
      {"0x1Fh", false, false, false, false, false, false, false},
      {"0xx1", false, false, false, false, false, false, false},
      {"-12", false, false, false, true, false, false, false},
      {"x", false, false, false, false, false, false, false},
      {"", false, false, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    const CORVWCharString s = wideString(c.text);
    EXPECT_EQ(s.isBinary(), c.binary) << c.text;
    EXPECT_EQ(s.isOctal(), c.octal) << c.text;
    EXPECT_EQ(s.isHex(), c.hex) << c.text;
    EXPECT_EQ(s.isNumeric(true, false), c.numeric) << c.text;
    EXPECT_EQ(s.hasBinaryMarker(), c.binaryMarker) << c.text;
    EXPECT_EQ(s.hasOctalMarker(), c.octalMarker) << c.text;
    EXPECT_EQ(s.hasHexMarker(), c.hexMarker) << c.text;
  }
  EXPECT_TRUE(wideString("1.5").isNumeric(false, true));
  EXPECT_FALSE(wideString("1.5").isNumeric(false, false));
  EXPECT_FALSE(wideString(".5").isNumeric(false, true));
  EXPECT_FALSE(wideString("5.").isNumeric(false, true));
  EXPECT_FALSE(wideString("1.2.3").isNumeric(false, true));
  EXPECT_FALSE(wideString("-").isNumeric(true, false));
  EXPECT_FALSE(wideString("1-").isNumeric(true, false));
  // A valid string of length 0 is made of any digits; the empty one of none.
  CORVWCharString zeros;
  zeros.init(2);
  EXPECT_TRUE(zeros.isHex());
  EXPECT_FALSE(CORVWCharString().isHex());
}

TEST(WCharStringParse, StripMarker) {
  struct Case {
    const char* start;
    const char* result;
  };
  const Case cases[] = {{"0b101", "101"}, {"101b", "101"}, {"1b", "1"},   {"17o", "17"},
                        {"0o17", "17"},   {"0x1f", "1f"},  {"1fH", "1f"}, {"123", "123"}};
  for (const Case& c : cases) {
    CORVWCharString s = wideString(c.start);
    EXPECT_TRUE(s.stripMarker()) << c.start;
    EXPECT_EQ(textOf(s), c.result) << c.start;
  }
}

TEST(WCharStringParse, ToNumberAcceptsWhatFitsAndLeavesTheValueOnRejection) {
  constexpr USHORT kHex = CORVWCharString::nsHex;
  constexpr USHORT kBin = CORVWCharString::nsBinary;
  constexpr USHORT kOct = CORVWCharString::nsOctal;
  constexpr USHORT kDec = CORVWCharString::nsDecimal;
  struct Case {
    const char* text;
    USHORT system;
    bool stripHex;
    bool accepted;
    ULONG value;
  };
  const Case cases[] = {
      {" 0x1f ", kHex, true, true, 31},
      {"ff", kHex, true, true, 255},
      {"FFh", kHex, true, true, 255},
      {"FFFFFFFF", kHex, false, true, 0xFFFFFFFFu},
      {"123456789", kHex, false, false, 0},  // more than 8 digits
      {"0x12345678", kHex, true, true, 0x12345678u},
      {"0x1f", kHex, false, false, 0},  // a marker left in place is no digit
      {"1x2", kHex, true, false, 0},
      {"0x", kHex, true, false, 0},
      {"0b101", kBin, false, true, 5},
      {"101", kBin, false, true, 5},
      {"11111111111111111111111111111111", kBin, false, true, 0xFFFFFFFFu},
      {"111111111111111111111111111111111", kBin, false, false, 0},  // 33 digits
      {"102", kBin, false, false, 0},
      {"17o", kOct, false, true, 15},
      {"17", kOct, false, true, 15},
      {"37777777777", kOct, false, true, 0xFFFFFFFFu},
      {"0000000000017", kOct, false, false, 0},  // 13 digits
      {"18", kOct, false, false, 0},
      {"-12", kDec, false, true, static_cast<ULONG>(-12)},
      {"\t42\n", kDec, false, true, 42},
      {"99999999999", kDec, false, true, 2147483647u},  // the C runtime saturates
      {"1.5", kDec, false, false, 0},
      {"", kDec, false, false, 0},
      {"   ", kHex, true, false, 0},
      {"12", 3, false, false, 0},
  };
  for (const Case& c : cases) {
    ULONG value = 0xA5A5A5A5u;
    const CORVWCharString s = wideString(c.text);
    EXPECT_EQ(s.toNumber(value, c.system, c.stripHex), c.accepted) << "'" << c.text << "' in system " << c.system;
    EXPECT_EQ(value, c.accepted ? c.value : 0xA5A5A5A5u) << "'" << c.text << "' in system " << c.system;
    EXPECT_EQ(textOf(s), c.text);
  }
}

TEST(WCharStringParse, AsciiCodeStrings) {
  EXPECT_EQ(textOf(wideString("A").getAsciiCodeString()), "41 00 00 00");
  const WCHAR high[] = {0x1234, 0};
  EXPECT_EQ(textOf(CORVWCharString(high).getAsciiCodeString()), "34 12 00 00");
  EXPECT_FALSE(CORVWCharString().getAsciiCodeString().isValid());

  const CORVBuffer<BYTE> bytes = wideString("41 0B 1b").getBufferFromAsciiCodeString();
  ASSERT_EQ(bytes.getNumElems(), 3u);
  EXPECT_EQ(bytes[0], 0x41);
  EXPECT_EQ(bytes[1], 0x0B);
  EXPECT_EQ(bytes[2], 0x1B);
  EXPECT_EQ(wideString("4").getBufferFromAsciiCodeString().getNumElems(), 0u);
  EXPECT_FALSE(wideString("41 zz").getBufferFromAsciiCodeString().isValid());
  // The round trip gives the storage's bytes back.
  const CORVWCharString original = wideString("Key\\Value");
  const CORVBuffer<WCHAR> units(original.getAsciiCodeString().getBufferFromAsciiCodeString());
  EXPECT_EQ(textOf(CORVWCharString(units)), "Key\\Value");
}

std::vector<std::string> splitToStrings(const CORVWCharString& s, const char* delimiter, ULONG mode, ULONG sides,
                                        ULONG classes, bool* result = nullptr) {
  CORVWCharStringList list;
  const bool split = s.split(list, wideString(delimiter), mode, sides, classes);
  if (result != nullptr) *result = split;
  std::vector<std::string> fields;
  CORVWCharString field;
  for (bool more = list.moveFirst(); more; more = list.moveNext()) {
    EXPECT_TRUE(list.getCurrent(field));
    fields.push_back(textOf(field));
  }
  EXPECT_EQ(list.getCount(), fields.size());
  return fields;
}

TEST(WCharStringParse, GetFieldByNumberAndEnclosed) {
  const CORVWCharString abc = wideString("a,b,c");
  CORVWCharString out = wideString("unchanged");
  EXPECT_TRUE(abc.getField(out, wideString(","), 2, 1, 0, 0));
  EXPECT_EQ(textOf(out), "b");
  EXPECT_TRUE(abc.getField(out, wideString(","), 3, 1, 0, 0));
  EXPECT_EQ(textOf(out), "c");
  out = wideString("unchanged");
  EXPECT_FALSE(abc.getField(out, wideString(","), 4, 1, 0, 0));
  EXPECT_FALSE(abc.getField(out, wideString(","), 0, 1, 0, 0));
  EXPECT_FALSE(abc.getField(out, wideString(","), 1, 3, 0, 0));
  EXPECT_FALSE(abc.getField(out, CORVWCharString(), 1, 1, 0, 0));
  EXPECT_EQ(textOf(out), "unchanged");
  EXPECT_TRUE(wideString("whole").getField(out, wideString(","), 1, 1, 0, 0));
  EXPECT_EQ(textOf(out), "whole");

  const CORVWCharString quoted = wideString("\"x\",\"y\"");
  EXPECT_TRUE(quoted.getField(out, wideString("\""), 1, 2, 0, 0));
  EXPECT_EQ(textOf(out), "x");
  EXPECT_TRUE(quoted.getField(out, wideString("\""), 2, 2, 0, 0));
  EXPECT_EQ(textOf(out), ",");
  EXPECT_FALSE(quoted.getField(out, wideString("\""), 4, 2, 0, 0));

  EXPECT_TRUE(wideString("k = v ; w").getField(out, wideString(";"), 1, 1, kBoth, kAll));
  EXPECT_EQ(textOf(out), "k=v");
  EXPECT_TRUE(wideString("a,,b").getField(out, wideString(","), 2, 1, 0, 0));
  EXPECT_FALSE(out.isValid());  // an empty field is a field
}

TEST(WCharStringParse, SplitGivesTheFieldsGetFieldGives) {
  using Fields = std::vector<std::string>;
  EXPECT_EQ(splitToStrings(wideString("a,b,c"), ",", 1, 0, 0), (Fields{"a", "b", "c"}));
  EXPECT_EQ(splitToStrings(wideString("a,,b,"), ",", 1, 0, 0), (Fields{"a", "", "b", ""}));
  EXPECT_EQ(splitToStrings(wideString(" a ; b "), ";", 1, kBoth, kAll), (Fields{"a", "b"}));
  EXPECT_EQ(splitToStrings(wideString("one"), ",", 1, 0, 0), (Fields{"one"}));
  EXPECT_EQ(splitToStrings(wideString("a::b::::c"), "::", 1, 0, 0), (Fields{"a", "b", "", "c"}));
  EXPECT_EQ(splitToStrings(wideString("\"x\",\"y\",\"z"), "\"", 2, 0, 0), (Fields{"x", "y"}));
  bool result = true;
  EXPECT_EQ(splitToStrings(CORVWCharString(), ",", 1, 0, 0, &result), Fields{});
  EXPECT_FALSE(result);
  EXPECT_EQ(splitToStrings(wideString("a,b"), ",", 5, 0, 0, &result), Fields{});
  EXPECT_FALSE(result);

  // Every field as getField gives it, tagged with its place.
  const CORVWCharString s = wideString("p, q ,,r");
  CORVWCharStringList list;
  ASSERT_TRUE(s.split(list, wideString(","), 1, kBoth, kAll));
  CORVWCharString expected;
  ULONG number = 1;
  for (bool more = list.moveFirst(); more; more = list.moveNext(), ++number) {
    ASSERT_TRUE(s.getField(expected, wideString(","), number, 1, kBoth, kAll));
    EXPECT_EQ(*list.getCurrentData(), expected);
  }
  EXPECT_FALSE(s.getField(expected, wideString(","), number, 1, kBoth, kAll));
}

TEST(WCharStringParse, SplitFailingMidwayLeavesNoPartialList) {
  // The first split of a process also makes what later calls reuse; one
  // beforehand makes the counted allocations below the split's own, whichever
  // tests ran before in the process.
  CORVWCharStringList warmUp;
  ASSERT_TRUE(wideString("a,b").split(warmUp, wideString(","), 1, 0, 0));
  CheckingAllocator allocator;
  {
    CORVWCharStringList list;
    list.addTail(wideString("stale"), 0);
    allocator.failAllocation(5);
    EXPECT_FALSE(wideString("a,b,c,d").split(list, wideString(","), 1, 0, 0));
    EXPECT_EQ(list.getCount(), 0u);
    allocator.succeed();
  }
  EXPECT_EQ(allocator.notWiped(), 0u);
  EXPECT_EQ(allocator.outstanding(), 0);
}

}  // namespace
