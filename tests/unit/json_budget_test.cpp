#include "JsonBudget.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool fits(const std::string& text, size_t values, size_t depth = 64) { return fitsJsonBudget(text, {values, depth}); }

TEST(JsonBudget, CountsContainersStringsNamesAndScalarsUpToTheLimit) {
  const std::string message = R"({"COMMAND":"CREATE_BROWSER_RECORD","PW_FIELDS":["p",true,null,-1.5e3]})";
  EXPECT_TRUE(fits(message, 9));  // the object, two names, the command, the array and its four elements
  EXPECT_FALSE(fits(message, 8));
  EXPECT_TRUE(fits("[[],[],[]]", 4));
  EXPECT_FALSE(fits("[[],[],[]]", 3));
  EXPECT_TRUE(fits("12", 1));
  EXPECT_TRUE(fits("", 0));
}

TEST(JsonBudget, LimitsNestingButNotSiblings) {
  EXPECT_TRUE(fits("[[[]]]", 100, 3));
  EXPECT_FALSE(fits("[[[[]]]]", 100, 3));
  EXPECT_TRUE(fits("[[],[],[],[]]", 100, 2));
  EXPECT_FALSE(fits(std::string(100000, '[') + std::string(100000, ']'), 1000000, 64));
  EXPECT_FALSE(fits(R"({"a":{"b":{"c":{}}}})", 100, 3));
}

// Brackets the parser reads as text must not be counted, and none that it
// reads as structure may hide from the count.
TEST(JsonBudget, ReadsStringsAndCommentsTheWayTheParserDoes) {
  EXPECT_TRUE(fits(R"(["[[[[[[",",,,,"])", 3, 1));
  EXPECT_TRUE(fits(R"(["a\"[[[[","b\\"])", 3, 1));  // an escaped quote stays inside, an escaped backslash does not
  EXPECT_FALSE(fits(R"(["a\\",[[[]]]])", 100, 2));
  EXPECT_TRUE(fits("[/* [[[[ \" */ 1, // [[[[ \"\n 2]", 3, 1));
  EXPECT_FALSE(fits("/* \" */ [[[]]]", 100, 2)) << "a quote inside a comment opens no string";
  EXPECT_FALSE(fits("// \"\n[[[]]]", 100, 2));
  EXPECT_FALSE(fits("// \"\r[[[]]]", 100, 2));
}

// The parser stops at the end of the root value (anything after it is
// ignored) and at a zero byte; so does the count.
TEST(JsonBudget, StopsWhereTheParserStops) {
  EXPECT_TRUE(fits("{\"COMMAND\":\"RESET\"} [[[[[[[[", 3, 1));
  EXPECT_TRUE(fits("\"RESET\" [[[[[", 1, 1));
  EXPECT_TRUE(fits(std::string("[\"\0[[[[\"]", 9), 2, 1)) << "inside a string a zero byte is text";
  EXPECT_TRUE(fits(std::string("[1,\0,[[[[[[", 11), 2, 1));
  EXPECT_TRUE(fits("] [[[[[[", 0, 0));
}

TEST(JsonBudget, UnfinishedTextIsCountedAsFarAsItGoes) {
  EXPECT_FALSE(fits("[[[[", 100, 3));
  EXPECT_FALSE(fits("[1,2,3,4", 4, 2));
  EXPECT_TRUE(fits("[\"never closed [[[[", 2, 1));
  EXPECT_TRUE(fits("[/* never closed [[[[", 1, 1));
}

}  // namespace
