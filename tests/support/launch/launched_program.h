// A program started for a test, a benchmark or a fuzzer: its arguments,
// extra environment entries and standard streams, stopped by its process id
// when the object goes. POSIX only: bench/, fuzz/ and the end-to-end tests
// drive Linux programs (the Windows ones through "wine").
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace orv_test {

struct LaunchOptions {
  enum class Streams {
    kNull,     // standard input from inputFile (or /dev/null), output and errors to /dev/null
    kInherit,  // this process's own streams
    kPipes,    // three pipes to this process: input(), output(), error()
  };
  Streams streams = Streams::kNull;
  std::string inputFile;
  // "NAME=value" entries added to this process's environment.
  std::vector<std::string> extraEnvironment;
};

class LaunchedProgram {
 public:
  // argv[0] is looked up on PATH when it has no slash. Throws
  // std::runtime_error when the program cannot start.
  explicit LaunchedProgram(const std::vector<std::string>& argv, const LaunchOptions& options = {});
  // Stops the program (SIGKILL) if it still runs and reaps it.
  ~LaunchedProgram();
  LaunchedProgram(const LaunchedProgram&) = delete;
  LaunchedProgram& operator=(const LaunchedProgram&) = delete;

  pid_t pid() const { return pid_; }
  // The pipes' ends on this side; -1 once closed or without pipes.
  int input() const { return input_; }
  int& output() { return output_; }
  int& error() { return error_; }
  void closeInput();
  void closeOutput();

  // The exit code (128 + the signal for a killed program), or nothing when
  // it did not end in time.
  std::optional<int> wait(std::chrono::milliseconds timeout);
  // Whether a wait has seen it end.
  bool ended() const { return exitCode_.has_value(); }
  // Waits as long as it takes; `usage` receives the program's resource use.
  int waitForExit(rusage* usage = nullptr);
  // Sends `signal` unless it has ended, and reaps it.
  void stop(int signal);

 private:
  int recordExit(int status);
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  int error_ = -1;
  std::optional<int> exitCode_;
};

}  // namespace orv_test
