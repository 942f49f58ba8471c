// A fixture for tests of what failing operations write: the text log of
// LogsKeyTest with tracing off, and the records one call writes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "logs_key_fixture.h"

namespace orv_test {

struct WrittenRecord {
  std::string message;  // the quoted text of the line
  std::string source;   // "file, line"
};

// A call that must fail and write one record with this message.
struct RejectedCall {
  const char* name;
  std::function<bool()> call;
  std::string message;
};

inline std::string badArgument(const char* argument, const char* detail) {
  return std::string("A bad argument was provided ( ") + argument + " ). " + detail;
}

class ExceptionLogTest : public LogsKeyTest {
 protected:
  void SetUp() override {
    LogsKeyTest::SetUp();
    enableTextLog(0x1B);  // CRITICAL, EXCEPTION_BAD, ERROR, WARNING
    g_ulDynamicLogging = ORV_DYNAMIC_LOGGING_OFF;
  }

  std::vector<WrittenRecord> recordsOf(const std::function<void()>& call) {
    clearLog();
    call();
    std::vector<WrittenRecord> records;
    for (const std::string& line : logLines()) {
      const size_t open = line.find('"');
      const size_t close = line.rfind('"');
      const size_t sourceOpen = line.rfind('<');
      const size_t sourceClose = line.rfind('>');
      WrittenRecord record;
      if (open != std::string::npos && close > open) record.message = line.substr(open + 1, close - open - 1);
      if (sourceOpen != std::string::npos && sourceClose > sourceOpen)
        record.source = line.substr(sourceOpen + 1, sourceClose - sourceOpen - 1);
      records.push_back(record);
    }
    return records;
  }

  // Each call returns false and writes its one record from sourceFile.
  void expectOneRecordEach(const std::vector<RejectedCall>& calls, const std::string& sourceFile) {
    for (const RejectedCall& c : calls) {
      bool result = true;
      const std::vector<WrittenRecord> records = recordsOf([&] { result = c.call(); });
      EXPECT_FALSE(result) << c.name;
      ASSERT_EQ(records.size(), 1u) << c.name;
      EXPECT_EQ(records[0].message, c.message) << c.name;
      EXPECT_EQ(records[0].source.rfind(sourceFile + ", ", 0), 0u) << c.name << ": " << records[0].source;
    }
  }

  // The messages of the records one call writes.
  std::vector<std::string> messagesOf(const std::function<void()>& call) {
    std::vector<std::string> messages;
    for (const WrittenRecord& record : recordsOf(call)) messages.push_back(record.message);
    return messages;
  }
};

}  // namespace orv_test
