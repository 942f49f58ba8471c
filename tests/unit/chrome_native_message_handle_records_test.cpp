// The record commands through the handler, with programmable interface and
// policy modules on a scratch registry and a running stand-in: the guard,
// the "RETURN" packing, the reply's text, the lists handed to createRecord,
// and every case that must end without a reply.
#include <gtest/gtest.h>
#include <json/json.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include "ChromeNativeMessageHandle.h"
#include "orv_platform/paths.h"
#include "process_test_support.h"
#include "registry_test_support.h"
#include "stdout_capture.h"
#include "test_module_controls.h"

namespace {

using orv_test::RegistryPath;
using orv_test::widen;
using orv_test::WString;

const RegistryPath kProduct = {HKEY_LOCAL_MACHINE, widen("Software\\Halvik\\Password Manager")};
const RegistryPath kModules = {HKEY_LOCAL_MACHINE, widen("Software\\Halvik\\Password Manager\\Modules")};
const RegistryPath kMetro = {HKEY_CURRENT_USER, widen("Software\\Google\\Chrome\\Metro")};

WString moduleFolder(const char* name) {
  return widen(std::string(ORV_TEST_MODULES_DIR) + "/" + name) + orv_platform::kPathSeparator;
}

template <typename Controls, typename Getter>
Controls* controlsOf(HMODULE& module, const WString& path) {
  module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) return nullptr;
  const auto getter = reinterpret_cast<Getter>(reinterpret_cast<void (*)()>(GetProcAddress(module, "testControls")));
  return getter != nullptr ? getter() : nullptr;
}

void setText(WCHAR* to, const WString& text) {
  std::copy(text.begin(), text.end(), to);
  to[text.size()] = 0;
}

// The frames written to standard output, each body parsed.
std::vector<std::string> framesIn(const std::string& bytes) {
  std::vector<std::string> frames;
  size_t at = 0;
  while (at + 4 <= bytes.size()) {
    uint32_t length = 0;
    std::memcpy(&length, bytes.data() + at, 4);
    frames.push_back(bytes.substr(at + 4, length));
    at += 4 + length;
  }
  return frames;
}

Json::Value parsed(const std::string& body) {
  Json::Value root;
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  EXPECT_TRUE(reader->parse(body.data(), body.data() + body.size(), &root, nullptr)) << body;
  return root;
}

std::string loadMessage(const std::string& url = "https://login.example.com/", const std::string& title = "Sign in") {
  Json::Value message;
  message["COMMAND"] = "LOAD_BROWSER_RECORD";
  message["SITE_URL"] = url;
  message["SITE_TITLE"] = title;
  return Json::FastWriter().write(message);
}

class RecordBridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(passwordManager_->visible());
    useInterfaceFolder(moduleFolder("programmable"));
    orv_test::setStringValue(kModules, widen("AppPolicy"),
                             widen(std::string(ORV_TEST_MODULES_DIR) + "/policy/test_policy.dll"));
    interface_ = controlsOf<TestInterfaceControls, TEST_INTERFACE_CONTROLS_FN>(
        interfaceModule_, moduleFolder("programmable") + widen("orvpwm_interface.dll"));
    policy_ = controlsOf<TestPolicyControls, TEST_POLICY_CONTROLS_FN>(
        policyModule_, widen(std::string(ORV_TEST_MODULES_DIR) + "/policy/test_policy.dll"));
    ASSERT_NE(interface_, nullptr);
    ASSERT_NE(policy_, nullptr);
    *interface_ = TestInterfaceControls{};
    *policy_ = TestPolicyControls{true, true, true, 1e9, false, 0, 0, 0};
    interface_->bLoadResult = true;
    interface_->bCreateResult = true;
    setRecord(ORV_W("record-A"), {{ORV_W("password")}, {ORV_W("s3cret")}, {}, {}});
  }
  void TearDown() override {
    handler_.reset();
    if (interfaceModule_ != nullptr) FreeLibrary(interfaceModule_);
    if (policyModule_ != nullptr) FreeLibrary(policyModule_);
  }

  void useInterfaceFolder(const WString& folder) { orv_test::setStringValue(kProduct, widen("InstallPath"), folder); }

  CChromeNativeMessageHandle& handler() {
    if (!handler_) handler_ = std::make_unique<CChromeNativeMessageHandle>(true);
    return *handler_;
  }

  void setRecord(const WCHAR* record, std::initializer_list<std::initializer_list<const WCHAR*>> lists) {
    setText(interface_->szRecord, record);
    ULONG which = 0;
    for (const auto& list : lists) {
      interface_->ulCounts[which] = 0;
      for (const WCHAR* text : list) setText(interface_->szFields[which][interface_->ulCounts[which]++], text);
      ++which;
    }
  }

  // The replies to one message.
  std::vector<std::string> send(const std::string& message) {
    CChromeNativeMessageHandle& target = handler();
    StdoutCapture capture;
    target.HandleMessage(message);
    return framesIn(capture.bytes());
  }

  int returnOf(const std::string& message) {
    const std::vector<std::string> replies = send(message);
    if (replies.size() != 1) {
      ADD_FAILURE() << "expected one reply, got " << replies.size();
      return -1;
    }
    return parsed(replies[0])["RETURN"].asInt();
  }

  orv_test::ScratchRegistry registry_{{kProduct, kMetro}};
  std::unique_ptr<orv_test::RunningCopy> passwordManager_ =
      std::make_unique<orv_test::RunningCopy>("password_manager.exe");
  HMODULE interfaceModule_ = nullptr;
  HMODULE policyModule_ = nullptr;
  TestInterfaceControls* interface_ = nullptr;
  TestPolicyControls* policy_ = nullptr;
  std::unique_ptr<CChromeNativeMessageHandle> handler_;
};

TEST(PackReturnValue, SaturatesEachTermSoThatNoneRunsIntoAnother) {
  constexpr INT kAutoSubmit = 1 << 20;
  struct Case {
    ULONG pw, text;
    BYTE flags, autoSubmit;
    INT expected;
  } cases[] = {
      {2, 1, 1, 1, 2 | (1 << 8) | (1 << 16) | kAutoSubmit},
      {1, 0, 0, 0, 1},
      {255, 255, 0, 0, 255 | (255 << 8)},
      {256, 0, 0, 0, 255},  // not 0 with the text term at 1
      {4096, 0, 0, 0, 255},
      {0, 256, 0, 0, 255 << 8},
      {0, 4096, 0, 0, 255 << 8},  // not the auto-submit flag
      {0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0xFFFF},
      {0, 0, 15, 0, 15 << 16},
      {0, 0, 0x1F, 0, 15 << 16},  // bit 4 would read as the auto-submit flag
      {0, 0, 0xFF, 0xFF, (15 << 16) | (255 << 20)},
      {0, 0, 0, 0x80, 0x80 << 20},  // bits 28 to 31 stay clear: "RETURN" is never negative
  };
  for (const Case& c : cases)
    EXPECT_EQ(CChromeNativeMessageHandle::packReturnValue(c.pw, c.text, c.flags, c.autoSubmit), c.expected)
        << c.pw << " " << c.text << " " << int(c.flags) << " " << int(c.autoSubmit);
}

TEST_F(RecordBridgeTest, ALoadAnswersTheFieldsInOrderWithReturnPacked) {
  setRecord(ORV_W("record-A"),
            {{ORV_W("password"), ORV_W("pin")}, {ORV_W("s3cret"), ORV_W("1234")}, {ORV_W("user")}, {ORV_W("alice")}});
  interface_->bFlags = 1;
  interface_->bAutoSubmit = 1;
  const std::vector<std::string> replies = send(loadMessage("https://login.example.com/a?b=c", "Sign in"));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0],
            "{\"COMMAND\":\"LOAD_BROWSER_RECORD\",\"PW_FIELD_ARRAY\":[\"password\",\"pin\"],"
            "\"PW_VALUE_ARRAY\":[\"s3cret\",\"1234\"],\"RETURN\":" +
                std::to_string(2 | (1 << 8) | (1 << 16) | (1 << 20)) +
                ",\"TEXT_FIELD_ARRAY\":[\"user\"],\"TEXT_VALUE_ARRAY\":[\"alice\"],"
                "\"URL\":\"https://login.example.com/a?b=c\"}");
  EXPECT_EQ(orv_test::narrow(interface_->szLastUrl), "https://login.example.com/a?b=c");
  EXPECT_EQ(orv_test::narrow(interface_->szLastTitle), "Sign in");
}

TEST_F(RecordBridgeTest, TheGuardHoldsBackAutoSubmitForTheSameRecordWithinTheInterval) {
  interface_->bAutoSubmit = 1;
  constexpr int kPassed = 1 << 20;
  struct Step {
    const char* what;
    const WCHAR* record;
    double interval;
    bool getterSucceeds;
    bool getterThrows;
    bool passes;
  } steps[] = {
      {"first load", ORV_W("record-A"), 1e9, true, false, true},
      {"same record within the interval", ORV_W("record-A"), 1e9, true, false, false},
      {"same record beyond the interval", ORV_W("record-A"), -1.0, true, false, true},
      {"another record within the interval", ORV_W("record-B"), 1e9, true, false, true},
      {"a changed record while the getter fails", ORV_W("record-A"), 1e9, false, false, false},
      {"the remembered record was kept", ORV_W("record-B"), 1e9, true, false, false},
      {"a changed record while the policy throws", ORV_W("record-A"), -1.0, true, true, false},
      {"the policy works again", ORV_W("record-A"), 1e9, true, false, true},
  };
  for (const Step& step : steps) {
    setText(interface_->szRecord, step.record);
    policy_->dInterval = step.interval;
    policy_->bIntervalSucceeds = step.getterSucceeds;
    policy_->bThrowFromInterval = step.getterThrows;
    const int returned = returnOf(loadMessage());
    EXPECT_EQ(returned & kPassed, step.passes ? kPassed : 0) << step.what;
    EXPECT_EQ(returned & 0xFF, 1) << step.what << ": the reply is sent all the same";
  }
}

TEST_F(RecordBridgeTest, NoReplyWhenAnythingOnTheWayIsMissing) {
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::function<void()> restore;
    std::string message;
  };
  const auto nothing = [] {};
  const std::vector<Case> cases = {
      {"module finds nothing", [&] { interface_->bLoadResult = false; }, [&] { interface_->bLoadResult = true; },
       loadMessage()},
      {"no password field, only text fields",
       [&] {
         setRecord(ORV_W("r"), {{}, {}, {ORV_W("user")}, {ORV_W("alice")}});
       },
       [&] {
         setRecord(ORV_W("r"), {{ORV_W("p")}, {}, {}, {}});
       },
       loadMessage()},
      {"Metro launch mode", [&] { orv_test::setDwordValue(kMetro, widen("launch_mode"), 1); },
       [&] { orv_test::deleteKey(kMetro); }, loadMessage()},
      {"password manager switched off", [&] { policy_->bPwmEnabled = false; }, [&] { policy_->bPwmEnabled = true; },
       loadMessage()},
      {"Chrome plug-in switched off", [&] { policy_->bChromePluginEnabled = false; },
       [&] { policy_->bChromePluginEnabled = true; }, loadMessage()},
      {"stand-in not running", [&] { passwordManager_->stop(); },
       [&] {
         passwordManager_ = std::make_unique<orv_test::RunningCopy>("password_manager.exe");
         ASSERT_TRUE(passwordManager_->visible());
       },
       loadMessage()},
      {"SITE_URL a number", nothing, nothing, R"({"COMMAND":"LOAD_BROWSER_RECORD","SITE_URL":12,"SITE_TITLE":"t"})"},
      {"SITE_URL an array", nothing, nothing, R"({"COMMAND":"LOAD_BROWSER_RECORD","SITE_URL":["a"],"SITE_TITLE":"t"})"},
      {"SITE_TITLE an object", nothing, nothing, R"({"COMMAND":"LOAD_BROWSER_RECORD","SITE_URL":"u","SITE_TITLE":{}})"},
  };
  for (const Case& c : cases) {
    c.arrange();
    EXPECT_TRUE(send(c.message).empty()) << c.what;
    c.restore();
    EXPECT_EQ(send(loadMessage()).size(), 1u) << c.what << ": the next load is answered again";
  }
}

TEST_F(RecordBridgeTest, ThePolicyIsAskedOnlyWhileItMatters) {
  passwordManager_->stop();
  send(loadMessage());
  EXPECT_EQ(policy_->ulPwmAsked, 0u) << "not asked without the stand-in";
  passwordManager_ = std::make_unique<orv_test::RunningCopy>("password_manager.exe");
  ASSERT_TRUE(passwordManager_->visible());
  policy_->bPwmEnabled = false;
  send(loadMessage());
  EXPECT_EQ(policy_->ulPwmAsked, 1u);
  EXPECT_EQ(policy_->ulChromePluginAsked, 0u) << "the second switch waits for the first";
  orv_test::setDwordValue(kMetro, widen("launch_mode"), 2);
  policy_->bPwmEnabled = true;
  EXPECT_EQ(send(loadMessage()).size(), 1u) << "launch_mode 2 is not Metro mode";
}

TEST_F(RecordBridgeTest, TheReplyIsAlwaysValidUtf8) {
  const WCHAR loneSurrogate[] = {'p', 0xD800, 'q', 0};
  const WCHAR euro[] = {0x20AC, 0};
  setRecord(ORV_W("r"), {{loneSurrogate}, {euro}, {}, {}});
  const std::vector<std::string> replies = send(loadMessage("https://a.example/\xFF\xC3", "t"));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_NE(replies[0].find("\"URL\":\"https://a.example/\xEF\xBF\xBD\xEF\xBF\xBD\""), std::string::npos) << replies[0];
  EXPECT_NE(replies[0].find("\"PW_FIELD_ARRAY\":[\"p\xEF\xBF\xBDq\"]"), std::string::npos) << replies[0];
  EXPECT_NE(replies[0].find("\"PW_VALUE_ARRAY\":[\"\xE2\x82\xAC\"]"), std::string::npos)
      << "non-ASCII text goes out as UTF-8: " << replies[0];
}

TEST_F(RecordBridgeTest, AReplyOverTheBrowsersLimitIsLoggedNotSent) {
  orv_test::CapturedLog log;
  interface_->ulPadFirstPwValue = 1024 * 1024;
  EXPECT_TRUE(send(loadMessage()).empty());
  EXPECT_EQ(log.linesWith({"message limit of 1 MiB", "FormatRecordToJson"}).size(), 1u) << log.all();
  interface_->ulPadFirstPwValue = 1024 * 1024 - 200;
  const std::vector<std::string> replies = send(loadMessage());
  ASSERT_EQ(replies.size(), 1u) << "just under the limit is sent";
  EXPECT_LE(replies[0].size(), CChromeNativeMessageHandle::kMaxReplyBytes);
}

TEST_F(RecordBridgeTest, CreateHandsTheListsOverAsTheyCame) {
  struct Case {
    const char* what;
    std::string message;
    bool called;
    std::vector<std::vector<std::string>> lists;
    std::string title;
  } cases[] = {
      {"all four lists",
       R"({"COMMAND":"CREATE_BROWSER_RECORD","SITE_URL":"https://a.example/","SITE_TITLE":"T",)"
       R"("PW_FIELDS":["p1","p2"],"PW_VALUES":["v1"],"TEXT_FIELDS":["u"],"TEXT_VALUES":["alice"]})",
       true,
       {{"p1", "p2"}, {"v1"}, {"u"}, {"alice"}},
       "T"},
      {"a number inside TEXT_VALUES ends that list",
       R"({"COMMAND":"CREATE_BROWSER_RECORD","SITE_URL":"u","SITE_TITLE":"T","PW_FIELDS":["p"],)"
       R"("TEXT_VALUES":["first",2,"third"]})",
       true,
       {{"p"}, {}, {}, {"first"}},
       "T"},
      {"booleans and null read as text",
       R"({"COMMAND":"CREATE_BROWSER_RECORD","PW_FIELDS":["p",true,null],"PW_VALUES":[false]})",
       true,
       {{"p", "true", ""}, {"false"}, {}, {}},
       ""},
      {"invalid UTF-8 in SITE_TITLE gives an empty title",
       "{\"COMMAND\":\"CREATE_BROWSER_RECORD\",\"SITE_TITLE\":\"a\xC3\",\"PW_FIELDS\":[\"p\"]}",
       true,
       {{"p"}, {}, {}, {}},
       ""},
      {"a zero code unit ends a value",
       R"({"COMMAND":"CREATE_BROWSER_RECORD","PW_FIELDS":["p"],"PW_VALUES":["ab\u0000cd"]})",
       true,
       {{"p"}, {"ab"}, {}, {}},
       ""},
      {"PW_FIELDS a string", R"({"COMMAND":"CREATE_BROWSER_RECORD","PW_FIELDS":"p"})", false, {}, ""},
      {"PW_FIELDS empty", R"({"COMMAND":"CREATE_BROWSER_RECORD","PW_FIELDS":[]})", false, {}, ""},
      {"PW_FIELDS missing", R"({"COMMAND":"CREATE_BROWSER_RECORD","PW_VALUES":["v"]})", false, {}, ""},
      {"SITE_URL a number", R"({"COMMAND":"CREATE_BROWSER_RECORD","SITE_URL":1,"PW_FIELDS":["p"]})", false, {}, ""},
  };
  for (const Case& c : cases) {
    const ULONG before = interface_->ulCreateCalls;
    EXPECT_TRUE(send(c.message).empty()) << c.what << ": a create is never answered";
    ASSERT_EQ(interface_->ulCreateCalls - before, c.called ? 1u : 0u) << c.what;
    if (!c.called) continue;
    EXPECT_EQ(orv_test::narrow(interface_->szLastTitle), c.title) << c.what;
    for (ULONG which = 0; which < kTestListCount; ++which) {
      std::vector<std::string> received;
      for (ULONG i = 0; i < interface_->ulReceivedCounts[which]; ++i)
        received.push_back(orv_test::narrow(interface_->szReceived[which][i]));
      EXPECT_EQ(received, c.lists[which]) << c.what << ", list " << which;
    }
  }
}

TEST_F(RecordBridgeTest, CreateReportsTheModulesResultAndWritesItsNotes) {
  orv_test::CapturedLog log;
  orv_test::setDwordValue(orv_test::CapturedLog::logsKey(), widen("LogDetail"), 0x3B);
  const std::string create = R"({"COMMAND":"CREATE_BROWSER_RECORD","PW_FIELDS":["secret-field"]})";
  EXPECT_TRUE(handler().HandleMessage(create));
  interface_->bCreateResult = false;
  EXPECT_FALSE(handler().HandleMessage(create));
  EXPECT_FALSE(handler().HandleMessage(R"({"COMMAND":"CREATE_BROWSER_RECORD"})"));
  EXPECT_EQ(log.linesWith({"<DEBUG>", "printing out data:............................"}).size(), 3u) << log.all();
  EXPECT_EQ(log.linesWith({"<DEBUG>", "secret-field"}).size(), 2u) << log.all();
}

TEST_F(RecordBridgeTest, ModulesThatCannotServeEndEveryCommandQuietly) {
  struct Case {
    const char* what;
    WString folder;
  } cases[] = {
      {"no exports", moduleFolder("no_exports")},
      {"no module in the folder", moduleFolder("nowhere")},
      {"the folder without its separator", widen(std::string(ORV_TEST_MODULES_DIR) + "/programmable")},
  };
  for (const Case& c : cases) {
    useInterfaceFolder(c.folder);
    handler_.reset();
    EXPECT_TRUE(send(loadMessage()).empty()) << c.what;
    EXPECT_TRUE(send(R"({"COMMAND":"CREATE_BROWSER_RECORD","PW_FIELDS":["p"]})").empty()) << c.what;
    EXPECT_TRUE(handler().HandleMessage(R"({"COMMAND":"RESET"})")) << c.what;
  }
  EXPECT_EQ(interface_->ulLoadCalls + interface_->ulCreateCalls, 0u);
}

// A relative directory would be resolved against the current folder.
TEST_F(RecordBridgeTest, OnlyAFullInstallPathIsLoaded) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(ORV_TEST_MODULES_DIR);
  const std::string separator(1, static_cast<char>(orv_platform::kPathSeparator));
  for (const std::string& folder : {std::string(), "programmable" + separator}) {
    useInterfaceFolder(widen(folder));
    handler_.reset();
    EXPECT_TRUE(send(loadMessage()).empty()) << "\"" << folder << "\"";
  }
  std::filesystem::current_path(before);
  EXPECT_EQ(interface_->ulLoadCalls, 0u);
}

}  // namespace
