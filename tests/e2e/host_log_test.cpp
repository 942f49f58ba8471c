// The host's text log as an administrator configures it in the registry:
// traced calls, the executable's name, several processes appending to one
// file, and rotation across processes. Runs against the Linux and the
// Windows build alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <thread>

#include "child_process.h"
#include "registry_setup.h"

namespace {

using namespace std::chrono_literals;
using orv_e2e::ChildProcess;
using orv_e2e::frame;

const char kLogsKey[] = "HKLM\\SOFTWARE\\Halvik\\Logs";
const std::regex kStamp(
    "<(Mon|Tue|Wed|Thu|Fri|Sat|Sun) [A-Z][a-z]{2} [0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] "
    "[0-9]{4}>: ");

std::vector<std::string> logLines(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string text;  // the ASCII of the UTF-16 text; anything else shows as '?'
  size_t start = bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0 ? 2 : 0;
  for (size_t i = start; i + 1 < bytes.size(); i += 2)
    text.push_back(bytes[i + 1] == 0 && static_cast<unsigned char>(bytes[i]) < 0x80 ? bytes[i] : '?');
  std::vector<std::string> lines;
  for (size_t from = 0, end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2)
    lines.push_back(text.substr(from, end - from));
  return lines;
}

size_t countMatching(const std::vector<std::string>& lines, const std::string& pattern) {
  const std::regex expression(pattern);
  size_t count = 0;
  for (const std::string& line : lines) count += std::regex_search(line, expression) ? 1 : 0;
  return count;
}

std::vector<std::string> resetLines(const std::vector<std::string>& lines) {
  std::vector<std::string> found;
  for (const std::string& line : lines)
    if (line.find("<CChromeNativeMessageHandle::Reset>") != std::string::npos) found.push_back(line);
  return found;
}

// Any whole line of the host: time stamp, level, object name, and the rest.
const char kAnyHostLine[] = "^<[^>]+>: <[A-Z_]+> <pwm_chrome_extension_host> .*$";

// A path as the program under test sees it: under Wine, drive Z: is the root.
std::string pathForPrograms(const std::filesystem::path& path) {
  if (!orv_e2e::runsUnderWine()) return path.string();
  std::string windows = "Z:" + path.string();
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

// A copy of the host at `target`. The Windows host finds orv.dll beside
// itself, as where it is installed.
void copyHost(const std::filesystem::path& target) {
  const std::filesystem::path original = orv_e2e::programPath("pwm_chrome_extension_host");
  std::filesystem::copy_file(original, target, std::filesystem::copy_options::overwrite_existing);
  const std::filesystem::path library = original.parent_path() / "orv.dll";
  if (std::filesystem::exists(library))
    std::filesystem::copy_file(library, target.parent_path() / "orv.dll",
                               std::filesystem::copy_options::overwrite_existing);
}

std::string resetFrames(int count) {
  std::string input;
  for (int i = 0; i < count; ++i) input += frame("{\"COMMAND\":\"RESET\"}");
  return input;
}

class HostLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    folder_ = std::filesystem::temp_directory_path() / ("orv_host_log_" + std::to_string(random()));
    std::filesystem::create_directories(folder_);
    registry_.emplace();
    registry_->remove(kLogsKey);  // left by an interrupted run
    registry_->track(kLogsKey);
  }
  void TearDown() override {
    registry_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  // Tracing on, ENTRY and EXIT with the default detail, the log in the scratch folder.
  void enableTracing(const std::string& logDetail = "0x30B") {
    registry_->add(kLogsKey, "Logging", "REG_DWORD", "1");
    registry_->add(kLogsKey, "DynamicLogging", "REG_DWORD", "1");
    registry_->add(kLogsKey, "LogDetail", "REG_DWORD", logDetail);
    registry_->add(kLogsKey, "TextOutput", "REG_SZ", pathForPrograms(logFile()));
  }

  void runHost(const std::string& input, const std::string& program = "pwm_chrome_extension_host") {
    ChildProcess host(program);
    host.write(input);
    host.closeInput();
    host.readToEnd(60s);
    EXPECT_EQ(host.wait(60s), std::optional<int>(0));
  }

  std::filesystem::path logFile() const { return folder_ / "logs" / "host.log"; }

  std::filesystem::path folder_;
  std::optional<orv_e2e::RegistrySetup> registry_;
};

TEST_F(HostLogTest, AResetIsTracedWithTheExecutablesName) {
  enableTracing();
  runHost(resetFrames(1));
  const std::vector<std::string> lines = resetLines(logLines(logFile()));
  ASSERT_EQ(lines.size(), 2u);
  const std::string entry =
      "<ENTRY> <pwm_chrome_extension_host> <CChromeNativeMessageHandle::Reset> "
      "<ChromeNativeMessageHandle.cpp, [0-9]+> $";
  const std::string exit =
      "<EXIT> <pwm_chrome_extension_host> <CChromeNativeMessageHandle::Reset> <Passed> "
      "<ChromeNativeMessageHandle.cpp, [0-9]+> $";
  EXPECT_TRUE(std::regex_search(lines[0], std::regex("^" + std::string("<[^>]+>: ") + entry))) << lines[0];
  EXPECT_TRUE(std::regex_search(lines[1], std::regex("^" + std::string("<[^>]+>: ") + exit))) << lines[1];
  for (const std::string& line : logLines(logFile())) EXPECT_TRUE(std::regex_search(line, kStamp)) << line;
  std::ifstream in(logFile(), std::ios::binary);
  char mark[2] = {};
  in.read(mark, 2);
  EXPECT_EQ(std::string(mark, 2), "\xFF\xFE");
}

TEST_F(HostLogTest, NothingIsTracedWithoutDynamicLogging) {
  enableTracing();
  registry_->add(kLogsKey, "DynamicLogging", "REG_DWORD", "2");
  runHost(resetFrames(3));
  EXPECT_FALSE(std::filesystem::exists(logFile()));
}

TEST_F(HostLogTest, TwoHostsAppendingAtOnceKeepEveryLineWhole) {
  // Windows appends atomically for a handle opened with FILE_APPEND_DATA
  // alone; Wine 8 moves to the end and writes in two steps, so two processes
  // there can overwrite each other's lines.
  if (orv_e2e::runsUnderWine()) GTEST_SKIP() << "Wine's append access is not atomic between processes";
  enableTracing();
  constexpr int kResets = 250;
  std::thread first([&] { runHost(resetFrames(kResets)); });
  std::thread second([&] { runHost(resetFrames(kResets)); });
  first.join();
  second.join();
  const std::vector<std::string> lines = logLines(logFile());
  const std::string traced =
      "^<[^>]+>: <(ENTRY|EXIT)> <pwm_chrome_extension_host> <CChromeNativeMessageHandle::Reset> "
      "(<Passed> )?<ChromeNativeMessageHandle.cpp, [0-9]+> $";
  EXPECT_EQ(countMatching(lines, kAnyHostLine), lines.size()) << "a line was cut or interleaved";
  const std::vector<std::string> resets = resetLines(lines);
  EXPECT_EQ(resets.size(), 4u * kResets);
  EXPECT_EQ(countMatching(resets, traced), 4u * kResets);
  EXPECT_EQ(countMatching(resets, "<ENTRY>"), 2u * kResets);
}

// The executable's name stands in for a missing object name only while its
// full path is shorter than 128 characters.
TEST_F(HostLogTest, AnExecutableAtAPathOf128CharactersWritesNoTrace) {
  enableTracing();
  const std::string suffix = orv_e2e::runsUnderWine() ? ".exe" : "";
  for (const size_t length : {127u, 128u}) {
    SCOPED_TRACE(length);
    // The path as the program sees it is longer under Wine by its drive ("Z:").
    const std::string name = "pwm_chrome_extension_host" + suffix;
    const size_t seen = pathForPrograms(folder_ / "x" / name).size();
    std::filesystem::path deep = folder_ / (std::string(length - seen + 1, 'd')) / name;
    std::filesystem::create_directories(deep.parent_path());
    copyHost(deep);
    ASSERT_EQ(pathForPrograms(deep).size(), length);
    std::filesystem::remove(logFile());
    const std::string program =
        std::filesystem::relative(deep, std::filesystem::path(orv_e2e::programPath("x")).parent_path()).string();
    runHost(resetFrames(1), program.substr(0, program.size() - suffix.size()));
    EXPECT_EQ(std::filesystem::exists(logFile()), length == 127);
  }
}

// The log's files oldest first: the highest number down to ".1", then the log.
std::vector<std::filesystem::path> filesOldestFirst(const std::filesystem::path& log) {
  std::vector<std::filesystem::path> files;
  for (int n = 1; std::filesystem::exists(log.string() + "." + std::to_string(n)); ++n)
    files.insert(files.begin(), log.string() + "." + std::to_string(n));
  if (std::filesystem::exists(log)) files.push_back(log);
  return files;
}

// Checks every file of the log: whole lines only, none over the limit by more
// than `slackLines` of its longest line; returns all lines, oldest first.
std::vector<std::string> checkedHistory(const std::filesystem::path& log, size_t limitBytes, size_t slackLines = 1) {
  std::vector<std::string> history;
  for (const std::filesystem::path& file : filesOldestFirst(log)) {
    const std::vector<std::string> lines = logLines(file);
    EXPECT_FALSE(lines.empty()) << file;
    const std::regex whole("^<[^>]+>: <[A-Z_]+> <pwm_host_[a-z]> .*$");
    for (const std::string& line : lines)
      EXPECT_TRUE(std::regex_search(line, whole)) << file << ": a line was cut or interleaved: " << line;
    size_t longest = 0;
    for (const std::string& line : lines) longest = std::max(longest, (line.size() + 2) * 2);
    EXPECT_LE(std::filesystem::file_size(file), limitBytes + slackLines * longest) << file;
    history.insert(history.end(), lines.begin(), lines.end());
  }
  return history;
}

// The Reset lines of one host, in order: they alternate ENTRY, EXIT.
std::string resetTrail(const std::vector<std::string>& history, const std::string& host) {
  std::string trail;
  for (const std::string& line : resetLines(history))
    if (line.find("<" + host + ">") != std::string::npos)
      trail += line.find("<ENTRY>") != std::string::npos ? 'N' : 'X';
  return trail;
}

std::string alternating(int resets) {
  std::string trail;
  for (int i = 0; i < resets; ++i) trail += "NX";
  return trail;
}

class HostLogRotationTest : public HostLogTest {
 protected:
  // A copy of the host whose lines carry the name `name` (its object name).
  std::string hostNamed(const std::string& name) {
    const std::string suffix = orv_e2e::runsUnderWine() ? ".exe" : "";
    const std::filesystem::path copy = folder_ / "hosts" / (name + suffix);
    std::filesystem::create_directories(copy.parent_path());
    copyHost(copy);
    const std::string program =
        std::filesystem::relative(copy, std::filesystem::path(orv_e2e::programPath("x")).parent_path()).string();
    return program.substr(0, program.size() - suffix.size());
  }

  void limitFiles(int kilobytes) {
    registry_->add(kLogsKey, "MaxLogFileSize", "REG_DWORD", std::to_string(kilobytes));
    registry_->add(kLogsKey, "MaxLogFileNum", "REG_DWORD", "1000");
  }
};

// Each host starts with counters at 0 and finds what earlier ones left: its
// rotations move their files up, and its few bytes on top of theirs still
// rotate the log. Every line stays, oldest in the highest file.
TEST_F(HostLogRotationTest, SequentialHostsKeepEveryLineInOrder) {
  enableTracing();
  limitFiles(1);
  const std::vector<std::string> hosts = {"pwm_host_a", "pwm_host_b", "pwm_host_c"};
  constexpr int kResets = 6;
  for (const std::string& host : hosts) runHost(resetFrames(kResets), hostNamed(host));
  const std::vector<std::string> history = checkedHistory(logFile(), 1024);
  EXPECT_GE(filesOldestFirst(logFile()).size(), 6u);
  std::string order;  // the hosts' names in the order of the lines, each once per run
  for (const std::string& line : history) {
    const char host = line[line.find("<pwm_host_") + 10];
    if (order.empty() || order.back() != host) order += host;
  }
  EXPECT_EQ(order, "abc");
  for (const std::string& host : hosts) EXPECT_EQ(resetTrail(history, host), alternating(kResets)) << host;
}

// Four hosts at once, the log rotating every few lines: no line is lost or
// doubled, each host's lines keep their order across the files, and no file
// passes the limit by more than a line.
TEST_F(HostLogRotationTest, ConcurrentHostsLoseNoLine) {
  if (orv_e2e::runsUnderWine()) GTEST_SKIP() << "Wine's append access is not atomic between processes";
  enableTracing();
  limitFiles(4);
  const std::vector<std::string> hosts = {"pwm_host_a", "pwm_host_b", "pwm_host_c", "pwm_host_d"};
  constexpr int kResets = 150;
  // Every copy is closed before any host starts: a child that inherits a
  // copy still open for writing would make its exec fail (text file busy).
  std::vector<std::string> programs;
  for (const std::string& host : hosts) programs.push_back(hostNamed(host));
  std::vector<std::thread> running;
  for (const std::string& program : programs)
    running.emplace_back([this, program] { runHost(resetFrames(kResets), program); });
  for (std::thread& thread : running) thread.join();
  const std::vector<std::string> history = checkedHistory(logFile(), 4096);
  EXPECT_GE(filesOldestFirst(logFile()).size(), 20u);
  for (const std::string& host : hosts) EXPECT_EQ(resetTrail(history, host), alternating(kResets)) << host;
}

}  // namespace
