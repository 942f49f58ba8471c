// The launcher and the process-list wait that the end-to-end tests, the
// benchmarks and the fuzzers share.
#include "launched_program.h"

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "process_wait.h"

namespace {

using namespace std::chrono_literals;
using orv_test::LaunchedProgram;
using orv_test::LaunchOptions;

std::string readAll(int fd) {
  std::string text;
  char chunk[256];
  for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;) text.append(chunk, static_cast<size_t>(got));
  return text;
}

TEST(LaunchedProgram, PassesArgumentsEnvironmentAndInputAndReportsTheExitCode) {
  LaunchedProgram program(
      {"/bin/sh", "-c", "read line; echo \"$1 $ORV_LAUNCH_TEST $line\"; echo oops >&2; exit 3", "sh", "first"},
      {LaunchOptions::Streams::kPipes, "", {"ORV_LAUNCH_TEST=extra"}});
  ASSERT_EQ(write(program.input(), "typed\n", 6), 6);
  program.closeInput();
  EXPECT_EQ(readAll(program.output()), "first extra typed\n");
  EXPECT_EQ(readAll(program.error()), "oops\n");
  EXPECT_EQ(program.wait(10s), 3);
  EXPECT_TRUE(program.ended());
}

TEST(LaunchedProgram, AProgramThatCannotStartThrowsAndStopTellsTheSignal) {
  EXPECT_THROW(LaunchedProgram({"/nonexistent/orv-no-such-program"}), std::runtime_error);
  EXPECT_THROW(LaunchedProgram(std::vector<std::string>{}), std::runtime_error);

  LaunchedProgram sleeper({"sleep", "30"});
  EXPECT_EQ(sleeper.wait(20ms), std::nullopt);
  sleeper.stop(SIGTERM);
  EXPECT_EQ(sleeper.wait(0ms), 128 + SIGTERM);
}

TEST(ProcessWait, SeesAProgramByItsFileNameUntilItIsStopped) {
  const std::string name = "orv-launch-test-" + std::to_string(getpid());
  const std::filesystem::path copy = std::filesystem::temp_directory_path() / name;
  std::filesystem::copy_file("/bin/sleep", copy, std::filesystem::copy_options::overwrite_existing);
  EXPECT_FALSE(orv_test::waitUntilRunning(name, 50ms));
  {
    LaunchedProgram program({copy.string(), "30"});
    EXPECT_TRUE(orv_test::waitUntilRunning(name, 10s));
    EXPECT_TRUE(orv_test::isRunning(name));
  }
  EXPECT_FALSE(orv_test::isRunning(name));
  std::filesystem::remove(copy);
}

}  // namespace
