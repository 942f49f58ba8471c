// The environment calls. On Windows these run against the system's own
// functions, which keeps the POSIX implementation honest.
#include <gtest/gtest.h>

#include <string>

#include "orv_win32.h"

namespace {

using WString = std::basic_string<WCHAR>;

const WCHAR kName[] = ORV_W("ORV_PLATFORM_ENV_TEST");

class EnvironmentTest : public ::testing::Test {
 protected:
  void TearDown() override { SetEnvironmentVariableW(kName, nullptr); }
};

WString expand(const WCHAR* source, DWORD* needed = nullptr) {
  WCHAR out[256];
  const DWORD size = ExpandEnvironmentStringsW(source, out, 256);
  if (needed != nullptr) *needed = size;
  return size == 0 || size > 256 ? WString() : WString(out);
}

TEST_F(EnvironmentTest, ReadsTheValueAndReportsTheSizeItNeeds) {
  ASSERT_TRUE(SetEnvironmentVariableW(kName, ORV_W("value")));
  WCHAR buffer[16] = {};
  EXPECT_EQ(GetEnvironmentVariableW(kName, buffer, 16), 5u);
  EXPECT_EQ(WString(buffer), WString(ORV_W("value")));
  // Too small: the size needed, terminator included.
  EXPECT_EQ(GetEnvironmentVariableW(kName, buffer, 5), 6u);
  EXPECT_EQ(GetEnvironmentVariableW(kName, nullptr, 0), 6u);
  // Names are the same whatever their case.
  EXPECT_EQ(GetEnvironmentVariableW(ORV_W("orv_platform_env_test"), buffer, 16), 5u);
}

TEST_F(EnvironmentTest, MissingAndEmptyVariablesReadAsZero) {
  WCHAR buffer[16] = {ORV_W('x'), 0};
  SetLastError(0);
  EXPECT_EQ(GetEnvironmentVariableW(kName, buffer, 16), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
  ASSERT_TRUE(SetEnvironmentVariableW(kName, ORV_W("")));
  EXPECT_EQ(GetEnvironmentVariableW(kName, buffer, 16), 0u);
  ASSERT_TRUE(SetEnvironmentVariableW(kName, ORV_W("gone soon")));
  ASSERT_TRUE(SetEnvironmentVariableW(kName, nullptr));
  EXPECT_EQ(GetEnvironmentVariableW(kName, buffer, 16), 0u);
  EXPECT_FALSE(SetEnvironmentVariableW(ORV_W(""), ORV_W("x")));
}

TEST_F(EnvironmentTest, ExpandsSetVariablesAndKeepsTheOthers) {
  ASSERT_TRUE(SetEnvironmentVariableW(kName, ORV_W("C:\\Data")));
  DWORD needed = 0;
  EXPECT_EQ(expand(ORV_W("%ORV_PLATFORM_ENV_TEST%\\x"), &needed), WString(ORV_W("C:\\Data\\x")));
  EXPECT_EQ(needed, 10u);  // terminator included
  EXPECT_EQ(expand(ORV_W("a%ORV_NOT_SET_ANYWHERE%b")), WString(ORV_W("a%ORV_NOT_SET_ANYWHERE%b")));
  EXPECT_EQ(expand(ORV_W("100% sure")), WString(ORV_W("100% sure")));
  EXPECT_EQ(expand(ORV_W("%%")), WString(ORV_W("%%")));
  EXPECT_EQ(expand(ORV_W("%orv_platform_env_test%%ORV_PLATFORM_ENV_TEST%")), WString(ORV_W("C:\\DataC:\\Data")));
  EXPECT_EQ(expand(ORV_W("")), WString());
  // Too small: nothing promised but the size needed.
  WCHAR small[4];
  EXPECT_EQ(ExpandEnvironmentStringsW(ORV_W("%ORV_PLATFORM_ENV_TEST%"), small, 4), 8u);
}

}  // namespace
