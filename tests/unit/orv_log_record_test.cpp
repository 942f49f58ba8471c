// The record's text setters and its deep copy.
#include "orv_log_record.h"

#include <gtest/gtest.h>

#include "log_test_support.h"

namespace {

using orv_test::WString;

TEST(LogRecord, TextSettersFollowOneRule) {
  using Setter = bool (CORVLogRecord::*)(const WCHAR*);
  using Getter = const WCHAR* (CORVLogRecord::*)() const;
  const std::pair<Setter, Getter> fields[] = {
      {&CORVLogRecord::setMessage, &CORVLogRecord::getMessage},
      {&CORVLogRecord::setObjectName, &CORVLogRecord::getObjectName},
      {&CORVLogRecord::setLogFile, &CORVLogRecord::getLogFile},
      {&CORVLogRecord::setClassName, &CORVLogRecord::getClassName},
      {&CORVLogRecord::setMethodName, &CORVLogRecord::getMethodName},
      {&CORVLogRecord::setSourceFile, &CORVLogRecord::getSourceFile},
  };
  for (const auto& [set, get] : fields) {
    CORVLogRecord record;
    EXPECT_EQ((record.*get)(), nullptr);
    const WCHAR text[] = ORV_W("text");
    ASSERT_TRUE((record.*set)(text));
    EXPECT_NE((record.*get)(), text) << "the record keeps its own copy";
    EXPECT_EQ(WString((record.*get)()), WString(text));

    EXPECT_FALSE((record.*set)(ORV_W(""))) << "empty text fails";
    EXPECT_EQ((record.*get)(), nullptr);
    ASSERT_TRUE((record.*set)(text));
    EXPECT_TRUE((record.*set)(nullptr)) << "absent text succeeds";
    EXPECT_EQ((record.*get)(), nullptr);

    ASSERT_TRUE((record.*set)(text));
    EXPECT_TRUE((record.*set)((record.*get)())) << "a field set from itself";
    EXPECT_EQ(WString((record.*get)()), WString(text));
  }
}

TEST(LogRecord, CopyHasTheNumbersAndFreshTexts) {
  CORVLogRecord record;
  record.setType(ORV_LOG_EXIT);
  record.setResultKind(ORV_RESULT_LOGICAL);
  record.setResult(0x101);
  record.setLine(42);
  record.setMessage(ORV_W("m"));
  record.setClassName(ORV_W("C"));
  record.setSourceFile(ORV_W("s.cpp"));
  const CORVLogRecord copy(record);
  CORVLogRecord assigned;
  assigned.setObjectName(ORV_W("old"));
  assigned = record;
  for (const CORVLogRecord* other : {&copy, static_cast<const CORVLogRecord*>(&assigned)}) {
    EXPECT_EQ(other->getType(), static_cast<ULONG>(ORV_LOG_EXIT));
    EXPECT_EQ(other->getResultKind(), static_cast<ULONG>(ORV_RESULT_LOGICAL));
    EXPECT_EQ(other->getResult(), 0x101u);
    EXPECT_EQ(other->getLine(), 42u);
    EXPECT_NE(other->getMessage(), record.getMessage());
    EXPECT_EQ(WString(other->getMessage()), WString(ORV_W("m")));
    EXPECT_EQ(WString(other->getClassName()), WString(ORV_W("C")));
    EXPECT_EQ(other->getObjectName(), nullptr);
    EXPECT_EQ(other->getMethodName(), nullptr);
  }
  assigned = assigned;
  EXPECT_EQ(WString(assigned.getSourceFile()), WString(ORV_W("s.cpp")));
}

}  // namespace
