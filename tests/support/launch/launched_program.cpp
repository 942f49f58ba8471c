#include "launched_program.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace orv_test {
namespace {

void closeIfOpen(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Builds the spawn's file actions; the pipes' other ends stay with the caller.
class FileActions {
 public:
  FileActions() { posix_spawn_file_actions_init(&actions_); }
  ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
  void open(int fd, const char* path, int flags) { posix_spawn_file_actions_addopen(&actions_, fd, path, flags, 0); }
  void dup(int from, int to) { posix_spawn_file_actions_adddup2(&actions_, from, to); }
  const posix_spawn_file_actions_t* get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

std::vector<char*> pointersTo(std::vector<std::string>& words) {
  std::vector<char*> pointers;
  for (std::string& word : words) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

LaunchedProgram::LaunchedProgram(const std::vector<std::string>& argv, const LaunchOptions& options) {
  if (argv.empty()) throw std::runtime_error("no program to start");
  FileActions actions;
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  if (options.streams == LaunchOptions::Streams::kPipes) {
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
      for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
        if (fd >= 0) close(fd);
      throw std::runtime_error("cannot make the pipes");
    }
    actions.dup(in[0], 0);
    actions.dup(out[1], 1);
    actions.dup(err[1], 2);
  } else if (options.streams == LaunchOptions::Streams::kNull) {
    actions.open(0, options.inputFile.empty() ? "/dev/null" : options.inputFile.c_str(), O_RDONLY);
    actions.open(1, "/dev/null", O_WRONLY);
    actions.open(2, "/dev/null", O_WRONLY);
  }

  // A caller that ignores SIGPIPE (to see a write to an ended child fail)
  // must not hand that on: the program starts with the default action, as
  // a browser starts a host.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> words = argv;
  std::vector<char*> argPointers = pointersTo(words);
  std::vector<std::string> environment;
  if (!options.extraEnvironment.empty()) {
    for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
    environment.insert(environment.end(), options.extraEnvironment.begin(), options.extraEnvironment.end());
  }
  std::vector<char*> environmentPointers = pointersTo(environment);
  const int spawned = posix_spawnp(&pid_, argPointers[0], actions.get(), &attributes, argPointers.data(),
                                   options.extraEnvironment.empty() ? environ : environmentPointers.data());
  posix_spawnattr_destroy(&attributes);
  closeIfOpen(in[0]);
  closeIfOpen(out[1]);
  closeIfOpen(err[1]);
  input_ = in[1];
  output_ = out[0];
  error_ = err[0];
  if (spawned != 0) {
    pid_ = -1;
    closeInput();
    closeOutput();
    closeIfOpen(error_);
    throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(spawned));
  }
}

LaunchedProgram::~LaunchedProgram() {
  stop(SIGKILL);
  closeInput();
  closeOutput();
  closeIfOpen(error_);
}

void LaunchedProgram::closeInput() { closeIfOpen(input_); }

void LaunchedProgram::closeOutput() { closeIfOpen(output_); }

int LaunchedProgram::recordExit(int status) {
  exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return *exitCode_;
}

std::optional<int> LaunchedProgram::wait(std::chrono::milliseconds timeout) {
  if (exitCode_ || pid_ <= 0) return exitCode_;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) return recordExit(status);
    if (done < 0 && errno != EINTR) return std::nullopt;
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

int LaunchedProgram::waitForExit(rusage* usage) {
  if (exitCode_ || pid_ <= 0) return exitCode_.value_or(-1);
  int status = 0;
  rusage ignored{};
  while (wait4(pid_, &status, 0, usage != nullptr ? usage : &ignored) < 0)
    if (errno != EINTR) return -1;
  return recordExit(status);
}

void LaunchedProgram::stop(int signal) {
  if (exitCode_ || pid_ <= 0) return;
  kill(pid_, signal);
  waitForExit();
}

}  // namespace orv_test
