// orvnm as an installer script and a puzzled user run it: install and
// uninstall against a throw-away config folder, profile folder and registry,
// and check finding each planted fault and exiting with their number. Under
// Wine the same cases run the Windows build against Wine's HKCU and HKLM.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <thread>

#include "child_process.h"
#include "registry_setup.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using orv_e2e::binFolder;
using orv_e2e::ChildProcess;
using orv_e2e::RegistrySetup;
using orv_e2e::StandIn;

const char kOrigin[] = "chrome-extension://abcdefghijklmnopabcdefghijklmnop/";
const char kProductKey[] = "HKLM\\Software\\Halvik\\Password Manager";
const char kModulesKey[] = "HKLM\\Software\\Halvik\\Password Manager\\Modules";

bool underWine() { return orv_e2e::runsUnderWine(); }

// A path as the programs under test see it: under Wine, drive Z: is the root.
std::string forPrograms(const fs::path& path) {
  if (!underWine()) return path.string();
  std::string windows = "Z:" + path.string();
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

// A path the programs printed, as this test reaches it.
fs::path fromPrograms(std::string path) {
  if (!underWine()) return path;
  std::replace(path.begin(), path.end(), '\\', '/');
  if (path.rfind("Z:", 0) == 0) return path.substr(2);
  if (path.rfind("C:", 0) == 0) return std::string(std::getenv("WINEPREFIX")) + "/drive_c" + path.substr(2);
  return path;
}

std::string withoutCarriageReturns(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeText(const fs::path& path, const std::string& text, fs::perms mode = fs::perms(0644)) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
  fs::permissions(path, mode);
}

std::string manifest(const std::string& name, const std::string& path, const std::string& origin = kOrigin) {
  Json::Value root;
  root["name"] = name;
  root["description"] = "test";
  root["path"] = path;
  root["type"] = "stdio";
  root["allowed_origins"].append(origin);
  return Json::writeString(Json::StreamWriterBuilder(), root);
}

bool parseJson(const std::string& text, Json::Value& root) {
  std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  return reader->parse(text.data(), text.data() + text.size(), &root, nullptr);
}

// Every file below a folder with its bytes and mode: what "writes nothing" compares.
// What the registry holds under both Software keys, as the registry tool
// exports it. The hive's files themselves may change on a mere read (the
// write-ahead log is checkpointed, readers mark its index), so they are no
// measure of whether anything was written.
std::string registryContents(const RegistrySetup& registry, const fs::path& folder) {
  std::string contents;
  for (const char* key : {"HKLM\\Software", "HKCU\\Software"}) {
    const fs::path file = folder / "registry-contents.reg";
    fs::remove(file);
    const orv_e2e::CommandResult exported = registry.run({"export", key, file.string(), "/y"});
    contents += std::string(key) + ": " + std::to_string(exported.exitCode) + "\n";
    if (fs::exists(file)) contents += readText(file);
  }
  return contents;
}

std::map<std::string, std::string> snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      files[entry.path().string()] =
          std::to_string(static_cast<int>(entry.status().permissions())) + ":" + readText(entry.path());
  return files;
}

struct ToolRun {
  int exitCode = -1;
  std::string output;
  std::string error;
  bool says(const std::string& text) const { return output.find(text) != std::string::npos; }
  // The FAIL lines of check's output.
  std::vector<std::string> failures() const {
    std::vector<std::string> lines;
    size_t at = 0;
    while ((at = output.find("\nFAIL  ", at)) != std::string::npos) {
      const size_t end = output.find('\n', at + 1);
      lines.push_back(output.substr(at + 1, end - at - 1));
      at = end;
    }
    if (output.rfind("FAIL  ", 0) == 0) lines.insert(lines.begin(), output.substr(0, output.find('\n')));
    return lines;
  }
};

class Orvnm : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::random_device random;
    suiteScratch_ = new fs::path(fs::temp_directory_path() / ("orv_orvnm_" + std::to_string(random())));
    const std::string suffix = underWine() ? ".dll" : ".so";
    const fs::path original = binFolder() + "/orvpwm_policy" + suffix;
    signedPolicy() = *suiteScratch_ / ("orvpwm_policy" + suffix);
    unsignedPolicy() = *suiteScratch_ / ("unsigned_policy" + suffix);
    fs::create_directories(*suiteScratch_);
    fs::copy_file(original, signedPolicy());
    fs::copy_file(original, unsignedPolicy());
    const orv_e2e::CommandResult signing = orv_e2e::runCommand(
        {ORV_SOURCE_DIR "/scripts/sign-module", signedPolicy().string(), (*suiteScratch_ / "trust").string()});
    ASSERT_EQ(signing.exitCode, 0) << signing.output << signing.error;
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(*suiteScratch_, ignored);
    delete suiteScratch_;
  }
  static fs::path& signedPolicy() {
    static fs::path path;
    return path;
  }
  static fs::path& unsignedPolicy() {
    static fs::path path;
    return path;
  }

  void SetUp() override {
    std::random_device random;
    id_ = std::to_string(random() % 100000000);
    scratch_ = *suiteScratch_ / ("case_" + id_);
    fs::create_directories(scratch_ / "home");
    name_ = "com.halvik.pwm_test_" + id_;
    registry_.emplace();
    if (underWine()) {
      for (const char* path : {"Software\\Google\\Chrome\\NativeMessagingHosts\\",
                               "Software\\BraveSoftware\\Brave-Browser\\NativeMessagingHosts\\",
                               "Software\\Chromium\\NativeMessagingHosts\\"})
        for (const char* root : {"HKCU\\", "HKLM\\"}) registry_->track(root + std::string(path) + name_);
      for (const char* key : {kProductKey, "HKCU\\Software\\Google\\Chrome\\Metro"}) {
        registry_->remove(key);  // left by an interrupted run
        registry_->track(key);
      }
    } else {
      // The per-user folders, and sandboxed browsers in the home folder.
      for (const char* name : {"HOME", "XDG_CONFIG_HOME"}) {
        const char* value = std::getenv(name);
        if (value != nullptr) previousEnvironment_[name] = value;
      }
      setenv("HOME", (scratch_ / "home").c_str(), 1);
      setenv("XDG_CONFIG_HOME", (scratch_ / "config").c_str(), 1);
      // The signature check reads its anchors from the registry's folder.
      const fs::path trust = fs::path(registry_->folder()) / "trust";
      fs::create_directories(trust);
      for (const auto& entry : fs::directory_iterator(*suiteScratch_ / "trust"))
        fs::copy_file(entry.path(), trust / entry.path().filename());
    }
  }
  void TearDown() override {
    if (!underWine()) {
      for (const char* name : {"HOME", "XDG_CONFIG_HOME"}) {
        const auto previous = previousEnvironment_.find(name);
        if (previous == previousEnvironment_.end())
          unsetenv(name);
        else
          setenv(name, previous->second.c_str(), 1);
      }
    }
    registry_.reset();
    std::error_code ignored;
    fs::remove_all(scratch_, ignored);
  }

  ToolRun orvnm(const std::vector<std::string>& args) {
    ChildProcess child("orvnm", args);
    child.closeInput();
    ToolRun run;
    run.output = withoutCarriageReturns(child.readToEnd(60s));
    run.error = withoutCarriageReturns(child.readErrorToEnd(10s));
    run.exitCode = child.wait(60s).value_or(-1);
    return run;
  }

  // What the host needs besides its manifest: the interface module, a
  // policy module (signed unless told), and for the whole test the stand-in.
  void setUpPasswordManager(const fs::path& policy) {
    registry_->add(kProductKey, "InstallPath", "REG_SZ", forPrograms(binFolder()) + (underWine() ? "\\" : "/"));
    registry_->add(kModulesKey, "AppPolicy", "REG_SZ", forPrograms(policy));
  }

  std::string host() const {
    return forPrograms(binFolder() + "/pwm_chrome_extension_host" + (underWine() ? ".exe" : ""));
  }
  fs::path config(const std::string& browserFolder) const {
    return scratch_ / "config" / browserFolder / "NativeMessagingHosts" / (name_ + ".json");
  }
  fs::path machine(const std::string& folder) const {
    return fs::path(registry_->folder() + folder) / (name_ + ".json");
  }
  // The default value of a key, as reg.exe shows it; empty when missing.
  std::string keyValue(const std::string& key) const {
    const orv_e2e::CommandResult query = registry_->run({"query", key, "/ve"});
    if (query.exitCode != 0) return std::string();
    const size_t at = query.output.find("REG_SZ");
    if (at == std::string::npos) return std::string();
    std::string value = query.output.substr(at + 6);
    value.erase(0, value.find_first_not_of(' '));
    return value.substr(0, value.find_first_of("\r\n"));
  }

  static fs::path* suiteScratch_;
  std::map<std::string, std::string> previousEnvironment_;
  std::string id_;
  std::string name_;
  fs::path scratch_;
  std::optional<RegistrySetup> registry_;
};

fs::path* Orvnm::suiteScratch_ = nullptr;

TEST_F(Orvnm, RefusesBadCommandLinesWithExitCodeTwoAndSaysWhy) {
  if (underWine()) GTEST_SKIP() << "the command line is the same code in both builds";
  const struct {
    std::vector<std::string> args;
    std::string reason;
  } cases[] = {
      {{"install", "--origin", "chrome-extension://abcdefghijklmnopabcdefghijklmnop"}, "lacks the trailing \"/\""},
      {{"install", "--origin", "chrome-extension://*/"}, "no wildcards"},
      {{"install", "--origin", "https://abcdefghijklmnopabcdefghijklmnop/"}, "must start with"},
      {{"install", "--origin", "chrome-extension://abcdefghijklmnopabcdefghijklmnoq/"}, "32 letters a-p"},
      {{"install", "--browser", "chrome"}, "at least one --origin"},
      {{"install", "--user", "--system", "--origin", kOrigin}, "exclude each other"},
      {{"install", "--browser", "firefox", "--origin", kOrigin}, "unknown browser"},
      {{"install", "--name", "Com.Halvik", "--origin", kOrigin}, "lower-case"},
      {{"install", "--host", "relative/host", "--origin", kOrigin}, "full path"},
      {{"check", "--origin", kOrigin}, "not an option of check"},
      {{"uninstall", "--dry-run"}, "not an option of uninstall"},
      {{"launch"}, "unknown command"},
      {{}, "no command"},
  };
  for (const auto& bad : cases) {
    const ToolRun run = orvnm(bad.args);
    EXPECT_EQ(run.exitCode, 2) << bad.reason;
    EXPECT_NE(run.error.find(bad.reason), std::string::npos) << run.error;
    EXPECT_NE(run.error.find("Usage:"), std::string::npos);
  }
  for (const char* help : {"/?", "-h", "--help"}) {
    const ToolRun run = orvnm({help});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.says("orvnm install")) << help;
  }
}

TEST_F(Orvnm, InstallWritesWhereEachBrowserReadsAndUninstallRemovesOnlyOurs) {
  if (underWine()) GTEST_SKIP() << "Linux folders; the Windows keys have their own case";
  // Only Chromium is installed for this user; Brave also as a Flatpak.
  fs::create_directories(scratch_ / "config" / "chromium");
  fs::create_directories(scratch_ / "home" / ".var" / "app" / "com.brave.Browser");

  const ToolRun dry = orvnm({"install", "--origin", kOrigin, "--name", name_, "--dry-run"});
  EXPECT_EQ(dry.exitCode, 0) << dry.error;
  EXPECT_TRUE(dry.says("would write " + config("chromium").string()));
  EXPECT_FALSE(fs::exists(config("chromium"))) << "--dry-run changes nothing";

  const mode_t previous = umask(077);  // the manifest is for every user's browser all the same
  const ToolRun user = orvnm({"install", "--origin", kOrigin, "--origin", kOrigin, "--name", name_});
  umask(previous);
  ASSERT_EQ(user.exitCode, 0) << user.error;
  EXPECT_TRUE(user.says("Brave in its sandbox")) << user.output;
  EXPECT_FALSE(fs::exists(scratch_ / "home" / ".var" / "app" / "com.brave.Browser" / "config"));
  EXPECT_FALSE(fs::exists(config("google-chrome"))) << "Chrome is not installed for this user";
  const std::string text = readText(config("chromium"));
  EXPECT_NE(text.substr(0, 3), "\xEF\xBB\xBF");
  Json::Value root;
  ASSERT_TRUE(parseJson(text, root)) << text;
  EXPECT_EQ(root["name"].asString(), name_);
  EXPECT_EQ(root["path"].asString(), host()) << "the host beside orvnm";
  EXPECT_EQ(root["type"].asString(), "stdio");
  ASSERT_EQ(root["allowed_origins"].size(), 1u);
  EXPECT_EQ(root["allowed_origins"][0].asString(), kOrigin);
  EXPECT_EQ(fs::status(config("chromium")).permissions(), fs::perms(0644));
  EXPECT_EQ(std::distance(fs::directory_iterator(config("chromium").parent_path()), fs::directory_iterator()), 1)
      << "no temporary file left behind";

  // Every browser system-wide, where documented; the machine's folders move with the registry here.
  const ToolRun system = orvnm({"install", "--system", "--origin", kOrigin, "--name", name_, "--host", "/opt/x/host"});
  ASSERT_EQ(system.exitCode, 0) << system.error;
  for (const char* folder : {"/etc/opt/chrome/native-messaging-hosts", "/etc/chromium/native-messaging-hosts",
                             "/etc/opt/edge/native-messaging-hosts"})
    EXPECT_TRUE(fs::exists(machine(folder))) << folder;
  EXPECT_TRUE(system.says("Brave documents no machine-wide folder")) << system.output;
  EXPECT_TRUE(system.says("Vivaldi documents no machine-wide folder"));

  // A foreign manifest under our file name stays; ours go.
  writeText(config("vivaldi"), manifest("com.other.host", "/usr/bin/other"));
  const ToolRun removed = orvnm({"uninstall", "--name", name_});
  EXPECT_EQ(removed.exitCode, 0) << removed.error;
  EXPECT_FALSE(fs::exists(config("chromium")));
  EXPECT_TRUE(fs::exists(config("vivaldi")));
  EXPECT_TRUE(removed.says("kept " + config("vivaldi").string()));
  EXPECT_TRUE(fs::exists(machine("/etc/chromium/native-messaging-hosts"))) << "--user leaves the system's";
  EXPECT_EQ(orvnm({"uninstall", "--system", "--name", name_}).exitCode, 0);
  EXPECT_FALSE(fs::exists(machine("/etc/chromium/native-messaging-hosts")));

  // A folder that cannot be written is a failure.
  fs::create_directories(scratch_ / "config");
  writeText(scratch_ / "config" / "google-chrome", "a file where a folder should be");
  EXPECT_EQ(orvnm({"install", "--browser", "chrome", "--origin", kOrigin, "--name", name_}).exitCode, 1);
}

TEST_F(Orvnm, InstallAndUninstallNameTheManifestUnderHkcuAndHklm) {
  if (!underWine()) GTEST_SKIP() << "the registry names manifests on Windows only";
  // A browser's key that only the registration made goes with it (it would make the browser look installed
  // for the user); one that holds the browser's own values stays.
  const auto exists = [this](const std::string& key) { return registry_->run({"query", key}).exitCode == 0; };
  const std::string chromeOwn = "HKCU\\Software\\Google\\Chrome";
  registry_->add(chromeOwn, name_, "REG_SZ", "the browser's own");
  const bool chromeHostsBefore = exists(chromeOwn + "\\NativeMessagingHosts");
  const bool braveBefore = exists("HKCU\\Software\\BraveSoftware");
  const ToolRun user = orvnm({"install", "--user", "--browser", "brave", "--origin", kOrigin, "--name", name_});
  ASSERT_EQ(user.exitCode, 0) << user.error;
  const std::string braveKey = "HKCU\\Software\\BraveSoftware\\Brave-Browser\\NativeMessagingHosts\\" + name_;
  const std::string chromeKey = "HKCU\\Software\\Google\\Chrome\\NativeMessagingHosts\\" + name_;
  const std::string file = keyValue(braveKey);
  ASSERT_FALSE(file.empty()) << user.output;
  EXPECT_EQ(keyValue(chromeKey), file) << "Brave also reads Chrome's key";
  EXPECT_EQ(keyValue("HKLM\\Software\\Google\\Chrome\\NativeMessagingHosts\\" + name_), "");
  Json::Value root;
  ASSERT_TRUE(parseJson(readText(fromPrograms(file)), root)) << file;
  EXPECT_EQ(root["name"].asString(), name_);
  EXPECT_EQ(root["path"].asString(), host());

  const fs::path installFolder = scratch_ / "install";
  fs::create_directories(installFolder);
  const std::string systemHost = forPrograms(installFolder / "pwm_chrome_extension_host.exe");
  const ToolRun system = orvnm({"install", "--system", "--origin", kOrigin, "--name", name_, "--host", systemHost});
  ASSERT_EQ(system.exitCode, 0) << system.error;
  const std::string systemFile = forPrograms(installFolder / (name_ + ".json"));
  EXPECT_EQ(keyValue("HKLM\\Software\\Google\\Chrome\\NativeMessagingHosts\\" + name_), systemFile);
  EXPECT_EQ(keyValue("HKLM\\Software\\Microsoft\\Edge\\NativeMessagingHosts\\" + name_), systemFile);
  registry_->track("HKLM\\Software\\Microsoft\\Edge\\NativeMessagingHosts\\" + name_);
  registry_->track("HKLM\\Software\\Vivaldi\\NativeMessagingHosts\\" + name_);
  EXPECT_TRUE(fs::exists(installFolder / (name_ + ".json")));

  EXPECT_EQ(orvnm({"uninstall", "--user", "--name", name_}).exitCode, 0);
  EXPECT_EQ(keyValue(braveKey), "");
  EXPECT_EQ(keyValue(chromeKey), "");
  EXPECT_FALSE(fs::exists(fromPrograms(file)));
  EXPECT_NE(keyValue("HKLM\\Software\\Google\\Chrome\\NativeMessagingHosts\\" + name_), "") << "--user leaves HKLM";
  if (!chromeHostsBefore) EXPECT_FALSE(exists(chromeOwn + "\\NativeMessagingHosts")) << "emptied by the uninstall";
  EXPECT_TRUE(exists(chromeOwn)) << "holds a value of its own";
  registry_->run({"delete", chromeOwn, "/v", name_, "/f"});  // when the key was there before
  if (!braveBefore) EXPECT_FALSE(exists("HKCU\\Software\\BraveSoftware")) << "made only for the registration";
  EXPECT_TRUE(exists("HKCU\\Software")) << "the root's own keys stay";
  EXPECT_EQ(orvnm({"uninstall", "--system", "--name", name_}).exitCode, 0);
  EXPECT_EQ(keyValue("HKLM\\Software\\Google\\Chrome\\NativeMessagingHosts\\" + name_), "");
  EXPECT_FALSE(fs::exists(installFolder / (name_ + ".json")));
}

TEST_F(Orvnm, CheckPassesOnASoundSetupAndWritesNothing) {
  setUpPasswordManager(signedPolicy());
  const fs::path profile = scratch_ / "profile";
  const ToolRun install =
      orvnm({"install", "--user-data-dir", forPrograms(profile), "--origin", kOrigin, "--name", name_});
  ASSERT_EQ(install.exitCode, 0) << install.error;
  ASSERT_TRUE(fs::exists(profile / "NativeMessagingHosts" / (name_ + ".json")));

  StandIn standIn;
  const auto before = snapshot(scratch_);
  const fs::path exports = fs::path(scratch_.string() + "-exports");  // outside the folder checked above
  fs::create_directories(exports);
  const std::string registryBefore = underWine() ? std::string() : registryContents(*registry_, exports);
  const ToolRun check = orvnm({"check", "--user-data-dir", forPrograms(profile), "--name", name_});
  EXPECT_EQ(check.exitCode, 0) << check.output;
  EXPECT_TRUE(check.says("ok    probe: ")) << check.output;
  EXPECT_TRUE(check.says("exited 0 in ")) << check.output;
  EXPECT_TRUE(check.says("signed by HALVIK")) << check.output;

  const ToolRun json = orvnm({"check", "--user-data-dir", forPrograms(profile), "--name", name_, "--json"});
  EXPECT_EQ(json.exitCode, 0);
  Json::Value root;
  ASSERT_TRUE(parseJson(json.output, root)) << json.output;
  EXPECT_EQ(root["failures"].asInt(), 0);
  ASSERT_TRUE(root["steps"].isArray());
  EXPECT_GT(root["steps"].size(), 5u);
  for (const Json::Value& step : root["steps"]) EXPECT_NE(step["status"].asString(), "FAIL") << step["message"];

  EXPECT_EQ(snapshot(scratch_), before) << "check writes no file";
  if (!underWine()) {
    EXPECT_EQ(registryContents(*registry_, exports), registryBefore) << "nor the registry";
  }
  std::error_code ignored;
  fs::remove_all(exports, ignored);
}

// Each planted fault is one FAIL line with its fix, and the exit code is their count.
TEST_F(Orvnm, CheckFindsEachPlantedFaultAndExitsWithTheirCount) {
  setUpPasswordManager(unsignedPolicy());  // fault: an unsigned policy module
  // fault: the stand-in is not running
  const std::string good = manifest(name_, host());
  const std::string withBom = "\xEF\xBB\xBF" + good;  // fault, and hiding a good system-wide one: fault
  std::vector<std::string> expected = {"byte-order mark", "hides a different manifest",
                                       "is refused: it carries no signature",
                                       "\"password_manager.exe\" is not running"};
  std::vector<std::string> args = {"check", "--name", name_};
  if (underWine()) {
    const fs::path manifests = scratch_ / "manifests";
    writeText(manifests / "system.json", good);
    writeText(manifests / "user.json", withBom);
    registry_->add("HKLM\\Software\\Google\\Chrome\\NativeMessagingHosts\\" + name_, "", "REG_SZ",
                   forPrograms(manifests / "system.json"));
    registry_->add("HKCU\\Software\\Google\\Chrome\\NativeMessagingHosts\\" + name_, "", "REG_SZ",
                   forPrograms(manifests / "user.json"));
    args.insert(args.end(), {"--browser", "chrome"});
  } else {
    writeText(machine("/etc/opt/chrome/native-messaging-hosts"), good);
    writeText(config("google-chrome"), withBom);
    writeText(config("chromium"), manifest(name_, "bin/pwm_chrome_extension_host"));
    writeText(config("microsoft-edge"), manifest(name_, host(), "chrome-extension://abcdefghijklmnopabcdefghijklmnop"));
    writeText(config("BraveSoftware/Brave-Browser"), manifest("com.halvik.other", host()));
    writeText(scratch_ / "not_executable", "#!/bin/sh\n");
    writeText(config("vivaldi"), manifest(name_, (scratch_ / "not_executable").string()));
    expected.insert(expected.end(), {"is not a full path", "lacks the trailing \"/\"", "but the browser looks it up as",
                                     "is not executable"});
  }

  const ToolRun check = orvnm(args);
  const std::vector<std::string> failures = check.failures();
  EXPECT_EQ(check.exitCode, static_cast<int>(expected.size())) << check.output;
  EXPECT_EQ(failures.size(), expected.size()) << check.output;
  for (const std::string& fault : expected) {
    const auto line = std::find_if(failures.begin(), failures.end(), [&](const std::string& failure) {
      return failure.find(fault) != std::string::npos;
    });
    ASSERT_NE(line, failures.end()) << "no FAIL line for: " << fault << "\n" << check.output;
    EXPECT_NE(line->find(" -- fix: "), std::string::npos) << *line;
  }
  EXPECT_TRUE(check.says("policy switches were not asked")) << "one cause, one failure";
  EXPECT_TRUE(check.says("ok    probe: ")) << "the host itself still starts and stops: " << check.output;
}

// What check reads comes from whoever could write those folders: a huge
// file, a pipe or a device under a manifest's name ends in a FAIL or a
// note, never in a hang or in reading without end.
TEST_F(Orvnm, CheckReadsNoManifestWithoutBounds) {
  if (underWine()) GTEST_SKIP() << "pipes and devices are Linux files";
  writeText(config("google-chrome"), manifest(name_, host()) + std::string(2 * 1024 * 1024, ' '));
  fs::create_directories(config("chromium").parent_path());
  ASSERT_EQ(mkfifo(config("chromium").c_str(), 0644), 0);
  fs::create_directories(config("vivaldi").parent_path());
  fs::create_symlink("/dev/zero", config("vivaldi"));
  const ToolRun check =
      orvnm({"check", "--browser", "chrome", "--browser", "chromium", "--browser", "vivaldi", "--name", name_});
  EXPECT_TRUE(check.says("FAIL  chrome manifest: cannot read")) << check.output;
  EXPECT_TRUE(check.says("chromium: finds no manifest")) << check.output;
  EXPECT_TRUE(check.says("vivaldi: finds no manifest")) << check.output;
}

}  // namespace
