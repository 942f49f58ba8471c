// CORVWCharString: search by occurrence and direction, insert, remove,
// replace and the range and occurrence cuts.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "checking_allocator.h"
#include "orv_wchar_string.h"

namespace {

using orv_test::CheckingAllocator;
using orv_test::isNormalised;
using orv_test::textOf;
using orv_test::wideString;

constexpr ULONG kStart = CORVWCharString::fromStart;
constexpr ULONG kEnd = CORVWCharString::fromEnd;

TEST(WCharStringSearch, FindCountsOverlappingMatchesInBothDirections) {
  struct Case {
    const char* text;
    const char* sub;
    ULONG occurrence;
    ULONG direction;
    bool found;
    ULONG pos;
  };
  const Case cases[] = {
      {"aaaa", "aa", 1, kStart, true, 0},  {"aaaa", "aa", 2, kStart, true, 1},    {"aaaa", "aa", 3, kStart, true, 2},
      {"aaaa", "aa", 4, kStart, false, 0}, {"aaaa", "aa", 1, kEnd, true, 2},      {"aaaa", "aa", 3, kEnd, true, 0},
      {"abcabc", "bc", 2, kEnd, true, 1},  {"abcabc", "abc", 2, kStart, true, 3}, {"abab", "aba", 2, kStart, false, 0},
      {"aabaab", "aab", 1, kEnd, true, 3}, {"abc", "abc", 1, kEnd, true, 0},      {"ab", "abc", 1, kStart, false, 0},
      {"aaaa", "aa", 0, kStart, false, 0},  // occurrence 0
      {"aaaa", "a", 5, kStart, false, 0},   // more than the length
      {"aaaa", "a", 1, 3, false, 0},        // no such direction
      {"", "a", 1, kStart, false, 0},      {"abc", "", 1, kStart, false, 0},
  };
  for (const Case& c : cases) {
    ULONG pos = 99;
    EXPECT_EQ(wideString(c.text).find(wideString(c.sub), c.occurrence, c.direction, pos), c.found)
        << c.text << " / " << c.sub << " #" << c.occurrence << " dir " << c.direction;
    EXPECT_EQ(pos, c.found ? c.pos : 99u) << c.text << " / " << c.sub;
  }
  EXPECT_EQ(wideString("aaaa").countOf(wideString("aa")), 3u);
  EXPECT_EQ(wideString("abc").countOf(wideString("x")), 0u);
  EXPECT_EQ(CORVWCharString().countOf(wideString("x")), 0u);
  EXPECT_TRUE(wideString("hello").contains(wideString("ll")));
  EXPECT_FALSE(wideString("hello").contains(wideString("lo!")));
}

TEST(WCharStringSearch, OccurrenceNumbersConvertBetweenDirections) {
  const CORVWCharString s = wideString("a\\b\\c\\d");
  const CORVWCharString slash = wideString("\\");
  ULONG occurrence = 0;
  EXPECT_TRUE(s.occurrenceAt(slash, 3, kStart, occurrence));
  EXPECT_EQ(occurrence, 2u);
  EXPECT_TRUE(s.occurrenceAt(slash, 3, kEnd, occurrence));
  EXPECT_EQ(occurrence, 2u);
  EXPECT_TRUE(s.occurrenceAt(slash, 5, kEnd, occurrence));
  EXPECT_EQ(occurrence, 1u);
  EXPECT_FALSE(s.occurrenceAt(slash, 2, kStart, occurrence));
  EXPECT_TRUE(s.convertOccurrence(slash, 1, kStart, occurrence));
  EXPECT_EQ(occurrence, 3u);
  EXPECT_TRUE(s.convertOccurrence(slash, 3, kEnd, occurrence));
  EXPECT_EQ(occurrence, 1u);
  EXPECT_FALSE(s.convertOccurrence(CORVWCharString(), 1, kStart, occurrence));
  EXPECT_FALSE(s.convertOccurrence(slash, 1, 7, occurrence));
  EXPECT_FALSE(s.convertOccurrence(slash, 4, kStart, occurrence));
}

TEST(WCharStringSearch, BeginsAndEndsWith) {
  const CORVWCharString s = wideString("prefix-body");
  EXPECT_TRUE(s.beginsWith(wideString("pre")));
  EXPECT_TRUE(s.beginsWith(s));
  EXPECT_FALSE(s.beginsWith(wideString("body")));
  EXPECT_TRUE(s.endsWith(wideString("body")));
  EXPECT_FALSE(s.endsWith(wideString("dy!")));
  EXPECT_FALSE(s.beginsWith(CORVWCharString()));
  EXPECT_FALSE(wideString("ab").endsWith(wideString("xab")));
}

TEST(WCharStringSearch, Insert) {
  struct Case {
    const char* start;
    const char* inserted;
    ULONG pos;
    bool done;
    const char* result;
  };
  const Case cases[] = {
      {"ace", "b", 1, true, "abce"}, {"ace", "x", 0, true, "xace"}, {"ace", "yz", 3, true, "aceyz"},
      {"ace", "x", 4, false, "ace"}, {"ace", "", 1, false, "ace"},  {"", "x", 0, true, "x"},
      {"", "x", 1, false, ""},
  };
  for (const Case& c : cases) {
    CORVWCharString s = wideString(c.start);
    EXPECT_EQ(s.insert(wideString(c.inserted), c.pos), c.done) << c.start << " + " << c.inserted << " @" << c.pos;
    EXPECT_EQ(textOf(s), c.result);
    EXPECT_TRUE(isNormalised(s));
  }
}

TEST(WCharStringSearch, RemoveInItsThreeModes) {
  struct Case {
    const char* start;
    const char* sub;
    ULONG mode;
    ULONG occurrence;
    bool done;
    const char* result;
  };
  const Case cases[] = {
      {"abcb", "b", CORVWCharString::ssmOccur, 2, true, "abc"},
      {"abcb", "b", CORVWCharString::ssmAll, 0, true, "ac"},
      {"abcbdb", "b", CORVWCharString::ssmNum, 2, true, "acdb"},
      {"bbb", "b", CORVWCharString::ssmAll, 0, true, ""},
      // Each pass removes the first match that remains, also one that the
      // pass before joined together.
      {"aabbab", "ab", CORVWCharString::ssmAll, 0, true, "ab"},
      {"aaa", "aa", CORVWCharString::ssmAll, 0, true, "a"},
      {"abcb", "b", CORVWCharString::ssmOccur, 0, false, "abcb"},
      {"abcb", "b", CORVWCharString::ssmOccur, 3, false, "abcb"},
      {"abcb", "b", CORVWCharString::ssmNum, 3, false, "abcb"},
      {"abcb", "b", 3, 1, false, "abcb"},
      {"abcb", "x", CORVWCharString::ssmAll, 0, false, "abcb"},
      {"", "x", CORVWCharString::ssmAll, 0, false, ""},
  };
  for (const Case& c : cases) {
    CORVWCharString s = wideString(c.start);
    EXPECT_EQ(s.remove(wideString(c.sub), c.mode, c.occurrence), c.done)
        << c.start << " - " << c.sub << " mode " << c.mode;
    EXPECT_EQ(textOf(s), c.result) << c.start << " - " << c.sub << " mode " << c.mode;
    EXPECT_TRUE(isNormalised(s));
  }
}

// The removal passes as written: find the first match, cut it out, again.
std::string removeFirstMatchesSlowly(std::string text, const std::string& sub, size_t passes) {
  for (size_t i = 0; i < passes; ++i) {
    const size_t at = text.find(sub);
    if (at == std::string::npos) break;
    text.erase(at, sub.size());
  }
  return text;
}

size_t overlappingCount(const std::string& text, const std::string& sub) {
  size_t count = 0;
  for (size_t at = text.find(sub); at != std::string::npos; at = text.find(sub, at + 1)) ++count;
  return count;
}

TEST(WCharStringSearch, OneScanRemovalMatchesTheRepeatedPasses) {
  std::mt19937 random(5);
  for (int round = 0; round < 3000; ++round) {
    std::string start;
    std::string sub;
    for (int i = random() % 14; i > 0; --i) start.push_back("ab"[random() % 2]);
    for (int i = 1 + random() % 3; i > 0; --i) sub.push_back("ab"[random() % 2]);
    const size_t count = overlappingCount(start, sub);
    if (count == 0) continue;
    const size_t limit = 1 + random() % count;
    CORVWCharString all = wideString(start);
    CORVWCharString some = wideString(start);
    ASSERT_TRUE(all.remove(wideString(sub), CORVWCharString::ssmAll, 0));
    ASSERT_TRUE(some.remove(wideString(sub), CORVWCharString::ssmNum, static_cast<ULONG>(limit)));
    EXPECT_EQ(textOf(all), removeFirstMatchesSlowly(start, sub, count)) << start << " - " << sub;
    EXPECT_EQ(textOf(some), removeFirstMatchesSlowly(start, sub, limit)) << start << " - " << sub << " x" << limit;
  }
}

TEST(WCharStringSearch, ReplaceSkipsTheCopiesItBringsIn) {
  struct Case {
    const char* start;
    const char* from;
    const char* to;
    ULONG mode;
    ULONG occurrence;
    bool done;
    const char* result;
  };
  const Case cases[] = {
      {"a.b.c", ".", "::", CORVWCharString::ssmAll, 0, true, "a::b::c"},
      {"aa", "a", "ba", CORVWCharString::ssmAll, 0, true, "baba"},
      {"xax", "a", "aa", CORVWCharString::ssmAll, 0, true, "xaax"},
      {"a.b.c", ".", "-", CORVWCharString::ssmOccur, 2, true, "a.b-c"},
      {"a.b.c.d", ".", "-", CORVWCharString::ssmNum, 2, true, "a-b-c.d"},
      {"a.b", ".", "", CORVWCharString::ssmAll, 0, true, "ab"},
      {"a.b", "x", "-", CORVWCharString::ssmAll, 0, false, "a.b"},
      {"a.b", ".", "-", CORVWCharString::ssmOccur, 2, false, "a.b"},
      {"a.b", ".", "-", CORVWCharString::ssmNum, 0, false, "a.b"},
      {"a.b", ".", "-", 8, 1, false, "a.b"},
      {"a.b", "", "-", CORVWCharString::ssmAll, 0, false, "a.b"},
  };
  for (const Case& c : cases) {
    CORVWCharString s = wideString(c.start);
    EXPECT_EQ(s.replace(wideString(c.from), wideString(c.to), c.mode, c.occurrence), c.done)
        << c.start << ": " << c.from << " -> " << c.to;
    EXPECT_EQ(textOf(s), c.result) << c.start << ": " << c.from << " -> " << c.to;
    EXPECT_TRUE(isNormalised(s));
  }
  CORVWCharString s = wideString("ab");
  EXPECT_TRUE(s.replace(wideString("b"), s, CORVWCharString::ssmAll, 0));  // the new text is the string itself
  EXPECT_EQ(textOf(s), "aab");
}

TEST(WCharStringSearch, ExtractAndExtractOutside) {
  const CORVWCharString abcde = wideString("abcde");
  CORVWCharString out = wideString("unchanged");
  EXPECT_TRUE(abcde.extract(out, 1, 3, true, true));
  EXPECT_EQ(textOf(out), "bcd");
  EXPECT_TRUE(abcde.extract(out, 1, 3, false, true));
  EXPECT_EQ(textOf(out), "cd");
  EXPECT_TRUE(abcde.extract(out, 2, 2, false, true));
  EXPECT_EQ(textOf(out), "c");
  EXPECT_TRUE(abcde.extract(out, 2, 2, false, false));
  EXPECT_FALSE(out.isValid());
  out = wideString("unchanged");
  EXPECT_FALSE(abcde.extract(out, 3, 1, true, true));
  EXPECT_FALSE(abcde.extract(out, 1, 5, true, true));
  EXPECT_EQ(textOf(out), "unchanged");
  EXPECT_EQ(textOf(abcde), "abcde");

  struct Case {
    ULONG start, end;
    bool excludeStart, excludeEnd;
    bool done;
    const char* result;
  };
  const Case cases[] = {
      {1, 3, false, false, true, "abde"},   {1, 3, true, true, true, "ae"},       {3, 1, false, false, true, "bcd"},
      {3, 1, true, true, true, "c"},        {0, 4, true, true, true, ""},         {2, 2, false, false, false, "abcde"},
      {5, 1, false, false, false, "abcde"}, {1, 5, false, false, false, "abcde"},
  };
  for (const Case& c : cases) {
    CORVWCharString s = abcde;
    EXPECT_EQ(s.extractOutside(c.start, c.end, c.excludeStart, c.excludeEnd), c.done) << c.start << "," << c.end;
    EXPECT_EQ(textOf(s), c.result) << c.start << "," << c.end;
    EXPECT_TRUE(isNormalised(s));
  }
}

TEST(WCharStringSearch, CutsAtAnOccurrence) {
  const CORVWCharString path = wideString("SOFTWARE\\Halvik\\Logs");
  const CORVWCharString slash = wideString("\\");
  CORVWCharString out;
  EXPECT_TRUE(path.extractByOccurrence(out, slash, 1, kEnd, false));  // the last component
  EXPECT_EQ(textOf(out), "Logs");
  EXPECT_TRUE(path.extractByOccurrence(out, slash, 1, kEnd, true));
  EXPECT_EQ(textOf(out), "\\Logs");
  EXPECT_TRUE(path.extractByOccurrence(out, slash, 2, kStart, false));
  EXPECT_EQ(textOf(out), "SOFTWARE\\Halvik");
  EXPECT_TRUE(path.extractByOccurrence(out, slash, 1, kStart, true));
  EXPECT_EQ(textOf(out), "SOFTWARE\\");
  EXPECT_FALSE(path.extractByOccurrence(out, slash, 3, kEnd, false));
  EXPECT_FALSE(wideString("name").extractByOccurrence(out, slash, 1, kEnd, false));

  CORVWCharString s = path;
  EXPECT_TRUE(s.keepFromOccurrence(slash, 2, kStart, true));
  EXPECT_EQ(textOf(s), "Logs");
  s = path;
  EXPECT_TRUE(s.keepFromOccurrence(slash, 2, kEnd, false));
  EXPECT_EQ(textOf(s), "SOFTWARE\\");
  s = path;
  EXPECT_TRUE(s.keepFromOccurrence(slash, 1, kEnd, true));
  EXPECT_EQ(textOf(s), "SOFTWARE\\Halvik");
  EXPECT_FALSE(s.keepFromOccurrence(slash, 2, kStart, false));
  EXPECT_EQ(textOf(s), "SOFTWARE\\Halvik");
}

TEST(WCharStringSearch, EditingWipesEveryTemporary) {
  CheckingAllocator allocator;
  {
    CORVWCharString s = wideString("user=alice;password=hunter2;password=x");
    s.replace(wideString("password"), wideString("pw"), CORVWCharString::ssmAll, 0);
    s.remove(wideString("="), CORVWCharString::ssmAll, 0);
    s.insert(wideString("[["), 2);
    s.extractOutside(1, 6, false, true);
    CORVWCharString out;
    s.extract(out, 0, 3, true, true);
    s.extractByOccurrence(out, wideString(";"), 1, kEnd, false);
    ULONG pos = 0;
    for (int i = 0; i < 40; ++i) s += ORV_W("abcabcabcabcabcabcabcabcabcabcabcabc");
    s.find(wideString("abcabcabcabcabcabcabcabcabcabcabcabcabcabc"), 3, kEnd, pos);  // a long pattern's table
  }
  EXPECT_EQ(allocator.notWiped(), 0u);
  EXPECT_EQ(allocator.outstanding(), 0);
}

}  // namespace
