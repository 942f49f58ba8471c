#include "registry_setup.h"

#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>

#include "child_process.h"
#include "launched_program.h"

namespace orv_e2e {
namespace {

std::string environmentOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

std::string orvregPath() {
  return environmentOr("ORV_TOOLS_BIN_DIR", environmentOr("ORV_BIN_DIR", "build/bin")) + "/orvreg";
}

std::string withoutCarriageReturns(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

bool startsWithKey(const std::string& key, const std::string& prefix) {
  return key.size() >= prefix.size() && strncasecmp(key.c_str(), prefix.c_str(), prefix.size()) == 0 &&
         (key.size() == prefix.size() || key[prefix.size()] == '\\');
}

}  // namespace

CommandResult runCommand(const std::vector<std::string>& argv) {
  CommandResult result;
  std::unique_ptr<orv_test::LaunchedProgram> program;
  try {
    program = std::make_unique<orv_test::LaunchedProgram>(
        argv, orv_test::LaunchOptions{orv_test::LaunchOptions::Streams::kPipes});
  } catch (const std::runtime_error&) {
    return result;
  }
  program->closeInput();
  // Both streams at once, so that neither pipe fills while the other is read.
  pollfd streams[2] = {{program->output(), POLLIN, 0}, {program->error(), POLLIN, 0}};
  std::string* texts[2] = {&result.output, &result.error};
  int open = 2;
  while (open > 0 && poll(streams, 2, 60000) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (streams[i].fd < 0 || streams[i].revents == 0) continue;
      char chunk[4096];
      const ssize_t got = read(streams[i].fd, chunk, sizeof(chunk));
      if (got > 0) {
        texts[i]->append(chunk, static_cast<size_t>(got));
      } else {
        streams[i].fd = -1;
        --open;
      }
    }
  }
  result.exitCode = program->waitForExit();
  result.output = withoutCarriageReturns(result.output);
  result.error = withoutCarriageReturns(result.error);
  return result;
}

RegistrySetup::RegistrySetup() {
  if (runsUnderWine()) return;
  char pattern[] = "/tmp/orv-e2e-registry-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    ADD_FAILURE() << "cannot make a registry folder";
    return;
  }
  folder_ = pattern;
  const char* previous = std::getenv("ORV_REGISTRY_DIR");
  hadPreviousFolder_ = previous != nullptr;
  if (previous != nullptr) previousFolder_ = previous;
  setenv("ORV_REGISTRY_DIR", folder_.c_str(), 1);
}

RegistrySetup::~RegistrySetup() {
  if (runsUnderWine()) {
    for (const std::string& key : created_) run({"delete", key, "/f"});
    return;
  }
  if (hadPreviousFolder_) {
    setenv("ORV_REGISTRY_DIR", previousFolder_.c_str(), 1);
  } else {
    unsetenv("ORV_REGISTRY_DIR");
  }
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

CommandResult RegistrySetup::run(const std::vector<std::string>& args) const {
  std::vector<std::string> argv;
  if (runsUnderWine()) {
    argv = {environmentOr("ORV_LAUNCHER", "wine"), "reg"};
  } else {
    argv = {orvregPath()};
  }
  argv.insert(argv.end(), args.begin(), args.end());
  return runCommand(argv);
}

// Under Wine: the outermost key of `key` that is not there yet is the one to
// delete at the end.
void RegistrySetup::rememberCreated(const std::string& key) {
  if (!runsUnderWine()) return;
  for (const std::string& known : created_) {
    if (startsWithKey(key, known)) return;
  }
  size_t slash = key.find('\\');
  while (slash != std::string::npos) {
    slash = key.find('\\', slash + 1);
    const std::string prefix = key.substr(0, slash);
    if (run({"query", prefix}).exitCode != 0) {
      created_.push_back(prefix);
      return;
    }
  }
}

void RegistrySetup::add(const std::string& key, const std::string& name, const std::string& type,
                        const std::string& data) {
  rememberCreated(key);
  std::vector<std::string> args = {"add", key};
  if (name.empty()) {
    args.push_back("/ve");
  } else {
    args.insert(args.end(), {"/v", name});
  }
  args.insert(args.end(), {"/t", type, "/d", data, "/f"});
  CommandResult result = run(args);
  // Wine's reg.exe now and then fails an add on a busy machine, saying
  // nothing: one more try tells that from a real failure.
  if (result.exitCode != 0 && runsUnderWine()) result = run(args);
  EXPECT_EQ(result.exitCode, 0) << "reg add " << key << " " << name << ": " << result.output << result.error;
}

void RegistrySetup::addKey(const std::string& key) {
  rememberCreated(key);
  const CommandResult result = run({"add", key, "/f"});
  EXPECT_EQ(result.exitCode, 0) << "reg add " << key << ": " << result.output << result.error;
}

bool RegistrySetup::remove(const std::string& key) { return run({"delete", key, "/f"}).exitCode == 0; }

void RegistrySetup::track(const std::string& key) {
  if (runsUnderWine()) created_.push_back(key);
}

std::string RegistrySetup::uniqueKey(const std::string& root) {
  std::random_device random;
  return root + "\\Software\\OrvTest\\" + std::to_string(random()) + std::to_string(random());
}

}  // namespace orv_e2e
