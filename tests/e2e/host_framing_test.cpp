// The host as the browser starts it: frames on standard input, exit code 0
// on every path, and nothing written back for anything but a loaded record.
#include <gtest/gtest.h>

#include "child_process.h"

namespace {

using namespace std::chrono_literals;
using orv_e2e::ChildProcess;
using orv_e2e::frame;
using orv_e2e::lengthOnly;

struct Outcome {
  std::string output;
  std::string errors;
  std::optional<int> exitCode;
};

Outcome runHost(const std::string& input, bool closeInput = true) {
  ChildProcess host("pwm_chrome_extension_host");
  host.write(input);
  if (closeInput) host.closeInput();
  Outcome outcome;
  outcome.output = host.readToEnd(30s);
  outcome.errors = host.readErrorToEnd(5s);
  outcome.exitCode = host.wait(30s);
  return outcome;
}

TEST(HostFraming, EndsWithZeroAndWritesNothing) {
  struct Case {
    const char* name;
    std::string input;
    bool closeInput;
  };
  const Case cases[] = {
      {"empty input", "", true},
      {"a zero length, input left open", lengthOnly(0), false},
      {"reset then zero length", frame("{\"COMMAND\":\"RESET\"}") + lengthOnly(0) + frame("{}"), false},
      {"two frames back to back", frame("{\"COMMAND\":\"RESET\"}") + frame("{\"COMMAND\":\"RESET\"}"), true},
      {"lower-case reset", frame("{\"COMMAND\":\"reset\"}"), true},
      {"array body", frame("[\"RESET\"]"), true},
      {"null body", frame("null"), true},
      {"boolean command", frame("{\"COMMAND\":true}"), true},
      {"numeric command", frame("{\"COMMAND\":12}"), true},
      {"object command", frame("{\"COMMAND\":{}}"), true},
      {"invalid JSON", frame("{\"COMMAND\":"), true},
      {"0x1A and CR LF in a body", frame("{\"COMMAND\":\"RE\x1ASET\r\n\"}"), true},
      {"NUL inside a body", frame(std::string("{\"COMMAND\":\"RESET\0\"}", 21)), true},
      {"top-bit length then a frame", lengthOnly(0x80000000u) + frame("{\"COMMAND\":\"RESET\"}"), true},
      {"end inside a length", std::string("\x10\x00", 2), true},
      {"end inside a body", lengthOnly(100) + "{\"COMMAND\"", true},
      {"2 GiB announced, then end", lengthOnly(0x7FFFFFFFu) + "{}", true},
      {"deeply nested JSON", frame(std::string(5000, '[') + std::string(5000, ']')), true},
      {"record commands without a module",
       frame("{\"COMMAND\":\"LOAD_BROWSER_RECORD\",\"SITE_URL\":\"https://a.example/\"}") +
           frame("{\"COMMAND\":\"CREATE_BROWSER_RECORD\",\"PW_FIELDS\":[\"p\"],\"PW_VALUES\":[\"s\"]}"),
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = runHost(c.input, c.closeInput);
    EXPECT_EQ(outcome.output, "");
    ASSERT_TRUE(outcome.exitCode.has_value()) << "the host did not exit";
    EXPECT_EQ(*outcome.exitCode, 0) << "standard error: " << outcome.errors;
  }
}

TEST(HostFraming, KeepsServingAfterBadInputUntilTheZeroLength) {
  ChildProcess host("pwm_chrome_extension_host");
  host.write(frame("not json") + frame("[1,2]") + lengthOnly(0xFFFFFFFFu) + frame("{\"COMMAND\":\"RESET\"}"));
  EXPECT_FALSE(host.wait(300ms).has_value()) << "the host ended before its input did";
  host.write(lengthOnly(0));
  const auto exitCode = host.wait(30s);
  ASSERT_TRUE(exitCode.has_value());
  EXPECT_EQ(*exitCode, 0);
  EXPECT_EQ(host.readToEnd(1s), "");
}

}  // namespace
