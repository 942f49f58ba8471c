// Crash consistency of the Linux registry: writers (orvreg add, orvreg
// import) killed at random moments, each time followed by a look at the hive
// as a user who may only read it. That user must open the hive, find every
// value a finished writer had reported written, and never a torn value.
// ORV_CRASH_RUNS sets the number of killed writers (default 200); the runs
// are seeded from ORV_CRASH_SEED (default: the clock), printed on failure.
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "registry_setup.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char kKey[] = "HKLM\\Software\\Crash";

// The hex data of value `name`: its bytes derive from the name, so that a
// torn or mixed-up value shows.
std::string dataOf(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  const size_t seed = std::hash<std::string>()(name);
  std::string hex;
  for (size_t i = 0; i < 48 + seed % 200; ++i) {
    const unsigned byte = static_cast<unsigned>((seed >> (i % 48)) + i * 7) & 0xFF;
    hex += kHex[byte >> 4];
    hex += kHex[byte & 0xF];
  }
  return hex;
}

// Starts argv with the registry of the test; the child's pid.
pid_t start(const std::vector<std::string>& argv) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "r", stdin);
    execvp(args[0], args.data());
    _exit(127);
  }
  return pid;
}

// Kills the child after `delay` unless it ended first; true when it ended by
// itself with status 0 (the writer reported its work done).
bool runAndKill(pid_t pid, std::chrono::microseconds delay) {
  const auto deadline = Clock::now() + delay;
  int status = 0;
  while (Clock::now() < deadline) {
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Every value of the keys below kKey as `orvreg query /s` prints them, read
// as nobody: name to hex data. `opened` is false when the query failed.
std::map<std::string, std::string> queryAsNobody(bool* opened, std::string* output) {
  orv_e2e::CommandResult result = orv_e2e::runCommand({"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                                       orv_e2e::programPath("orvreg"), "query", kKey, "/s"});
  *opened = result.exitCode == 0;
  *output = result.output + result.error;
  std::map<std::string, std::string> values;
  std::istringstream lines(result.output);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string name, type, data;
    if (line.rfind("    ", 0) == 0 && fields >> name >> type && type == "REG_BINARY") {
      fields >> data;
      values[name] = data;
    }
  }
  return values;
}

// An import file of `count` values in the key kKey\<section>, written by
// orvreg export from a registry of its own.
std::string makeImportFile(const fs::path& folder, const std::string& section, int count) {
  const fs::path source = folder / ("source-" + section);
  fs::create_directories(source);
  const std::string environment = "ORV_REGISTRY_DIR=" + source.string();
  const std::string key = std::string(kKey) + "\\" + section;
  for (int i = 0; i < count; ++i) {
    const std::string name = section + "-" + std::to_string(i);
    orv_e2e::CommandResult added = orv_e2e::runCommand({"env", environment, orv_e2e::programPath("orvreg"), "add", key,
                                                        "/v", name, "/t", "REG_BINARY", "/d", dataOf(name), "/f"});
    if (added.exitCode != 0) return std::string();
  }
  const fs::path file = folder / (section + ".ini");
  orv_e2e::CommandResult exported =
      orv_e2e::runCommand({"env", environment, orv_e2e::programPath("orvreg"), "export", key, file.string(), "/y"});
  return exported.exitCode == 0 ? file.string() : std::string();
}

TEST(RegistryCrash, KilledWritersLeaveAHiveAReaderOpensWithEveryReportedValueWhole) {
  if (orv_e2e::runsUnderWine()) GTEST_SKIP() << "the crash harness tests the Linux registry store";
  if (geteuid() != 0) GTEST_SKIP() << "the tests do not run as root, so they cannot read as another user";
  if (getpwnam("nobody") == nullptr) GTEST_SKIP() << "this machine has no user \"nobody\"";
  if (orv_e2e::runCommand({"setpriv", "--version"}).exitCode != 0) GTEST_SKIP() << "setpriv is not installed";

  char pattern[] = "/tmp/orv-crash-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path folder = pattern;
  chmod(pattern, 0755);  // others may read the hive, not write beside it
  const char* previous = std::getenv("ORV_REGISTRY_DIR");
  const std::string previousFolder = previous != nullptr ? previous : "";

  const int runs = std::getenv("ORV_CRASH_RUNS") != nullptr ? std::atoi(std::getenv("ORV_CRASH_RUNS")) : 200;
  const unsigned seed = std::getenv("ORV_CRASH_SEED") != nullptr
                            ? static_cast<unsigned>(std::atoi(std::getenv("ORV_CRASH_SEED")))
                            : static_cast<unsigned>(Clock::now().time_since_epoch().count());
  SCOPED_TRACE("ORV_CRASH_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);

  // One import file, its key name changed per run so that each run's values
  // are its own.
  const std::string importTemplate = makeImportFile(folder, "IMPORTSECTION", 150);
  ASSERT_FALSE(importTemplate.empty()) << "could not make the import file";
  std::string importText;
  {
    std::ifstream in(importTemplate, std::ios::binary);
    importText.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  const fs::path hives = folder / "hives";
  fs::create_directories(hives);
  chmod(hives.c_str(), 0755);
  setenv("ORV_REGISTRY_DIR", hives.c_str(), 1);
  // A first value makes the hive, and the time of a whole add and import.
  const auto timed = [](const std::vector<std::string>& argv) {
    const auto begin = Clock::now();
    const bool done = runAndKill(start(argv), std::chrono::seconds(60));
    return done ? std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - begin)
                : std::chrono::microseconds(-1);
  };
  const auto addTime = timed(
      {orv_e2e::programPath("orvreg"), "add", kKey, "/v", "first", "/t", "REG_BINARY", "/d", dataOf("first"), "/f"});
  ASSERT_GT(addTime.count(), 0);
  std::map<std::string, std::string> reported{{"first", dataOf("first")}};  // name to data
  std::map<std::string, std::string> attempted = reported;

  const auto importFor = [&](int run) {
    std::string text = importText;
    const std::string section = "I" + std::to_string(run);
    for (size_t at = text.find("IMPORTSECTION"); at != std::string::npos; at = text.find("IMPORTSECTION", at)) {
      text.replace(at, 13, section);
    }
    const fs::path file = folder / (section + ".ini");
    std::ofstream(file, std::ios::binary) << text;
    return std::make_pair(file.string(), section);
  };
  const auto importTime = timed({orv_e2e::programPath("orvreg"), "import", importFor(-1).first});
  ASSERT_GT(importTime.count(), 0);
  // An imported value's data is the template's, whatever its run's name.
  const auto importedData = [](int i) { return dataOf("IMPORTSECTION-" + std::to_string(i)); };
  for (int i = 0; i < 150; ++i) reported["I-1-" + std::to_string(i)] = importedData(i);
  attempted = reported;

  int finished = 0;
  for (int run = 0; run < runs; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    std::vector<std::pair<std::string, std::string>> values;  // name, data
    pid_t writer = -1;
    std::chrono::microseconds typical{};
    if (run % 4 != 3) {
      const std::string name = "a" + std::to_string(run);
      values.emplace_back(name, dataOf(name));
      writer = start(
          {orv_e2e::programPath("orvreg"), "add", kKey, "/v", name, "/t", "REG_BINARY", "/d", dataOf(name), "/f"});
      typical = addTime;
    } else {
      const auto [file, section] = importFor(run);
      for (int i = 0; i < 150; ++i) values.emplace_back(section + "-" + std::to_string(i), importedData(i));
      writer = start({orv_e2e::programPath("orvreg"), "import", file});
      typical = importTime;
    }
    // Somewhere from the start to a little past a typical run's end.
    std::uniform_int_distribution<int64_t> moment(0, typical.count() * 6 / 5);
    const bool done = runAndKill(writer, std::chrono::microseconds(moment(random)));
    for (const auto& [name, data] : values) {
      attempted[name] = data;
      if (done) reported[name] = data;
    }
    finished += done ? 1 : 0;

    bool opened = false;
    std::string output;
    const std::map<std::string, std::string> seen = queryAsNobody(&opened, &output);
    ASSERT_TRUE(opened) << "nobody could not read the hive after the kill:\n" << output;
    for (const auto& [name, data] : reported) {
      const auto found = seen.find(name);
      ASSERT_NE(found, seen.end()) << "value " << name << " was reported written and is gone";
    }
    for (const auto& [name, data] : seen) {
      const auto expected = attempted.find(name);
      ASSERT_NE(expected, attempted.end()) << "a value nobody wrote: " << name;
      ASSERT_EQ(data, expected->second) << "value " << name << " is torn";
    }
  }
  // Both ends of the range were hit: some writers finished, some were killed.
  EXPECT_GT(finished, 0);
  EXPECT_LT(finished, runs);

  if (previous != nullptr) {
    setenv("ORV_REGISTRY_DIR", previousFolder.c_str(), 1);
  } else {
    unsetenv("ORV_REGISTRY_DIR");
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

}  // namespace
