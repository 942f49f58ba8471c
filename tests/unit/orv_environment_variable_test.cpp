// CORVEnvironmentVariable: reading a value, and the cases that read nothing.
#include "orv_environment_variable.h"

#include <gtest/gtest.h>

#include "checking_allocator.h"
#include "exception_log_fixture.h"

namespace {

using orv_test::textOf;
using orv_test::wideString;

const WCHAR kName[] = ORV_W("ORV_ENVIRONMENT_VARIABLE_TEST");

class EnvironmentVariableTest : public ::testing::Test {
 protected:
  void TearDown() override { SetEnvironmentVariableW(kName, nullptr); }
};

TEST_F(EnvironmentVariableTest, ReadsTheCurrentValue) {
  ASSERT_TRUE(SetEnvironmentVariableW(kName, ORV_W("D:")));
  const CORVEnvironmentVariable variable{CORVWCharString(kName)};
  CORVWCharString value;
  EXPECT_TRUE(variable.getValue(value));
  EXPECT_EQ(textOf(value), "D:");
  EXPECT_TRUE(orv_test::isNormalised(value));
  ASSERT_TRUE(SetEnvironmentVariableW(kName, ORV_W("E:\\later")));
  EXPECT_TRUE(variable.getValue(value));
  EXPECT_EQ(textOf(value), "E:\\later");
}

TEST_F(EnvironmentVariableTest, UnsetEmptyOrUnnamedReadsNothingAndLeavesTheOutput) {
  CORVWCharString value = wideString("unchanged");
  EXPECT_FALSE(CORVEnvironmentVariable(CORVWCharString(kName)).getValue(value));
  ASSERT_TRUE(SetEnvironmentVariableW(kName, ORV_W("")));
  EXPECT_FALSE(CORVEnvironmentVariable(CORVWCharString(kName)).getValue(value));
  EXPECT_FALSE(CORVEnvironmentVariable(CORVWCharString()).getValue(value));
  EXPECT_EQ(textOf(value), "unchanged");
}

TEST_F(EnvironmentVariableTest, AFailedBufferReadsNothing) {
  ASSERT_TRUE(SetEnvironmentVariableW(kName, ORV_W("x")));
  orv_test::CheckingAllocator allocator;
  {
    const CORVEnvironmentVariable variable{CORVWCharString(kName)};
    CORVWCharString value = wideString("unchanged");
    allocator.failAllocation(1);
    EXPECT_FALSE(variable.getValue(value));
    EXPECT_EQ(textOf(value), "unchanged");
    EXPECT_TRUE(variable.getValue(value));
  }
  EXPECT_EQ(allocator.notWiped(), 0u);
  EXPECT_EQ(allocator.outstanding(), 0);
}

class EnvironmentVariableMessages : public orv_test::ExceptionLogTest {};

TEST_F(EnvironmentVariableMessages, AnUnnamedVariableIsWrittenAtItsFixedLine) {
  CORVWCharString value;
  const std::vector<orv_test::WrittenRecord> records =
      recordsOf([&] { EXPECT_FALSE(CORVEnvironmentVariable(CORVWCharString()).getValue(value)); });
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].message, "The environment variable name has not been initialized");
  EXPECT_EQ(records[0].source, "orv_environment_variable.cpp, 133");
  // A variable that is not set is no failure: nothing is written.
  EXPECT_TRUE(messagesOf([&] { CORVEnvironmentVariable(CORVWCharString(kName)).getValue(value); }).empty());
}

}  // namespace
