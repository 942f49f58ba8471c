// The registry filter and the record object: which records are written,
// with what detail and to which outputs, and what the writer sees after.
#include "orv_logging.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "logs_key_fixture.h"
#include "orv_catch.h"

namespace {

using orv_test::LogsKeyTest;
using orv_test::WString;

struct RecordShape {
  ULONG level;
  ULONG kind = ORV_RESULT_PASS_FAIL;
  ULONG result = 0;
  const WCHAR* className = nullptr;
  const WCHAR* objectName = ORV_W("CORVTestObject");
};

CORVDetailedLog makeLog(const RecordShape& shape) {
  return CORVDetailedLog(shape.level, ORV_W("message"), shape.result, shape.kind, shape.className, ORV_W("method"),
                         ORV_W("orv_logging_test.cpp"), 1, false, false, ORV_OUTPUT_TEXT, shape.objectName);
}

class LogFilterTest : public LogsKeyTest {
 protected:
  // Writes the record and checks that the result and the file agree.
  bool written(const RecordShape& shape) {
    clearLog();
    CORVDetailedLog log = makeLog(shape);
    const bool result = log.log();
    EXPECT_EQ(log.isLogged(), result);
    EXPECT_EQ(logLines().size(), result ? 1u : 0u);
    return result;
  }
};

TEST_F(LogFilterTest, NothingIsWrittenWithoutTheLogsKeyOrWithLoggingOff) {
  CORVDetailedLog log = makeLog({ORV_LOG_EXCEPTION_BAD});
  SetLastError(4321);
  errno = EDOM;
  EXPECT_FALSE(log.log());
  EXPECT_EQ(GetLastError(), 4321u);
  EXPECT_EQ(errno, EDOM);
  EXPECT_TRUE(logLines().empty());

  enableTextLog(0xFFFF);
  setDword(ORV_W("Logging"), 0);
  EXPECT_FALSE(written({ORV_LOG_EXCEPTION_BAD}));
  setDword(ORV_W("Logging"), 7);
  SetLastError(4321);
  errno = EDOM;
  EXPECT_TRUE(log.log());
  EXPECT_EQ(GetLastError(), 4321u);
  EXPECT_EQ(errno, EDOM);
  setString(ORV_W("Logging"), std::string("1"));
  EXPECT_FALSE(written({ORV_LOG_EXCEPTION_BAD})) << "a string is not the switch";
}

TEST_F(LogFilterTest, TheDefaultDetailWritesFailuresAndWarningsOnly) {
  enableTextLog(0);
  removeValue(ORV_W("LogDetail"));
  const std::pair<ULONG, bool> levels[] = {
      {ORV_LOG_CRITICAL, true},      {ORV_LOG_EXCEPTION_BAD, true}, {ORV_LOG_ERROR, true},  {ORV_LOG_WARNING, true},
      {ORV_LOG_EXCEPTION_OK, false}, {ORV_LOG_DEBUG, false},        {ORV_LOG_ENTRY, false}, {ORV_LOG_EXIT, false},
  };
  for (const auto& [level, expected] : levels) EXPECT_EQ(written({level}), expected) << "level " << level;
}

TEST_F(LogFilterTest, ExitRecordsAreNarrowedByTheirResult) {
  struct Case {
    DWORD detail;
    ULONG kind;
    ULONG result;
    bool expected;
  };
  const Case cases[] = {
      {0x200, ORV_RESULT_PASS_FAIL, 1, true},      {0x200, ORV_RESULT_ERROR_CODE, 0, true},
      {0x2200, ORV_RESULT_PASS_FAIL, 1, false},    {0x2200, ORV_RESULT_PASS_FAIL, 0, true},
      {0x2200, ORV_RESULT_PASS_FAIL, 0x100, true}, {0x2200, ORV_RESULT_ERROR_CODE, 5, false},
      {0x2200, ORV_RESULT_LOGICAL, 0, false},      {0x1200, ORV_RESULT_ERROR_CODE, 0, false},
      {0x1200, ORV_RESULT_ERROR_CODE, 5, true},    {0x1200, ORV_RESULT_PASS_FAIL, 0, false},
      {0x4200, ORV_RESULT_LOGICAL, 0, true},       {0x4200, ORV_RESULT_LOGICAL, 1, false},
      {0x7200, ORV_RESULT_RETURN_CODE, 0, false},  {0x1000, ORV_RESULT_ERROR_CODE, 5, false},
  };
  enableTextLog(0);
  for (const Case& c : cases) {
    setDword(ORV_W("LogDetail"), c.detail);
    EXPECT_EQ(written({ORV_LOG_EXIT, c.kind, c.result}), c.expected)
        << std::hex << "detail 0x" << c.detail << ", kind " << c.kind << ", result 0x" << c.result;
  }
  // Only EXIT records are narrowed: an ENTRY record passes with a failure bit set.
  setDword(ORV_W("LogDetail"), 0x2300);
  EXPECT_TRUE(written({ORV_LOG_ENTRY, ORV_RESULT_PASS_FAIL, 1}));
}

TEST_F(LogFilterTest, APerObjectValueSetsOutputsAndDetailWhateverTheLevel) {
  enableTextLog(0);
  struct Case {
    const char* setting;
    bool logResult;
    bool lineWritten;
    USHORT outputs;
    USHORT detail;
  };
  const Case cases[] = {
      {"1,0,rest", true, true, 1, 0},     {"1,0x,", true, true, 1, 0},      {"1", true, true, 1, 0},
      {" 1 , 770 ,", true, true, 1, 770}, {"0,255,", false, false, 0, 255}, {"16,1,", false, false, 16, 1},
      {"3,2,", false, true, 3, 2},  // the XML output answers last: false, though the text was written
      {"abc", false, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting);
    setString(ORV_W("CORVTestObject"), std::string(c.setting));
    clearLog();
    CORVDetailedLog log = makeLog({ORV_LOG_INFORMATION});
    EXPECT_EQ(log.log(), c.logResult);
    EXPECT_EQ(log.getOutputs(), c.outputs);
    EXPECT_EQ(log.getDetail(), c.detail);
    EXPECT_EQ(logLines().size(), c.lineWritten ? 1u : 0u);
  }
}

TEST_F(LogFilterTest, ARecordWithoutObjectNameTakesTheExecutablesName) {
  enableTextLog(0x1B);
  setString(ORV_W("orv_unit_tests"), std::string("1,0,"));
  CORVDetailedLog entry = makeLog({ORV_LOG_ENTRY, ORV_RESULT_PASS_FAIL, 0, nullptr, nullptr});
  EXPECT_FALSE(entry.log()) << "the first run goes by LogDetail";
  ASSERT_NE(entry.getRecord().getObjectName(), nullptr);
  EXPECT_EQ(orv_test::narrow(entry.getRecord().getObjectName()), "orv_unit_tests");
  EXPECT_EQ(entry.getDetail(), 0x1B);
  EXPECT_TRUE(entry.log()) << "the next run finds the per-object value";
  EXPECT_EQ(entry.getDetail(), 0);
  const std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("<ENTRY> <orv_unit_tests> <::method> \"message\" "), std::string::npos) << lines[0];
}

TEST_F(LogFilterTest, AllowAndExcludeListsMatchClassNamesAsSubstrings) {
  enableTextLog(0x1B);
  struct Case {
    const WCHAR* className;
    bool allowed;      // AllowObjects alone
    bool notExcluded;  // ExcludeObjects alone
  };
  const Case cases[] = {
      {ORV_W("CORVRegistryKey"), true, true},
      {ORV_W("CChromeNativeMessageHandle"), true, true},
      {ORV_W("Registry"), true, true},
      {ORV_W("corvregistrykey"), false, true},
      {ORV_W("CORVWCharString"), false, false},
      {nullptr, true, true},
      {ORV_W(""), true, true},
  };
  const std::string list = "CORVRegistryKey CChromeNativeMessageHandle";
  setString(ORV_W("AllowObjects"), list);
  for (const Case& c : cases) EXPECT_EQ(written({ORV_LOG_EXCEPTION_BAD, 1, 0, c.className}), c.allowed);
  setString(ORV_W("ExcludeObjects"), std::string("CORVWCharString"));
  for (const Case& c : cases) EXPECT_EQ(written({ORV_LOG_EXCEPTION_BAD, 1, 0, c.className}), c.allowed) << "allow wins";
  removeValue(ORV_W("AllowObjects"));
  for (const Case& c : cases) EXPECT_EQ(written({ORV_LOG_EXCEPTION_BAD, 1, 0, c.className}), c.notExcluded);
}

TEST_F(LogFilterTest, WithoutTextOutputNothingIsWrittenAndALaterHandlerTriesAgain) {
  setDword(ORV_W("Logging"), 1);
  CORVDetailedLog log = makeLog({ORV_LOG_EXCEPTION_BAD});
  EXPECT_FALSE(log.log());
  EXPECT_FALSE(log.isLogged());
  EXPECT_EQ(log.getRecord().getLogFile(), nullptr);
  setString(ORV_W("TextOutput"), logPath());
  orvLogCaught(log);
  EXPECT_TRUE(log.isLogged());
  orvLogCaught(log);
  EXPECT_EQ(logLines().size(), 1u);
  setString(ORV_W("TextOutput"), std::string("relative.log"));
  EXPECT_TRUE(log.log()) << "the record keeps the path it was first written to";
  EXPECT_EQ(logLines().size(), 2u);
}

TEST_F(LogFilterTest, TheDestructorWritesWhenAskedEvenAfterAnEarlierWrite) {
  enableTextLog(0x1B);
  {
    CORVDetailedLog once(ORV_LOG_WARNING, ORV_W("w"), 0, 0, nullptr, nullptr, nullptr, 0, true, true, 1);
    EXPECT_TRUE(once.isLogged());
    CORVDetailedLog copy(once);
    EXPECT_TRUE(copy.isLogged()) << "the copy carries the flags";
    copy.setLogOnDestroy(false);
  }
  EXPECT_EQ(logLines().size(), 2u);
}

TEST_F(LogFilterTest, ExceptionsRaisedWithLogNowAreWrittenOnceByTheirHandler) {
  enableTextLog(0x1B);
  auto operation = [] {
    try {
      throw CORVBadArgException(ORV_W("ulIndex"), ORV_W("past the end"), ORV_SOURCE_FILE, 7, 1, true, false);
    }
    ORV_CATCH_RETURN(false)
  };
  EXPECT_FALSE(operation());
  const std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("<EXCEPTION_BAD> <orv_unit_tests> \"A bad argument was provided ( ulIndex ). past the end\" "
                          "<orv_logging_test.cpp, 7> "),
            std::string::npos)
      << lines[0];
}

TEST_F(LogFilterTest, ForeignExceptionsAreWrittenAsUnhandledWithTheHandlersCode) {
  enableTextLog(0x1B);
  auto operation = [] {
    try {
      errno = ENOMEM;
      throw 1;
    }
    ORV_CATCH_RETURN_AT(false, 160)
  };
  auto withCode = [] {
    try {
      throw 1;
    }
    ORV_CATCH_RETURN_CODE_AT(false, ORV_NO_ERROR_CODE, 161)
  };
  EXPECT_FALSE(operation());
  EXPECT_FALSE(withCode());
  const std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 2u);
  char expected[128];
  std::snprintf(expected, sizeof(expected),
                "\"An unhandled exception occurred\" <Error: 0x%08x> <orv_logging_test.cpp, 160> ", ENOMEM);
  EXPECT_NE(lines[0].find(expected), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("\"An unhandled exception occurred\" <orv_logging_test.cpp, 161> "), std::string::npos)
      << lines[1];
}

}  // namespace
