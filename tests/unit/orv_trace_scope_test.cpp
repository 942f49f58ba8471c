// Method tracing: the one-time switch, ENTRY and EXIT lines with the
// recorded result, and a traced method's last-error value.
#include "orv_trace_scope.h"

#include <gtest/gtest.h>

#include "logs_key_fixture.h"
#include "orv_exceptions.h"

namespace {

using orv_test::LogsKeyTest;

constexpr ULONG kTracedLine = 900;

bool passFail(bool result, bool* tracing = nullptr) {
  ORV_TRACE_AT("CORVTest", "passFail", kTracedLine);
  if (tracing != nullptr) *tracing = orvTraceScope_.isTracing();
  SetLastError(result ? 0 : 31);
  ORV_TRACE_RESULT(result);
  return result;
}

bool logical(bool result) {
  ORV_TRACE_AT("CORVTest", "logical", kTracedLine);
  ORV_TRACE_LOGICAL_RESULT(result);
  return result;
}

void withoutResult() { ORV_TRACE_AT("CORVTest", "withoutResult", kTracedLine); }

class TraceTest : public LogsKeyTest {
 protected:
  // Tracing configured as a process would find it at its first traced call.
  void configure(const DWORD* dynamicLogging, DWORD logDetail) {
    enableTextLog(logDetail);
    if (dynamicLogging != nullptr) setDword(ORV_W("DynamicLogging"), *dynamicLogging);
    g_ulDynamicLogging = ORV_DYNAMIC_LOGGING_UNREAD;
  }
  void configure(DWORD dynamicLogging, DWORD logDetail) { configure(&dynamicLogging, logDetail); }

  static std::string entry(const char* method) {
    return std::string("<ENTRY> <orv_unit_tests> <CORVTest::") + method + "> <orv_trace_scope_test.cpp, 900> ";
  }
  static std::string exit(const char* method, const char* result) {
    return std::string("<EXIT> <orv_unit_tests> <CORVTest::") + method + "> " + result +
           "<orv_trace_scope_test.cpp, 900> ";
  }
  // The lines without their time stamps (28 characters: "<", 24, ">: ").
  std::vector<std::string> tracedLines() const {
    std::vector<std::string> lines = logLines();
    for (std::string& line : lines) line = line.size() > 28 ? line.substr(28) : "<short line> " + line;
    return lines;
  }
};

TEST_F(TraceTest, EachTracedCallWritesEntryAndExitWithItsResult) {
  configure(1, 0x30B);
  EXPECT_FALSE(passFail(false));
  EXPECT_TRUE(passFail(true));
  EXPECT_FALSE(logical(false));
  EXPECT_TRUE(logical(true));
  withoutResult();
  const std::vector<std::string> expected = {
      entry("passFail"),      exit("passFail", "<Failed> "),
      entry("passFail"),      exit("passFail", "<Passed> "),
      entry("logical"),       exit("logical", "<Failed Logical Result> "),
      entry("logical"),       exit("logical", "<Passed> "),
      entry("withoutResult"), exit("withoutResult", "<Failed> "),
  };
  EXPECT_EQ(tracedLines(), expected);
  EXPECT_EQ(g_ulDynamicLogging, static_cast<ULONG>(ORV_DYNAMIC_LOGGING_ON));
}

TEST_F(TraceTest, FailureBitsReduceExitLinesToFailedCalls) {
  configure(1, 0x230B);
  passFail(false);
  passFail(true);
  logical(false);
  const std::vector<std::string> expected = {
      entry("passFail"),
      exit("passFail", "<Failed> "),
      entry("passFail"),
      entry("logical"),
  };
  EXPECT_EQ(tracedLines(), expected);
}

TEST_F(TraceTest, TracingStaysOffUnlessDynamicLoggingIsExactlyOne) {
  const DWORD values[] = {0, 2, 0x101};
  for (const DWORD value : values) {
    configure(value, 0xFFFF);
    bool tracing = true;
    passFail(true, &tracing);
    EXPECT_FALSE(tracing);
    EXPECT_EQ(g_ulDynamicLogging, static_cast<ULONG>(ORV_DYNAMIC_LOGGING_OFF));
  }
  configure(nullptr, 0xFFFF);
  passFail(true);
  EXPECT_TRUE(logLines().empty());
  EXPECT_EQ(g_ulDynamicLogging, static_cast<ULONG>(ORV_DYNAMIC_LOGGING_OFF));
  // Exceptions are written all the same.
  CORVLogDebug note(ORV_W("still written"), ORV_SOURCE_FILE, 1);
  EXPECT_EQ(logLines().size(), 1u);
}

TEST_F(TraceTest, TheSwitchAndTheLimitsAreReadOnceAndKept) {
  configure(1, 0x30B);
  setDword(ORV_W("MaxLogFileNum"), 4);
  setDword(ORV_W("MaxLogFileSize"), 77);
  passFail(true);
  EXPECT_EQ(g_ulMaxLogFileNum, 4u);
  EXPECT_EQ(g_ulMaxLogFileSize, 77u);
  setDword(ORV_W("DynamicLogging"), 2);
  setDword(ORV_W("MaxLogFileNum"), 9);
  passFail(true);
  EXPECT_EQ(tracedLines().size(), 4u) << "still tracing";
  EXPECT_EQ(g_ulMaxLogFileNum, 4u);
}

TEST_F(TraceTest, LoggingIsAskedAtEntryOnly) {
  configure(1, 0x30B);
  setDword(ORV_W("Logging"), 0);
  {
    ORV_TRACE_AT("CORVTest", "scope", kTracedLine);
    EXPECT_FALSE(orvTraceScope_.isTracing());
    setDword(ORV_W("Logging"), 1);
  }
  EXPECT_TRUE(logLines().empty()) << "switched on during the call: no EXIT line";
  {
    ORV_TRACE_AT("CORVTest", "scope", kTracedLine);
    setDword(ORV_W("Logging"), 0);
    ORV_TRACE_RESULT(true);
  }
  EXPECT_EQ(tracedLines(), std::vector<std::string>{entry("scope")}) << "the EXIT line is filtered anew";
}

TEST_F(TraceTest, TheCallerSeesTheMethodsLastErrorNotTheLoggers) {
  configure(1, 0x30B);
  passFail(false);
  EXPECT_EQ(GetLastError(), 31u);
  errno = EILSEQ;
  SetLastError(8);
  withoutResult();
  EXPECT_EQ(GetLastError(), 8u);
  EXPECT_EQ(errno, EILSEQ);
}

TEST_F(TraceTest, AnExitLineGoesToTheFileItsEntryWentTo) {
  configure(1, 0x30B);
  {
    ORV_TRACE_AT("CORVTest", "moved", kTracedLine);
    setString(ORV_W("TextOutput"), folder_.wide("other.log"));
    ORV_TRACE_RESULT(true);
  }
  EXPECT_EQ(tracedLines().size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "other.log"));
}

}  // namespace
