// The record path end to end: the built host with the reference interface
// module (its store in a scratch folder), the reference policy module signed
// with a throw-away "HALVIK" certificate, and the password manager stand-in,
// all on a throw-away registry. Runs against the Linux and the Windows build.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "child_process.h"
#include "registry_setup.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using orv_e2e::binFolder;
using orv_e2e::ChildProcess;
using orv_e2e::frame;
using orv_e2e::StandIn;

const char kProductKey[] = "HKLM\\Software\\Halvik\\Password Manager";
const char kModulesKey[] = "HKLM\\Software\\Halvik\\Password Manager\\Modules";
const char kPolicyKey[] = "HKLM\\Software\\Halvik\\Password Manager\\Policy";
const char kMetroKey[] = "HKCU\\Software\\Google\\Chrome\\Metro";
constexpr int kAutoSubmitPassed = 1 << 20;

// A path as the programs under test see it: under Wine, drive Z: is the root.
std::string forPrograms(const std::filesystem::path& path) {
  if (!orv_e2e::runsUnderWine()) return path.string();
  std::string windows = "Z:" + path.string();
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

std::string folderForPrograms(const std::filesystem::path& path) {
  return forPrograms(path) + (orv_e2e::runsUnderWine() ? "\\" : "/");
}

struct Reply {
  std::string body;
  bool received = false;
};

class HostRecordsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::random_device random;
    scratch_ = new std::filesystem::path(std::filesystem::temp_directory_path() /
                                         ("orv_host_records_" + std::to_string(random())));
    std::filesystem::create_directories(*scratch_);
    // A signed copy of the reference policy module, outside the build's folder.
    const std::string suffix = orv_e2e::runsUnderWine() ? ".dll" : ".so";
    const std::filesystem::path original = binFolder() + "/orvpwm_policy" + suffix;
    *signedPolicy() = *scratch_ / ("orvpwm_policy" + suffix);
    *unsignedPolicy() = *scratch_ / ("unsigned_policy" + suffix);
    std::filesystem::copy_file(original, *signedPolicy());
    std::filesystem::copy_file(original, *unsignedPolicy());
    trustFolder() = *scratch_ / "trust";
    const orv_e2e::CommandResult signing =
        orv_e2e::runCommand({ORV_SOURCE_DIR "/scripts/sign-module", signedPolicy()->string(), trustFolder().string()});
    ASSERT_EQ(signing.exitCode, 0) << signing.output << signing.error;
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    std::filesystem::remove_all(*scratch_, ignored);
    delete scratch_;
  }
  static std::filesystem::path* signedPolicy() {
    static std::filesystem::path path;
    return &path;
  }
  static std::filesystem::path* unsignedPolicy() {
    static std::filesystem::path path;
    return &path;
  }
  static std::filesystem::path& trustFolder() {
    static std::filesystem::path path;
    return path;
  }

  void SetUp() override {
    registry_.emplace();
    for (const char* key : {kProductKey, kMetroKey}) {
      registry_->remove(key);  // left by an interrupted run
      registry_->track(key);
    }
    if (!orv_e2e::runsUnderWine()) {
      // The Linux trust check reads the anchors from the registry's folder.
      std::filesystem::create_directories(std::filesystem::path(registry_->folder()) / "trust");
      for (const auto& entry : std::filesystem::directory_iterator(trustFolder()))
        std::filesystem::copy_file(entry.path(),
                                   std::filesystem::path(registry_->folder()) / "trust" / entry.path().filename());
    }
    store_ = *scratch_ / ("store_" + std::to_string(counter_++));
    installInterface(binFolder());
    registry_->add(kModulesKey, "AppPolicy", "REG_SZ", forPrograms(*signedPolicy()));
  }
  void TearDown() override { registry_.reset(); }

  void installInterface(const std::string& folder) {
    registry_->add(kProductKey, "InstallPath", "REG_SZ", folderForPrograms(folder));
  }

  ChildProcess startHost() {
    return ChildProcess("pwm_chrome_extension_host", {}, {"ORVPWM_RECORDS_DIR=" + forPrograms(store_)});
  }

  // Sends one message and waits for its reply (or for a short silence).
  static Reply exchange(ChildProcess& host, const std::string& message, std::chrono::milliseconds wait = 5s) {
    host.write(frame(message));
    Reply reply;
    const std::string length = host.read(4, wait);
    if (length.size() != 4) return reply;
    uint32_t size = 0;
    std::memcpy(&size, length.data(), 4);
    reply.body = host.read(size, 10s);
    reply.received = true;
    return reply;
  }

  // Every reply of a whole conversation; the host ends at the end of input.
  std::vector<std::string> converse(const std::vector<std::string>& messages) {
    ChildProcess host = startHost();
    std::string input;
    for (const std::string& message : messages) input += frame(message);
    host.write(input);
    host.closeInput();
    const std::string output = host.readToEnd(60s);
    EXPECT_EQ(host.wait(30s), std::optional<int>(0));
    std::vector<std::string> replies;
    for (size_t at = 0; at + 4 <= output.size();) {
      uint32_t size = 0;
      std::memcpy(&size, output.data() + at, 4);
      replies.push_back(output.substr(at + 4, size));
      at += 4 + size;
    }
    return replies;
  }

  static int returnOf(const std::string& reply) {
    const size_t at = reply.find("\"RETURN\":");
    return at == std::string::npos ? -1 : std::atoi(reply.c_str() + at + 9);
  }

  static std::filesystem::path* scratch_;
  static int counter_;
  std::optional<orv_e2e::RegistrySetup> registry_;
  std::filesystem::path store_;
};

std::filesystem::path* HostRecordsTest::scratch_ = nullptr;
int HostRecordsTest::counter_ = 0;

const std::string kCreate =
    R"({"COMMAND":"CREATE_BROWSER_RECORD","SITE_URL":"https://login.example.com/signin","SITE_TITLE":"Sign in",)"
    R"("PW_FIELDS":["password","pin"],"PW_VALUES":["s3cret","1234"],"TEXT_FIELDS":["user"],"TEXT_VALUES":["alice"]})";
const std::string kLoad =
    R"({"COMMAND":"LOAD_BROWSER_RECORD","SITE_URL":"https://login.example.com/again","SITE_TITLE":"Sign in"})";

TEST_F(HostRecordsTest, AStoredRecordComesBackInOrderWithReturnPacked) {
  StandIn standIn;
  const std::vector<std::string> replies = converse({kCreate, kLoad});
  ASSERT_EQ(replies.size(), 1u) << "only the load is answered";
  EXPECT_EQ(replies[0],
            "{\"COMMAND\":\"LOAD_BROWSER_RECORD\",\"PW_FIELD_ARRAY\":[\"password\",\"pin\"],"
            "\"PW_VALUE_ARRAY\":[\"s3cret\",\"1234\"],\"RETURN\":" +
                std::to_string(2 | (1 << 8) | kAutoSubmitPassed) +
                ",\"TEXT_FIELD_ARRAY\":[\"user\"],\"TEXT_VALUE_ARRAY\":[\"alice\"],"
                "\"URL\":\"https://login.example.com/again\"}");
}

TEST_F(HostRecordsTest, ACreateOverTheRecordBudgetStoresNothingAndTheNextOriginStillStores) {
  StandIn standIn;
  const std::string sixtyK(60 * 1024, 'x');  // five of them: 300 KiB, past a record's 256 KiB
  std::string overBudget =
      R"({"COMMAND":"CREATE_BROWSER_RECORD","SITE_URL":"https://login.example.com/","PW_FIELDS":["p"],"PW_VALUES":[)";
  for (int i = 0; i < 5; ++i) overBudget += (i == 0 ? "\"" : ",\"") + sixtyK + "\"";
  overBudget += "]}";
  const std::vector<std::string> replies = converse(
      {kCreate, overBudget,
       R"({"COMMAND":"CREATE_BROWSER_RECORD","SITE_URL":"https://next.example/","PW_FIELDS":["p"],"PW_VALUES":["v"]})",
       kLoad, R"({"COMMAND":"LOAD_BROWSER_RECORD","SITE_URL":"https://next.example/"})"});
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_NE(replies[0].find("\"PW_VALUE_ARRAY\":[\"s3cret\",\"1234\"]"), std::string::npos)
      << "the stored record stays: " << replies[0].substr(0, 200);
  EXPECT_NE(replies[1].find("\"PW_VALUE_ARRAY\":[\"v\"]"), std::string::npos) << replies[1].substr(0, 200);
}

TEST_F(HostRecordsTest, TheGuardHoldsAutoSubmitBackForTheSameRecordWithinTheInterval) {
  StandIn standIn;
  ChildProcess host = startHost();
  EXPECT_FALSE(exchange(host, kCreate, 1s).received);
  exchange(host, R"({"COMMAND":"CREATE_BROWSER_RECORD","SITE_URL":"https://other.example/","PW_FIELDS":["p"]})", 1s);
  const std::string other = R"({"COMMAND":"LOAD_BROWSER_RECORD","SITE_URL":"https://other.example/x"})";
  struct Step {
    const char* what;
    const std::string* message;
    const char* interval;  // the policy's AutoSubmitTimeInterval; null: leave it
    const char* type;
    bool passes;
  } steps[] = {
      {"first load", &kLoad, nullptr, nullptr, true},
      {"same record within the default interval", &kLoad, nullptr, nullptr, false},
      {"a different record", &other, nullptr, nullptr, true},
      {"back to the first record", &kLoad, nullptr, nullptr, true},
      {"same record again, interval 0 and a second later", &kLoad, "0", "REG_DWORD", true},
      {"a different record while the interval getter fails", &other, "30", "REG_SZ", false},
  };
  for (const Step& step : steps) {
    if (step.interval != nullptr) {
      registry_->add(kPolicyKey, "AutoSubmitTimeInterval", step.type, step.interval);
      std::this_thread::sleep_for(1100ms);
    }
    const Reply reply = exchange(host, *step.message);
    ASSERT_TRUE(reply.received) << step.what;
    EXPECT_EQ(returnOf(reply.body) & kAutoSubmitPassed, step.passes ? kAutoSubmitPassed : 0) << step.what;
  }
  host.closeInput();
  EXPECT_EQ(host.wait(30s), std::optional<int>(0));
}

TEST_F(HostRecordsTest, NothingIsAnsweredWhenTheManagerIsNotReady) {
  {
    StandIn standIn;
    converse({kCreate});
  }
  EXPECT_TRUE(converse({kLoad}).empty()) << "no stand-in running";
  StandIn standIn;
  registry_->add(kMetroKey, "launch_mode", "REG_DWORD", "1");
  EXPECT_TRUE(converse({kLoad}).empty()) << "Metro launch mode";
  registry_->add(kMetroKey, "launch_mode", "REG_DWORD", "2");
  EXPECT_EQ(converse({kLoad}).size(), 1u) << "launch mode 2 is no Metro mode";
  registry_->add(kPolicyKey, "ChromePluginEnabled", "REG_DWORD", "0");
  EXPECT_TRUE(converse({kLoad}).empty()) << "Chrome plug-in switched off";
  registry_->add(kPolicyKey, "ChromePluginEnabled", "REG_DWORD", "1");
  registry_->add(kModulesKey, "AppPolicy", "REG_SZ", forPrograms(*unsignedPolicy()));
  EXPECT_TRUE(converse({kLoad}).empty()) << "unsigned policy module";
  registry_->add(kModulesKey, "AppPolicy", "REG_SZ", forPrograms(*scratch_ / "missing_policy.dll"));
  EXPECT_TRUE(converse({kLoad}).empty()) << "no policy module";
}

// Each policy module below fails the signature check in its own way; the
// host must then serve nothing, exactly as without a module.
TEST_F(HostRecordsTest, APolicyModuleThatFailsItsSignatureCheckServesNothing) {
  StandIn standIn;
  converse({kCreate});
  ASSERT_EQ(converse({kLoad}).size(), 1u) << "the signed module serves";

  // Signed, then one byte of its code changed.
  const std::string suffix = signedPolicy()->extension().string();
  const std::filesystem::path tampered = *scratch_ / ("tampered_policy" + suffix);
  std::filesystem::copy_file(*signedPolicy(), tampered, std::filesystem::copy_options::overwrite_existing);
  if (!orv_e2e::runsUnderWine())
    std::filesystem::copy_file(signedPolicy()->string() + ".p7s", tampered.string() + ".p7s",
                               std::filesystem::copy_options::overwrite_existing);
  {
    std::fstream file(tampered, std::ios::in | std::ios::out | std::ios::binary);
    const std::streamoff middle = static_cast<std::streamoff>(std::filesystem::file_size(tampered) / 2);
    file.seekg(middle);
    const char byte = static_cast<char>(file.get());
    file.seekp(middle);
    file.put(static_cast<char>(byte ^ 0x5a));
  }
  registry_->add(kModulesKey, "AppPolicy", "REG_SZ", forPrograms(tampered));
  EXPECT_TRUE(converse({kLoad}).empty()) << "tampered policy module";

  if (orv_e2e::runsUnderWine()) return;  // Wine trusts any root carried in a signature

  // Signed by a "HALVIK" certificate whose root is not an anchor here.
  const std::filesystem::path foreign = *scratch_ / ("foreign_policy" + suffix);
  std::filesystem::copy_file(*unsignedPolicy(), foreign, std::filesystem::copy_options::overwrite_existing);
  const orv_e2e::CommandResult signing = orv_e2e::runCommand(
      {ORV_SOURCE_DIR "/scripts/sign-module", foreign.string(), (*scratch_ / "elsewhere_trust").string()});
  ASSERT_EQ(signing.exitCode, 0) << signing.output << signing.error;
  registry_->add(kModulesKey, "AppPolicy", "REG_SZ", forPrograms(foreign));
  EXPECT_TRUE(converse({kLoad}).empty()) << "policy module signed under a root that is no anchor";

  // The right signature, but an anchor that group members may rewrite.
  registry_->add(kModulesKey, "AppPolicy", "REG_SZ", forPrograms(*signedPolicy()));
  ASSERT_EQ(converse({kLoad}).size(), 1u);
  const std::filesystem::path anchors = std::filesystem::path(registry_->folder()) / "trust";
  for (const auto& entry : std::filesystem::directory_iterator(anchors))
    std::filesystem::permissions(entry.path(), std::filesystem::perms::group_write, std::filesystem::perm_options::add);
  EXPECT_TRUE(converse({kLoad}).empty()) << "group-writable trust anchor";
}

TEST_F(HostRecordsTest, OddFieldsAreStoredTheWayTheHostReadsThem) {
  StandIn standIn;
  const std::vector<std::string> replies = converse({
      // PW_FIELDS as a string: nothing to store.
      R"({"COMMAND":"CREATE_BROWSER_RECORD","SITE_URL":"https://a.example/","PW_FIELDS":"password"})",
      R"({"COMMAND":"LOAD_BROWSER_RECORD","SITE_URL":"https://a.example/"})",
      // A number ends TEXT_VALUES; invalid UTF-8 in the title; a zero code unit ends a value.
      "{\"COMMAND\":\"CREATE_BROWSER_RECORD\",\"SITE_URL\":\"https://b.example/\",\"SITE_TITLE\":\"T\xC3\","
      "\"PW_FIELDS\":[\"p\"],\"PW_VALUES\":[\"ab\\u0000cd\"],\"TEXT_FIELDS\":[\"u\",\"v\"],"
      "\"TEXT_VALUES\":[\"first\",2,\"third\"]}",
      R"({"COMMAND":"LOAD_BROWSER_RECORD","SITE_URL":"https://b.example/","SITE_TITLE":""})",
  });
  ASSERT_EQ(replies.size(), 1u) << "the first site has no record";
  EXPECT_EQ(replies[0],
            "{\"COMMAND\":\"LOAD_BROWSER_RECORD\",\"PW_FIELD_ARRAY\":[\"p\"],\"PW_VALUE_ARRAY\":[\"ab\"],"
            "\"RETURN\":" +
                std::to_string(1 | (2 << 8) | kAutoSubmitPassed) +
                ",\"TEXT_FIELD_ARRAY\":[\"u\",\"v\"],\"TEXT_VALUE_ARRAY\":[\"first\"],"
                "\"URL\":\"https://b.example/\"}")
      << "the empty stored title matches the empty one asked with: flag byte 0";
}

TEST_F(HostRecordsTest, NonAsciiTextGoesBackAsUtf8) {
  StandIn standIn;
  const std::vector<std::string> replies = converse({
      "{\"COMMAND\":\"CREATE_BROWSER_RECORD\",\"SITE_URL\":\"https://c.example/\",\"PW_FIELDS\":[\"\xE2\x82\xAC\"],"
      "\"PW_VALUES\":[\"\\u00fcber\"]}",
      "{\"COMMAND\":\"LOAD_BROWSER_RECORD\",\"SITE_URL\":\"https://c.example/\xC3\xA9\"}",
  });
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_NE(replies[0].find("\"PW_FIELD_ARRAY\":[\"\xE2\x82\xAC\"]"), std::string::npos) << replies[0];
  EXPECT_NE(replies[0].find("\"PW_VALUE_ARRAY\":[\"\xC3\xBC"
                            "ber\"]"),
            std::string::npos)
      << replies[0];
  EXPECT_NE(replies[0].find("\"URL\":\"https://c.example/\xC3\xA9\""), std::string::npos) << replies[0];
}

TEST_F(HostRecordsTest, AModuleWithoutTheExportsAnswersNothing) {
  StandIn standIn;
  installInterface(binFolder() + "/test_modules/no_exports");
  EXPECT_TRUE(converse({kCreate, kLoad, R"({"COMMAND":"RESET"})"}).empty());
}

// An array of `element` repeated to exactly `size` bytes.
std::string arrayOf(const std::string& element, size_t size) {
  std::string text = "[" + element;
  while (text.size() + 1 + element.size() + 1 <= size) text += "," + element;
  text.append(size - 1 - text.size(), ' ');
  return text + "]";
}

// The shapes that cost most per byte when a parser builds every value; a
// hostile page chooses every byte the extension forwards.
TEST_F(HostRecordsTest, WorstShapeFramesKeepMemoryBoundedAndTheNextLoadIsAnswered) {
  StandIn standIn;
  converse({kCreate});
  constexpr size_t kMiB = 1024 * 1024;
  const struct {
    const char* name;
    std::string body;
  } shapes[] = {
      {"60 MB of empty arrays", arrayOf("[]", 60 * 1000 * 1000)},
      {"1 MiB and a byte of numbers", arrayOf("0", kMiB + 1)},
      {"exactly 1 MiB of empty arrays", arrayOf("[]", kMiB)},
      {"exactly 1 MiB of numbers", arrayOf("0", kMiB)},
      {"exactly 1 MiB of short strings", arrayOf("\"a\"", kMiB)},
      {"exactly 1 MiB of nesting", std::string(kMiB / 2, '[') + std::string(kMiB / 2, ']')},
      {"a load whose fields hold 1 MiB of values",
       R"({"COMMAND":"LOAD_BROWSER_RECORD","SITE_URL":"https://login.example.com/","X":)" + arrayOf("0", kMiB - 100) +
           "}"},
  };
  ChildProcess host = startHost();
  for (const auto& shape : shapes) {
    host.write(frame(shape.body));
    // Generous for Wine on a busy machine; the benchmark measures the time.
    const Reply reply = exchange(host, kLoad, 10s);
    EXPECT_TRUE(reply.received) << shape.name;
    EXPECT_NE(reply.body.find("\"s3cret\""), std::string::npos) << shape.name;
  }
  const std::optional<long> peakKiB = host.peakResidentKiB();
  host.closeInput();
  EXPECT_EQ(host.wait(30s), std::optional<int>(0));
  ASSERT_TRUE(peakKiB.has_value());
  EXPECT_LT(*peakKiB, 100 * 1024) << "KiB at the peak";
}

// A record with more fields than a byte counts must not run into the next
// term: 256 password fields read as 0 and 4096 text fields as the
// auto-submit flag when the terms are not saturated.
TEST_F(HostRecordsTest, ReturnSaturatesEachCountAndKeepsTheFlagsApart) {
  StandIn standIn;
  installInterface(binFolder() + "/test_modules/counted_fields");
  const struct {
    const char* title;  // "P T F1 F2" for the module
    int expected;
  } rows[] = {
      {"255 0 0 0", 255},
      {"256 0 0 0", 255},
      {"4096 0 0 0", 255},
      {"1 255 0 0", 1 | (255 << 8)},
      {"1 256 0 0", 1 | (255 << 8)},
      {"1 4096 0 0", 1 | (255 << 8)},
      {"4096 4096 1 1", 255 | (255 << 8) | (1 << 16) | kAutoSubmitPassed},
      {"2 1 255 0", 2 | (1 << 8) | (15 << 16)},
      {"2 1 0 255", 2 | (1 << 8) | (255 << 20)},
  };
  std::vector<std::string> loads;
  for (const auto& row : rows)
    loads.push_back(R"({"COMMAND":"LOAD_BROWSER_RECORD","SITE_URL":"https://fields.example/","SITE_TITLE":")" +
                    std::string(row.title) + "\"}");
  const std::vector<std::string> replies = converse(loads);
  ASSERT_EQ(replies.size(), loads.size());
  for (size_t i = 0; i < replies.size(); ++i) EXPECT_EQ(returnOf(replies[i]), rows[i].expected) << rows[i].title;
  EXPECT_NE(replies[6].find("\"t4095\"]"), std::string::npos) << "every field still travels";
}

// The browser closing its end first: the replies go nowhere, the host reads
// on to the end of its input and exits 0 as always.
TEST_F(HostRecordsTest, AClosedOutputIsNoCrash) {
  StandIn standIn;
  converse({kCreate});
  ChildProcess host = startHost();
  host.closeOutput();
  host.write(frame(kLoad) + frame(kLoad));
  EXPECT_FALSE(host.wait(1s).has_value()) << "the host ended before its input did";
  host.write(frame(R"({"COMMAND":"RESET"})"));
  host.closeInput();
  EXPECT_EQ(host.wait(30s), std::optional<int>(0));
}

TEST_F(HostRecordsTest, TwoHostsStoringAtOnceLoseNoRecord) {
  StandIn standIn;
  constexpr int kEach = 20;
  auto creates = [](const std::string& prefix) {
    std::vector<std::string> messages;
    for (int i = 0; i < kEach; ++i)
      messages.push_back(R"({"COMMAND":"CREATE_BROWSER_RECORD","SITE_URL":"https://)" + prefix + std::to_string(i) +
                         R"(.example/","PW_FIELDS":["p"],"PW_VALUES":[")" + prefix + std::to_string(i) + "\"]}");
    return messages;
  };
  std::thread first([&] { converse(creates("first")); });
  std::thread second([&] { converse(creates("second")); });
  first.join();
  second.join();
  std::vector<std::string> loads;
  for (const char* prefix : {"first", "second"})
    for (int i = 0; i < kEach; ++i)
      loads.push_back(R"({"COMMAND":"LOAD_BROWSER_RECORD","SITE_URL":"https://)" + std::string(prefix) +
                      std::to_string(i) + R"(.example/"})");
  const std::vector<std::string> replies = converse(loads);
  ASSERT_EQ(replies.size(), loads.size());
  for (size_t i = 0; i < replies.size(); ++i) {
    const std::string expected = (i < kEach ? "first" : "second") + std::to_string(i % kEach);
    EXPECT_NE(replies[i].find("\"PW_VALUE_ARRAY\":[\"" + expected + "\"]"), std::string::npos) << replies[i];
  }
}

}  // namespace
