#include "child_process.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "process_wait.h"

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

// The launcher (ORV_LAUNCHER), the program and its arguments.
std::vector<std::string> commandLine(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> argv = splitWords(environmentOr("ORV_LAUNCHER", ""));
  argv.push_back(programPath(program));
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

}  // namespace

std::string programPath(const std::string& name) {
  return environmentOr("ORV_BIN_DIR", "build/bin") + "/" + name + environmentOr("ORV_EXE_SUFFIX", "");
}

bool runsUnderWine() { return environmentOr("ORV_LAUNCHER", "").find("wine") != std::string::npos; }

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& extraEnvironment)
    : program_(commandLine(program, args), {orv_test::LaunchOptions::Streams::kPipes, "", extraEnvironment}) {
  // A write to a child that has ended must fail as an exception, not end the
  // test run (the child itself starts with the default action).
  signal(SIGPIPE, SIG_IGN);
}

std::string binFolder() {
  const char* folder = std::getenv("ORV_BIN_DIR");
  return std::filesystem::absolute(folder != nullptr ? folder : "build/bin").lexically_normal().string();
}

StandIn::StandIn() {
  std::vector<std::string> argv;
  if (runsUnderWine()) argv.push_back("wine");
  argv.push_back(binFolder() + "/password_manager.exe");
  try {
    program_ = std::make_unique<orv_test::LaunchedProgram>(argv);
  } catch (const std::runtime_error& error) {
    ADD_FAILURE() << error.what();
    return;
  }
  EXPECT_TRUE(orv_test::waitUntilRunning("password_manager.exe")) << "the stand-in does not show as running";
}

StandIn::~StandIn() {
  if (program_) program_->stop(SIGTERM);
}

ChildProcess::~ChildProcess() {
  closeInput();
  if (!wait(std::chrono::milliseconds(5000))) program_.stop(SIGKILL);
}

void ChildProcess::write(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(program_.input(), bytes.data() + done, bytes.size() - done);
    if (wrote <= 0) throw std::runtime_error("write to the child failed");
    done += static_cast<size_t>(wrote);
  }
}

void ChildProcess::closeInput() { program_.closeInput(); }

void ChildProcess::closeOutput() { program_.closeOutput(); }

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
  return readFrom(program_.output(), count, timeout);
}

std::string ChildProcess::readToEnd(std::chrono::milliseconds timeout) {
  return readFrom(program_.output(), static_cast<size_t>(-1), timeout);
}

std::string ChildProcess::readErrorToEnd(std::chrono::milliseconds timeout) {
  return readFrom(program_.error(), static_cast<size_t>(-1), timeout);
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) { return program_.wait(timeout); }

std::optional<long> ChildProcess::peakResidentKiB() const {
  if (program_.ended()) return std::nullopt;
  std::ifstream status("/proc/" + std::to_string(program_.pid()) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return std::nullopt;
}

std::string lengthOnly(uint32_t length) { return std::string(reinterpret_cast<const char*>(&length), 4); }

std::string frame(const std::string& body) { return lengthOnly(static_cast<uint32_t>(body.size())) + body; }

}  // namespace orv_e2e
