// nmsend against the host and against stand-ins that misbehave.
#include <gtest/gtest.h>

#include "child_process.h"

namespace {

using namespace std::chrono_literals;

struct ToolRun {
  std::string output;
  std::string errors;
  int exitCode = -1;
};

ToolRun nmsend(const std::vector<std::string>& args) {
  orv_e2e::ChildProcess tool("nmsend", args);
  ToolRun run;
  run.output = tool.readToEnd(30s);
  run.errors = tool.readErrorToEnd(5s);
  run.exitCode = tool.wait(30s).value_or(-1);
  return run;
}

class NmsendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (orv_e2e::runsUnderWine()) GTEST_SKIP() << "nmsend is tested in the native run";
  }
};

TEST_F(NmsendTest, PrintsEachReplyFrameAsOneLine) {
  const ToolRun run = nmsend({"/bin/cat", "{\"a\":1}", "{\"b\":[2]}"});
  EXPECT_EQ(run.output, "{\"a\":1}\n{\"b\":[2]}\n");
  EXPECT_EQ(run.exitCode, 0) << run.errors;
}

TEST_F(NmsendTest, ReportsTheHostsExitAndItsSilence) {
  const ToolRun quiet =
      nmsend({"--wait", "100", orv_e2e::programPath("pwm_chrome_extension_host"), "{\"COMMAND\":\"RESET\"}"});
  EXPECT_EQ(quiet.output, "");
  EXPECT_NE(quiet.errors.find("no reply to message 1 within 100 ms"), std::string::npos) << quiet.errors;
  EXPECT_NE(quiet.errors.find("the host exited with code 0"), std::string::npos) << quiet.errors;
  EXPECT_EQ(quiet.exitCode, 0);
}

TEST_F(NmsendTest, RejectsMalformedFramesAndMissingHosts) {
  // echo writes one line end: a length cut short.
  const ToolRun cut = nmsend({"/bin/echo", "{}"});
  EXPECT_NE(cut.errors.find("malformed frame: the output ended inside a length field (1 of 4 bytes)"),
            std::string::npos)
      << cut.errors;
  EXPECT_EQ(cut.exitCode, 1);
  // cat echoes a frame whose body is not JSON.
  const ToolRun notJson = nmsend({"/bin/cat", "not json"});
  EXPECT_NE(notJson.errors.find("is not one JSON object"), std::string::npos) << notJson.errors;
  EXPECT_EQ(notJson.exitCode, 1);

  const ToolRun missing = nmsend({"/nonexistent/host", "{}"});
  EXPECT_NE(missing.errors.find("cannot start /nonexistent/host"), std::string::npos) << missing.errors;
  EXPECT_EQ(missing.exitCode, 2);
}

}  // namespace
