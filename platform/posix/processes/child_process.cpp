#include "orv_platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace orv_platform {
namespace {

class PosixChildProcess : public ChildProcess {
 public:
  PosixChildProcess(pid_t pid, int input, int output) : pid_(pid), input_(input), output_(output) {}
  ~PosixChildProcess() override {
    closeInput();
    if (output_ >= 0) close(output_);
    if (pid_ > 0 && !exitCode_) {
      terminate();
      wait(-1);
    }
  }

  bool write(const void* data, size_t size) override {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t wrote = ::write(input_, bytes, size);
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) return false;
      bytes += wrote;
      size -= static_cast<size_t>(wrote);
    }
    return true;
  }

  void closeInput() override {
    if (input_ >= 0) close(input_);
    input_ = -1;
  }

  ReadStatus read(void* data, size_t size, int timeoutMs, size_t& got) override {
    got = 0;
    pollfd ready{output_, POLLIN, 0};
    const int polled = poll(&ready, 1, timeoutMs);
    if (polled == 0) return ReadStatus::TimedOut;
    const ssize_t count = ::read(output_, data, size);
    if (count <= 0) return ReadStatus::End;
    got = static_cast<size_t>(count);
    return ReadStatus::Data;
  }

  std::optional<int> wait(int timeoutMs) override {
    if (pid_ <= 0) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!exitCode_) {
      int status = 0;
      const pid_t done = waitpid(pid_, &status, timeoutMs < 0 ? 0 : WNOHANG);
      if (done == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      } else if (done < 0 && errno != EINTR) {
        exitCode_ = -1;
      } else if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline) {
        break;
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
  int input_;
  int output_;
  std::optional<int> exitCode_;
};

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::attach(int readFd, int writeFd, std::string& error) {
  const int input = dup(writeFd);
  const int output = dup(readFd);
  if (input < 0 || output < 0) {
    error = std::strerror(errno);
    if (input >= 0) close(input);
    if (output >= 0) close(output);
    return nullptr;
  }
  signal(SIGPIPE, SIG_IGN);
  return std::make_unique<PosixChildProcess>(-1, input, output);
}

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                                                  std::string& error) {
  int toChild[2], fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    close(toChild[0]);
    close(toChild[1]);
    return nullptr;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);

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
  close(toChild[0]);
  close(fromChild[1]);
  if (spawned != 0) {
    error = std::strerror(spawned);
    close(toChild[1]);
    close(fromChild[0]);
    return nullptr;
  }
  return std::make_unique<PosixChildProcess>(pid, toChild[1], fromChild[0]);
}

}  // namespace orv_platform
