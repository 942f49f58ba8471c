#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace orv_e2e {
namespace {

std::string environmentOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : fallback;
}

std::vector<std::string> splitWords(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

void makePipe(int fds[2]) {
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
}

}  // namespace

std::string programPath(const std::string& name) {
  return environmentOr("ORV_BIN_DIR", "build/bin") + "/" + name + environmentOr("ORV_EXE_SUFFIX", "");
}

bool runsUnderWine() { return environmentOr("ORV_LAUNCHER", "").find("wine") != std::string::npos; }

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& extraEnvironment) {
  // A write to a child that has ended must fail as an exception, not end
  // the test run; the child starts with the default action, as a browser
  // starts it.
  signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> argv = splitWords(environmentOr("ORV_LAUNCHER", ""));
  argv.push_back(programPath(program));
  argv.insert(argv.end(), args.begin(), args.end());

  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) env.emplace_back(*entry);
  env.insert(env.end(), extraEnvironment.begin(), extraEnvironment.end());

  int in[2], out[2], err[2];
  makePipe(in);
  makePipe(out);
  makePipe(err);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);

  std::vector<char*> argvPointers, envPointers;
  for (auto& word : argv) argvPointers.push_back(word.data());
  argvPointers.push_back(nullptr);
  for (auto& entry : env) envPointers.push_back(entry.data());
  envPointers.push_back(nullptr);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  const int spawned =
      posix_spawnp(&pid_, argvPointers[0], &actions, &attributes, argvPointers.data(), envPointers.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  input_ = in[1];
  output_ = out[0];
  error_ = err[0];
  if (spawned != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(spawned));
}

std::string binFolder() {
  const char* folder = std::getenv("ORV_BIN_DIR");
  return std::filesystem::absolute(folder != nullptr ? folder : "build/bin").lexically_normal().string();
}

StandIn::StandIn() {
  std::vector<std::string> argv;
  if (runsUnderWine()) argv.push_back("wine");
  argv.push_back(binFolder() + "/password_manager.exe");
  std::vector<char*> pointers;
  for (std::string& word : argv) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  if (posix_spawnp(&pid_, pointers[0], &actions, nullptr, pointers.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  EXPECT_GT(pid_, 0) << "cannot start the stand-in";
  // Wine needs a moment before the process shows in other processes' snapshots.
  std::this_thread::sleep_for(std::chrono::milliseconds(runsUnderWine() ? 1500 : 100));
}

StandIn::~StandIn() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

ChildProcess::~ChildProcess() {
  closeInput();
  if (!wait(std::chrono::milliseconds(5000))) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (output_ >= 0) close(output_);
  if (error_ >= 0) close(error_);
}

void ChildProcess::write(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(input_, bytes.data() + done, bytes.size() - done);
    if (wrote <= 0) throw std::runtime_error("write to the child failed");
    done += static_cast<size_t>(wrote);
  }
}

void ChildProcess::closeInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

void ChildProcess::closeOutput() {
  if (output_ >= 0) close(output_);
  output_ = -1;
}

std::string ChildProcess::readFrom(int& fd, size_t count, std::chrono::milliseconds timeout) {
  std::string bytes;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (fd >= 0 && bytes.size() < count) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[65536];
    const size_t wanted = std::min(sizeof(chunk), count - bytes.size());
    const ssize_t got = ::read(fd, chunk, wanted);
    if (got <= 0) {
      close(fd);
      fd = -1;
      break;
    }
    bytes.append(chunk, static_cast<size_t>(got));
  }
  return bytes;
}

std::string ChildProcess::read(size_t count, std::chrono::milliseconds timeout) {
  return readFrom(output_, count, timeout);
}

std::string ChildProcess::readToEnd(std::chrono::milliseconds timeout) {
  return readFrom(output_, static_cast<size_t>(-1), timeout);
}

std::string ChildProcess::readErrorToEnd(std::chrono::milliseconds timeout) {
  return readFrom(error_, static_cast<size_t>(-1), timeout);
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
  if (exitCode_) return exitCode_;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return exitCode_;
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

std::optional<long> ChildProcess::peakResidentKiB() const {
  if (exitCode_) return std::nullopt;
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return std::nullopt;
}

std::string lengthOnly(uint32_t length) { return std::string(reinterpret_cast<const char*>(&length), 4); }

std::string frame(const std::string& body) { return lengthOnly(static_cast<uint32_t>(body.size())) + body; }

}  // namespace orv_e2e
