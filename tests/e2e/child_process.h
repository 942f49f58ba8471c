// A built program of the project started with pipes on its standard
// streams. ORV_BIN_DIR names the folder, ORV_EXE_SUFFIX the ending (".exe"),
// ORV_LAUNCHER a program to run it with ("wine").
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "launched_program.h"

namespace orv_e2e {

std::string programPath(const std::string& name);
bool runsUnderWine();
// The folder of the built programs (ORV_BIN_DIR), absolute.
std::string binFolder();

// The password manager stand-in ("password_manager.exe"), running (and
// seen in the process list) until the object goes.
class StandIn {
 public:
  StandIn();
  ~StandIn();
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;

 private:
  std::unique_ptr<orv_test::LaunchedProgram> program_;
};

class ChildProcess {
 public:
  explicit ChildProcess(const std::string& program, const std::vector<std::string>& args = {},
                        const std::vector<std::string>& extraEnvironment = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void write(const std::string& bytes);
  void closeInput();
  // The browser going away: later writes of the child find no reader.
  void closeOutput();
  // Reads until `count` bytes came, the output closed or the time ran out.
  std::string read(size_t count, std::chrono::milliseconds timeout);
  // Everything until the output closes (or the time runs out).
  std::string readToEnd(std::chrono::milliseconds timeout);
  std::string readErrorToEnd(std::chrono::milliseconds timeout);
  // The exit code, or nothing when the process did not end in time.
  std::optional<int> wait(std::chrono::milliseconds timeout);
  // The child's peak resident memory so far in KiB, while it runs (its
  // /proc entry); nothing once it has ended. Asked of the process itself:
  // the accounting of a waited-for child also counts this process's memory,
  // which the child shared until it started its program.
  std::optional<long> peakResidentKiB() const;

 private:
  std::string readFrom(int& fd, size_t count, std::chrono::milliseconds timeout);
  orv_test::LaunchedProgram program_;
};

// The browser's framing: a 4-byte native length, then the bytes.
std::string frame(const std::string& body);
std::string lengthOnly(uint32_t length);

}  // namespace orv_e2e
