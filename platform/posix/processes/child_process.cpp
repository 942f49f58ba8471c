#include "orv_platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "core/posix_io.h"

extern char** environ;

namespace orv_platform {
namespace {

using orv_posix::FileDescriptor;

// What is left of a wait, in whole milliseconds for poll(); 0 once the
// deadline has passed, never a negative (endless) time.
int millisecondsUntil(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
}

class PosixChildProcess : public ChildProcess {
 public:
  PosixChildProcess(pid_t pid, FileDescriptor input, FileDescriptor output)
      : pid_(pid), input_(std::move(input)), output_(std::move(output)) {}
  ~PosixChildProcess() override {
    closeInput();
    output_.reset();
    if (pid_ > 0 && !exitCode_) {
      terminate();
      wait(-1);
    }
  }

  bool write(const void* data, size_t size) override { return orv_posix::writeAll(input_.get(), data, size); }

  void closeInput() override { input_.reset(); }

  // A signal neither ends the output nor stretches the wait: the poll goes
  // on for the time that is left.
  ReadStatus read(void* data, size_t size, int timeoutMs, size_t& got) override {
    got = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd ready{output_.get(), POLLIN, 0};
    for (int left = timeoutMs;;) {
      const int polled = poll(&ready, 1, left);
      if (polled > 0) break;
      if (polled == 0) return ReadStatus::TimedOut;
      if (errno != EINTR) return ReadStatus::End;
      if (timeoutMs >= 0) left = millisecondsUntil(deadline);
    }
    const ssize_t count = orv_posix::readSome(output_.get(), data, size);
    if (count <= 0) return ReadStatus::End;
    got = static_cast<size_t>(count);
    return ReadStatus::Data;
  }

  std::optional<int> wait(int timeoutMs) override {
    if (pid_ <= 0) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // Readable once the child has ended (Linux 5.3 and later); without it the
    // wait looks again every millisecond.
    const FileDescriptor ended(timeoutMs >= 0 && !exitCode_ ? static_cast<int>(syscall(SYS_pidfd_open, pid_, 0)) : -1);
    while (!exitCode_) {
      int status = 0;
      const pid_t done = waitpid(pid_, &status, timeoutMs < 0 ? 0 : WNOHANG);
      if (done == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      } else if (done < 0 && errno != EINTR) {
        exitCode_ = -1;
      } else if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline) {
        break;
      } else if (ended.valid()) {
        pollfd exit{ended.get(), POLLIN, 0};
        poll(&exit, 1, millisecondsUntil(deadline));  // a signal only sends it round again
      } else if (timeoutMs >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    return exitCode_;
  }

  void terminate() override {
    if (pid_ > 0 && !exitCode_) kill(pid_, SIGKILL);
  }

 private:
  pid_t pid_;
  FileDescriptor input_;
  FileDescriptor output_;
  std::optional<int> exitCode_;
};

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::attach(int readFd, int writeFd, std::string& error) {
  FileDescriptor input(fcntl(writeFd, F_DUPFD_CLOEXEC, 0));
  FileDescriptor output(fcntl(readFd, F_DUPFD_CLOEXEC, 0));
  if (!input.valid() || !output.valid()) {
    error = std::strerror(errno);
    return nullptr;
  }
  signal(SIGPIPE, SIG_IGN);
  return std::make_unique<PosixChildProcess>(-1, std::move(input), std::move(output));
}

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                                                  std::string& error) {
  int toChild[2], fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  FileDescriptor childInput(toChild[0]), input(toChild[1]);
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  FileDescriptor output(fromChild[0]), childOutput(fromChild[1]);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, childInput.get(), 0);
  posix_spawn_file_actions_adddup2(&actions, childOutput.get(), 1);

  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  // A host that dies must not take the tool down with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  childInput.reset();
  childOutput.reset();
  if (spawned != 0) {
    error = std::strerror(spawned);
    return nullptr;
  }
  return std::make_unique<PosixChildProcess>(pid, std::move(input), std::move(output));
}

}  // namespace orv_platform
