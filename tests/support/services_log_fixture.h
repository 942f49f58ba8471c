// A fixture for the tests of the file, signature and process classes: a
// scratch registry and Logs key with the text log and method tracing on, the
// test root as the POSIX build's trust anchor, and searches of the log.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "log_test_support.h"
#include "logs_key_fixture.h"
#include "orv_log_globals.h"
#include "orv_wchar_string.h"
#include "signing_test_support.h"

namespace orv_test {

class ServicesLogTest : public LogsKeyTest {
 protected:
  void SetUp() override {
    LogsKeyTest::SetUp();
    enableTextLog(0x30B);  // exceptions, warnings, ENTRY and EXIT
    setDword(ORV_W("DynamicLogging"), 1);
    g_ulDynamicLogging = ORV_DYNAMIC_LOGGING_UNREAD;
#ifndef _WIN32
    installTestTrustAnchor(std::getenv("ORV_REGISTRY_DIR"));
#endif
  }

  // The lines that hold every one of the texts.
  std::vector<std::string> linesWith(std::initializer_list<std::string> texts) const {
    std::vector<std::string> found;
    for (const std::string& line : logLines()) {
      bool all = true;
      for (const std::string& text : texts) all = all && line.find(text) != std::string::npos;
      if (all) found.push_back(line);
    }
    return found;
  }
  bool logged(std::initializer_list<std::string> texts) const { return !linesWith(texts).empty(); }
  // Whether the method wrote both its ENTRY and its EXIT line.
  bool traced(const std::string& classAndMethod) const {
    return logged({"<ENTRY>", "<" + classAndMethod + ">"}) && logged({"<EXIT>", "<" + classAndMethod + ">"});
  }
  std::string logText() const {
    std::string text;
    for (const std::string& line : logLines()) text += line + "\n";
    return text;
  }
};

}  // namespace orv_test
