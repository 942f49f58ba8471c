// The /proc walk where it cannot read a process's executable link (a process
// of another user): the name then comes from the command line.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "log_test_support.h"
#include "orv_win32.h"
#include "process_test_support.h"

namespace {

// A program whose first argument is a path with spaces and which no other
// user may inspect (perl: prctl(PR_SET_DUMPABLE, 0) keeps its link closed
// to anyone but root).
pid_t startHiddenProgram(const std::string& firstArgument) {
  const pid_t child = fork();
  if (child == 0) {
    const char* script = "syscall(157, 4, 0, 0, 0, 0); sleep 30";  // prctl on x86-64
    execl("/usr/bin/perl", firstArgument.c_str(), "-e", script, static_cast<char*>(nullptr));
    _exit(127);
  }
  return child;
}

// Whether a process of another user (nobody, when this one is root) sees a
// process named `name`: the link of a root process is closed to it.
bool seenByAnotherUser(const std::string& name) {
  const pid_t observer = fork();
  if (observer == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    _exit(orv_test::processIdsNamed(name).empty() ? 1 : 0);
  }
  int status = 0;
  waitpid(observer, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(ProcessSnapshotPosix, NamesAProcessWithAClosedLinkByItsWholeFirstArgument) {
  const std::string name = "orv probe " + std::to_string(getpid()) + ".exe";
  const pid_t hidden = startHiddenProgram("/opt/some folder/" + name);
  ASSERT_GT(hidden, 0);
  bool seen = false;
  for (int tries = 0; tries < 200 && !seen; ++tries) {
    seen = seenByAnotherUser(name);
    if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(seen) << "no process named \"" << name << "\" (cut at a space?)";
  EXPECT_FALSE(seenByAnotherUser("orv")) << "the name was cut at the first space";
  kill(hidden, SIGKILL);
  waitpid(hidden, nullptr, 0);
}

}  // namespace
