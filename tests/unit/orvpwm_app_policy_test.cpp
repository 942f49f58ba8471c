// CORVPwmApplicationPolicy: which modules it loads, that each operation
// reaches its own slot with its arguments, the restricted list's copy rule,
// a module that throws, and release at the end. The test modules are kinds
// of tests/fixtures/programmable_policy_module.cpp; signed copies are made
// at build time.
#include "orv_pwm_application_policy.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "policy_call_words.h"
#include "services_log_fixture.h"

namespace {

using orv_test::widePath;
using orv_test::wideString;
using orv_test::WString;

const WCHAR kModulesKey[] = ORV_W("Software\\Halvik\\Password Manager\\Modules");
const WCHAR kPolicyKey[] = ORV_W("Software\\Halvik\\Password Manager\\Policy");

std::filesystem::path testPolicyModule(const std::string& kind) {
  return std::filesystem::u8path(ORV_TEST_POLICY_MODULES) / (kind + orv_test::kModuleExtension);
}

std::filesystem::path signedPolicyModule(const std::string& stem) {
  return std::filesystem::u8path(ORV_POLICY_SIGNING_FIXTURES) / (stem + orv_test::kModuleExtension);
}

// The test's own hold on a test module, for the exports that tell what the
// module's object saw. The proxy's load of the same path shares it.
class ModuleProbe {
 public:
  explicit ModuleProbe(const std::filesystem::path& module)
      : handle_(LoadLibraryExW(widePath(module).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
    EXPECT_NE(handle_, nullptr) << module;
  }
  ~ModuleProbe() {
    if (handle_ != nullptr) FreeLibrary(handle_);
  }
  ModuleProbe(const ModuleProbe&) = delete;
  ModuleProbe& operator=(const ModuleProbe&) = delete;

  struct Call {
    LONG slot = -1;
    ULONG_PTR first = 0;
    ULONG_PTR second = 0;
  };
  Call lastCall() const {
    Call call;
    if (auto get = exportOf<void (*)(LONG*, ULONG_PTR*, ULONG_PTR*)>("orvTestPolicyLastCall"))
      get(&call.slot, &call.first, &call.second);
    return call;
  }
  LONG liveObjects() const {
    auto get = exportOf<LONG (*)()>("orvTestPolicyLiveObjects");
    return get != nullptr ? get() : -1;
  }
  void answer(bool result) const {
    if (auto set = exportOf<void (*)(bool)>("orvTestPolicySetResult")) set(result);
  }

 private:
  template <typename Fn>
  Fn exportOf(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(handle_, name)));
    EXPECT_NE(fn, nullptr) << name;
    return fn;
  }

  HMODULE handle_;
};

class ApplicationPolicyTest : public orv_test::ServicesLogTest {
 protected:
  void SetUp() override {
    ServicesLogTest::SetUp();
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kModulesKey);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kPolicyKey);
#ifndef _WIN32
    // The policy fixtures have a throw-away root of their own.
    std::filesystem::copy_file(std::filesystem::u8path(ORV_POLICY_SIGNING_FIXTURES) / "trust" / "root.pem",
                               std::filesystem::path(std::getenv("ORV_REGISTRY_DIR")) / "trust" / "policy_root.pem",
                               std::filesystem::copy_options::overwrite_existing);
#endif
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kModulesKey);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kPolicyKey);
    ServicesLogTest::TearDown();
  }

  static void setValue(const WCHAR* keyPath, const WString& name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static void setText(const WCHAR* keyPath, const WString& name, const WString& text) {
    setValue(keyPath, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
  }
  void registerModule(const WString& path) { setText(kModulesKey, ORV_W("AppPolicy"), path); }
  void registerModule(const std::filesystem::path& module) { registerModule(widePath(module)); }

  std::vector<std::string> unhandledRecords() const {
    return linesWith({"\"An unhandled exception occurred\"", "orvpwm_app_policy.cpp"});
  }
};

// One interface operation, called with arguments the test can recognise.
struct Operation {
  const char* name;
  LONG slot;
  std::function<bool(IORVPwmApplicationPolicy&, ULONG_PTR&, ULONG_PTR&)> call;  // fills the expected arguments
};

CORVWCharString g_entry(ORV_W("https://bank.example"));
double g_seconds = 0.0;
ULONG g_out = 0;

#define ORV_OP0(slot, name)                                                                              \
  {                                                                                                      \
#name, slot, [](IORVPwmApplicationPolicy& p, ULONG_PTR& a, ULONG_PTR& b) { a = b = 0; return p.name(); } \
  }
#define ORV_OP_STATE(slot, name)                                                                 \
  {                                                                                              \
#name, slot, [](IORVPwmApplicationPolicy& p, ULONG_PTR& a, ULONG_PTR& b) {                     \
     b = 0;                                                                                         \
     a = 100 + slot;                                                                                \
     return p.name(static_cast<BOOL>(a));                                                           \
   } \
  }
#define ORV_OP_VALUE(slot, name)                                                                 \
  {                                                                                              \
#name, slot, [](IORVPwmApplicationPolicy& p, ULONG_PTR& a, ULONG_PTR& b) {                     \
     b = 0;                                                                                         \
     a = 200 + slot;                                                                                \
     return p.name(static_cast<ULONG>(a));                                                          \
   } \
  }
#define ORV_OP_OUT(slot, name)                                                                   \
  {                                                                                              \
#name, slot, [](IORVPwmApplicationPolicy& p, ULONG_PTR& a, ULONG_PTR& b) {                     \
     b = 0;                                                                                         \
     a = policyCallWord(&g_out);                                                                              \
     return p.name(&g_out);                                                                         \
   } \
  }
#define ORV_OP_ENTRY(slot, name)                                                                 \
  {                                                                                              \
#name, slot, [](IORVPwmApplicationPolicy& p, ULONG_PTR& a, ULONG_PTR& b) {                     \
     a = 300 + slot;                                                                                \
     b = policyCallWord(&g_entry);                                                                            \
     return p.name(static_cast<ULONG>(a), &g_entry);                                                \
   } \
  }

// getRestrictedList is left out: the module sees the proxy's own list.
const std::vector<Operation>& forwardedOperations() {
  static const std::vector<Operation> operations = {
      ORV_OP_ENTRY(0, addEntryToRestrictedList),
      ORV_OP_ENTRY(1, removeEntryFromRestrictedList),
      ORV_OP_ENTRY(2, isEntryRestricted),
      {"getAutoSubmitTimeInterval", 4,
       [](IORVPwmApplicationPolicy& p, ULONG_PTR& a, ULONG_PTR& b) {
         a = policyCallWord(&g_seconds);
         b = 0;
         return p.getAutoSubmitTimeInterval(&g_seconds);
       }},
      ORV_OP_VALUE(5, setAutoSubmitTimeInterval),
      ORV_OP0(6, isPwmEnabled),
      ORV_OP_STATE(7, setPwmEnablementPolicyState),
      ORV_OP0(8, isIEPluginEnabled),
      ORV_OP_STATE(9, setIEPluginPolicyState),
      ORV_OP0(10, isFirefoxPluginEnabled),
      ORV_OP_STATE(11, setFirefoxPluginPolicyState),
      ORV_OP0(12, isWindowsHookEnabled),
      ORV_OP_STATE(13, setWindowsHookPolicyState),
      ORV_OP0(14, isAutofillEnabled),
      ORV_OP_STATE(15, setAutofillPolicyState),
      ORV_OP0(16, isRecordLinkingEnabled),
      ORV_OP_STATE(17, setRecordLinkingPolicyState),
      ORV_OP0(18, isDomainFilteringEnabled),
      ORV_OP_STATE(19, setDomainFilteringPolicyState),
      ORV_OP0(20, isFirefoxExtensionPromptEnabled),
      ORV_OP_STATE(21, setFFExtenstionPromptPolicyState),
      ORV_OP0(22, isChromeExtensionPromptEnabled),
      ORV_OP_STATE(23, setChromeExtenstionPromptState),
      ORV_OP0(24, areHotkeysEnabled),
      ORV_OP_STATE(25, setHotkeysPolicyState),
      {"getHotkey", 26,
       [](IORVPwmApplicationPolicy& p, ULONG_PTR& a, ULONG_PTR& b) {
         a = 326;
         b = policyCallWord(&g_out);
         return p.getHotkey(326, &g_out);
       }},
      {"setHotkey", 27,
       [](IORVPwmApplicationPolicy& p, ULONG_PTR& a, ULONG_PTR& b) {
         a = 327;
         b = 427;
         return p.setHotkey(327, 427);
       }},
      ORV_OP0(28, isChromePluginEnabled),
      ORV_OP_STATE(29, setChromePluginPolicyState),
      ORV_OP_OUT(30, getShortcutNum),
      ORV_OP_VALUE(31, setShortcutNum),
      ORV_OP0(32, isAuthFrequencyAlways),
      ORV_OP_STATE(33, setAuthFrequencyAlwaysState),
      ORV_OP0(34, isPasswordOverrideEnabled),
      ORV_OP_STATE(35, setPasswordOverrideState),
      ORV_OP0(36, isLearnMoreDialogEnabled),
      ORV_OP_STATE(37, setLearnMoreDialogState),
      ORV_OP_OUT(38, getGUIOptions),
      ORV_OP_OUT(39, getSettingsGUIOption),
      ORV_OP0(40, isChromeExtensionNotificationEnabled),
      ORV_OP_STATE(41, setChromeExtensionTipState),
  };
  return operations;
}

// A list of strings tagged 0, 1, 2, ...
CORVWCharStringList listOf(std::initializer_list<const char*> elements) {
  CORVWCharStringList list;
  INT tag = 0;
  for (const char* element : elements) list.addTail(wideString(std::string(element)), tag++);
  return list;
}

std::string namesOf(CORVWCharStringList& list) {
  std::string names;
  for (bool more = list.moveFirst(); more; more = list.moveNext())
    names += orv_test::narrow(WString(list.getCurrentData()->getBuffer())) + ";";
  return names;
}

std::string traceName(const std::string& method) { return "CORVPwmApplicationPolicy::" + method; }

TEST_F(ApplicationPolicyTest, EveryOperationReachesItsOwnSlotWithItsArguments) {
  registerModule(signedPolicyModule("signed"));
  ModuleProbe probe(signedPolicyModule("signed"));
  {
    CORVPwmApplicationPolicy policy(false);
    for (const bool answer : {true, false}) {
      probe.answer(answer);
      for (const Operation& op : forwardedOperations()) {
        SCOPED_TRACE(std::string(op.name) + (answer ? " answering true" : " answering false"));
        ULONG_PTR first = 0;
        ULONG_PTR second = 0;
        EXPECT_EQ(op.call(policy, first, second), answer);
        const ModuleProbe::Call seen = probe.lastCall();
        EXPECT_EQ(seen.slot, op.slot);
        EXPECT_EQ(seen.first, first);
        EXPECT_EQ(seen.second, second);
      }
    }
    probe.answer(true);
  }
  for (const Operation& op : forwardedOperations()) {
    SCOPED_TRACE(op.name);
    EXPECT_TRUE(traced(traceName(op.name)));
  }
}

TEST_F(ApplicationPolicyTest, WithoutTheRegistryValueEveryOperationFailsAndIsStillTraced) {
  {
    CORVPwmApplicationPolicy policy(false);
    for (const Operation& op : forwardedOperations()) {
      ULONG_PTR first = 0;
      ULONG_PTR second = 0;
      EXPECT_FALSE(op.call(policy, first, second)) << op.name;
    }
    CORVWCharStringList list;
    EXPECT_FALSE(policy.getRestrictedList(orvRestrictedSites, &list));
  }
  for (const Operation& op : forwardedOperations()) EXPECT_TRUE(traced(traceName(op.name))) << op.name;
  EXPECT_TRUE(traced(traceName("getRestrictedList")));
  EXPECT_TRUE(logged({"<EXIT>", "<" + traceName("CORVPwmApplicationPolicy Default Constructor") + ">", "<Failed>"}))
      << logText();
  EXPECT_TRUE(logged({"<EXIT>", "<" + traceName("cleanup") + ">", "<Failed>"})) << logText();
  EXPECT_TRUE(traced(traceName("~CORVPwmApplicationPolicy")));
  EXPECT_TRUE(linesWith({"<EXCEPTION_BAD>"}).empty()) << logText();
}

struct LoadCase {
  const char* what;
  std::function<WString()> path;
  bool skipSignatureCheck;
  bool loaded;
};

TEST_F(ApplicationPolicyTest, LoadsOnlyWhatTheMakerSignedUnlessTheCheckIsSkipped) {
  auto fixture = [](const char* stem) { return [stem] { return widePath(signedPolicyModule(stem)); }; };
  const LoadCase cases[] = {
      {"signed by the maker", fixture("signed"), false, true},
      {"signed by another", fixture("foreign"), false, false},
      {"signed by another, check skipped", fixture("foreign"), true, true},
      {"signed by another, carrying a HALVIK certificate", fixture("stray"), false, false},
#ifndef _WIN32
      {"signed by another, its issuer in other letter case", fixture("case_issuer"), false, false},
#endif
      {"unsigned", fixture("unsigned"), false, false},
      {"unsigned, check skipped", fixture("unsigned"), true, true},
      // Checked in one folder, it could be loaded from another.
      {"a bare file name", [] { return widePath(signedPolicyModule("signed").filename()); }, false, false},
      {"a bare file name, check skipped", [] { return widePath(signedPolicyModule("signed").filename()); }, true,
       false},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.what);
    registerModule(c.path());
    const std::filesystem::path module = signedPolicyModule(std::filesystem::path(c.path()).stem().string());
    ModuleProbe probe(module);
    probe.answer(true);
    {
      CORVPwmApplicationPolicy policy(c.skipSignatureCheck);
      EXPECT_EQ(probe.liveObjects(), c.loaded ? 1 : 0);
      EXPECT_EQ(policy.isPwmEnabled(), c.loaded);
      EXPECT_EQ(policy.isChromePluginEnabled(), c.loaded);
    }
    EXPECT_EQ(probe.liveObjects(), 0) << "the module's object is released with the proxy";
  }
  EXPECT_TRUE(unhandledRecords().empty()) << logText();
}

TEST_F(ApplicationPolicyTest, AMissingModuleFileIsOneUnhandledRecordWithoutErrorCode) {
  const WString missing = widePath(signedPolicyModule("missing"));
  registerModule(missing);
  {
    CORVPwmApplicationPolicy policy(false);
    EXPECT_FALSE(policy.isPwmEnabled());
  }
  EXPECT_TRUE(logged({"does not exist.", orv_test::narrow(missing)})) << logText();
  const std::vector<std::string> unhandled = unhandledRecords();
  ASSERT_EQ(unhandled.size(), 1u) << logText();
  EXPECT_EQ(unhandled[0].find("<Error:"), std::string::npos) << unhandled[0];

  clearLog();
  {
    CORVPwmApplicationPolicy policy(true);
    EXPECT_FALSE(policy.isPwmEnabled());
  }
  EXPECT_TRUE(unhandledRecords().empty()) << "a failed load is not an exception:\n" << logText();
}

TEST_F(ApplicationPolicyTest, TheRestrictedListIsReplacedOnlyWhenTheModuleSucceeds) {
  registerModule(signedPolicyModule("signed"));
  ModuleProbe answering(signedPolicyModule("signed"));
  answering.answer(true);
  {
    CORVPwmApplicationPolicy policy(false);
    CORVWCharStringList list = listOf({"stale entry"});
    EXPECT_TRUE(policy.getRestrictedList(orvRestrictedApplications, &list));
    EXPECT_EQ(answering.lastCall().slot, 3);
    EXPECT_EQ(answering.lastCall().first, static_cast<ULONG_PTR>(orvRestrictedApplications));
    EXPECT_NE(answering.lastCall().second, policyCallWord(&list)) << "the module fills the proxy's own list";
    EXPECT_TRUE(list == listOf({"https://one.example", "https://two.example"})) << namesOf(list);

    // A call that cannot deliver is not made.
    EXPECT_TRUE(policy.isIEPluginEnabled());
    EXPECT_FALSE(policy.getRestrictedList(orvRestrictedSites, nullptr));
    EXPECT_EQ(answering.lastCall().slot, 8);
  }

  registerModule(testPolicyModule("refusing"));
  ModuleProbe refusing(testPolicyModule("refusing"));
  {
    CORVPwmApplicationPolicy policy(true);
    CORVWCharStringList list = listOf({"first", "second"});
    EXPECT_FALSE(policy.getRestrictedList(orvRestrictedSites, &list));
    EXPECT_EQ(refusing.lastCall().slot, 3);
    EXPECT_TRUE(list == listOf({"first", "second"})) << namesOf(list);
  }
  EXPECT_TRUE(unhandledRecords().empty()) << logText();
}

TEST_F(ApplicationPolicyTest, AThrowingModuleIsAFalseResultAndOneRecordEachTime) {
  registerModule(testPolicyModule("throwing"));
  ModuleProbe probe(testPolicyModule("throwing"));
  probe.answer(true);
  CORVPwmApplicationPolicy policy(true);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    clearLog();
    EXPECT_FALSE(policy.isPwmEnabled());
    const std::vector<std::string> unhandled = unhandledRecords();
    ASSERT_EQ(unhandled.size(), 1u) << logText();
    EXPECT_EQ(unhandled[0].find("<Error:"), std::string::npos) << unhandled[0];
    EXPECT_TRUE(logged({"<EXIT>", "<" + traceName("isPwmEnabled") + ">", "<Failed>"})) << logText();
    EXPECT_TRUE(policy.isChromePluginEnabled()) << "the proxy keeps working";
  }
}

TEST_F(ApplicationPolicyTest, AModuleWithoutExportsStaysLoadedButAnswersNothing) {
  registerModule(testPolicyModule("bare"));
  {
    CORVPwmApplicationPolicy policy(true);
    EXPECT_FALSE(policy.isPwmEnabled());
    EXPECT_FALSE(policy.isChromePluginEnabled());
    double seconds = 7.0;
    EXPECT_FALSE(policy.getAutoSubmitTimeInterval(&seconds));
    EXPECT_EQ(seconds, 7.0);
  }
  EXPECT_TRUE(logged({"<EXIT>", "<" + traceName("CORVPwmApplicationPolicy Default Constructor") + ">", "<Failed>"}))
      << logText();
  EXPECT_TRUE(logged({"<EXIT>", "<" + traceName("cleanup") + ">", "<Failed>"})) << logText();
  EXPECT_TRUE(unhandledRecords().empty()) << logText();
}

TEST_F(ApplicationPolicyTest, ALoadedModuleIsReleasedAtTheEnd) {
  registerModule(signedPolicyModule("signed"));
  ModuleProbe probe(signedPolicyModule("signed"));
  {
    CORVPwmApplicationPolicy policy(false);
    EXPECT_EQ(probe.liveObjects(), 1);
    probe.answer(true);
    double seconds = 0.0;
    EXPECT_TRUE(policy.getAutoSubmitTimeInterval(&seconds));
    EXPECT_EQ(seconds, 12.5);
  }
  EXPECT_EQ(probe.liveObjects(), 0);
  EXPECT_TRUE(logged({"<EXIT>", "<" + traceName("CORVPwmApplicationPolicy Default Constructor") + ">", "<Passed>"}))
      << logText();
  EXPECT_TRUE(logged({"<EXIT>", "<" + traceName("cleanup") + ">", "<Passed>"})) << logText();
}

// The reference module, signed by scripts/sign-module, through the proxy
// as the host uses it.
class ReferencePolicyTest : public ApplicationPolicyTest {
 protected:
  void SetUp() override {
    ApplicationPolicyTest::SetUp();
#ifndef _WIN32
    std::filesystem::copy_file(std::filesystem::u8path(ORV_REFERENCE_POLICY_TRUST) / "sign-module-root.pem",
                               std::filesystem::path(std::getenv("ORV_REGISTRY_DIR")) / "trust" / "reference.pem",
                               std::filesystem::copy_options::overwrite_existing);
#endif
    registerModule(std::filesystem::u8path(ORV_REFERENCE_POLICY));
  }

  static void setNumber(const WString& name, DWORD value) { setValue(kPolicyKey, name, REG_DWORD, &value, 4); }
  // The stored REG_DWORD, or nothing when the value is missing or of another type.
  static std::optional<DWORD> storedNumber(const WString& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG status = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return std::nullopt;
    return value;
  }
};

struct PolicySwitch {
  const char* valueName;
  bool (IORVPwmApplicationPolicy::*get)();
  bool (IORVPwmApplicationPolicy::*set)(BOOL);
  bool byDefault;
};

#define ORV_SWITCH(value, getter, setter, byDefault) \
  { value, &IORVPwmApplicationPolicy::getter, &IORVPwmApplicationPolicy::setter, byDefault }

const PolicySwitch kSwitches[] = {
    ORV_SWITCH("PwmEnabled", isPwmEnabled, setPwmEnablementPolicyState, true),
    ORV_SWITCH("IEPluginEnabled", isIEPluginEnabled, setIEPluginPolicyState, true),
    ORV_SWITCH("FirefoxPluginEnabled", isFirefoxPluginEnabled, setFirefoxPluginPolicyState, true),
    ORV_SWITCH("WindowsHookEnabled", isWindowsHookEnabled, setWindowsHookPolicyState, true),
    ORV_SWITCH("AutofillEnabled", isAutofillEnabled, setAutofillPolicyState, true),
    ORV_SWITCH("RecordLinkingEnabled", isRecordLinkingEnabled, setRecordLinkingPolicyState, true),
    ORV_SWITCH("DomainFilteringEnabled", isDomainFilteringEnabled, setDomainFilteringPolicyState, false),
    ORV_SWITCH("FirefoxExtensionPromptEnabled", isFirefoxExtensionPromptEnabled, setFFExtenstionPromptPolicyState,
               true),
    ORV_SWITCH("ChromeExtensionPromptEnabled", isChromeExtensionPromptEnabled, setChromeExtenstionPromptState, true),
    ORV_SWITCH("HotkeysEnabled", areHotkeysEnabled, setHotkeysPolicyState, true),
    ORV_SWITCH("ChromePluginEnabled", isChromePluginEnabled, setChromePluginPolicyState, true),
    ORV_SWITCH("AuthFrequencyAlways", isAuthFrequencyAlways, setAuthFrequencyAlwaysState, false),
    ORV_SWITCH("PasswordOverrideEnabled", isPasswordOverrideEnabled, setPasswordOverrideState, false),
    ORV_SWITCH("LearnMoreDialogEnabled", isLearnMoreDialogEnabled, setLearnMoreDialogState, true),
    ORV_SWITCH("ChromeExtensionNotificationEnabled", isChromeExtensionNotificationEnabled, setChromeExtensionTipState,
               true),
};

TEST_F(ReferencePolicyTest, EachSwitchIsItsOwnRegistryValue) {
  CORVPwmApplicationPolicy policy(false);
  for (const PolicySwitch& s : kSwitches) {
    SCOPED_TRACE(s.valueName);
    const WString name = orv_test::widen(s.valueName);
    EXPECT_EQ((policy.*s.get)(), s.byDefault) << "a missing value is the default";
    EXPECT_TRUE((policy.*s.set)(!s.byDefault));
    EXPECT_EQ(storedNumber(name), std::optional<DWORD>(s.byDefault ? 0 : 1));
    EXPECT_EQ((policy.*s.get)(), !s.byDefault);
    setNumber(name, s.byDefault ? 7 : 0);
    EXPECT_EQ((policy.*s.get)(), s.byDefault) << "any number but 0 is on";
    setText(kPolicyKey, name, ORV_W("1"));
    EXPECT_FALSE((policy.*s.get)()) << "a value of another type is no answer";
  }
}

TEST_F(ReferencePolicyTest, TheAutoSubmitIntervalIsSecondsAndFailsOnAnotherType) {
  CORVPwmApplicationPolicy policy(false);
  double seconds = 0.0;
  EXPECT_TRUE(policy.getAutoSubmitTimeInterval(&seconds));
  EXPECT_EQ(seconds, 30.0);
  EXPECT_TRUE(policy.setAutoSubmitTimeInterval(45));
  EXPECT_EQ(storedNumber(ORV_W("AutoSubmitTimeInterval")), std::optional<DWORD>(45));
  EXPECT_TRUE(policy.getAutoSubmitTimeInterval(&seconds));
  EXPECT_EQ(seconds, 45.0);

  setText(kPolicyKey, ORV_W("AutoSubmitTimeInterval"), ORV_W("45"));
  seconds = 0.0;
  EXPECT_FALSE(policy.getAutoSubmitTimeInterval(&seconds));
  EXPECT_EQ(seconds, 0.0);
  const BYTE shortNumber[2] = {5, 0};
  setValue(kPolicyKey, ORV_W("AutoSubmitTimeInterval"), REG_BINARY, shortNumber, sizeof shortNumber);
  EXPECT_FALSE(policy.getAutoSubmitTimeInterval(&seconds));
  EXPECT_FALSE(policy.getAutoSubmitTimeInterval(nullptr));
}

TEST_F(ReferencePolicyTest, NumbersDefaultToZeroAndHotkeysAreNumbered) {
  CORVPwmApplicationPolicy policy(false);
  ULONG value = 99;
  EXPECT_TRUE(policy.getHotkey(3, &value));
  EXPECT_EQ(value, 0u);
  EXPECT_TRUE(policy.setHotkey(3, 0x41));
  EXPECT_TRUE(policy.setHotkey(12, 0x42));
  EXPECT_EQ(storedNumber(ORV_W("Hotkey3")), std::optional<DWORD>(0x41));
  EXPECT_EQ(storedNumber(ORV_W("Hotkey12")), std::optional<DWORD>(0x42));
  EXPECT_TRUE(policy.getHotkey(3, &value));
  EXPECT_EQ(value, 0x41u);
  EXPECT_FALSE(policy.getHotkey(3, nullptr));

  EXPECT_TRUE(policy.setShortcutNum(4));
  EXPECT_TRUE(policy.getShortcutNum(&value));
  EXPECT_EQ(value, 4u);
  setNumber(ORV_W("GUIOptions"), 0x15);
  EXPECT_TRUE(policy.getGUIOptions(&value));
  EXPECT_EQ(value, 0x15u);
  EXPECT_TRUE(policy.getSettingsGUIOption(&value));
  EXPECT_EQ(value, 0u);
}

TEST_F(ReferencePolicyTest, RestrictedEntriesAreKeptPerListWithoutRegardToCase) {
  CORVPwmApplicationPolicy policy(false);
  const CORVWCharString bank(ORV_W("https://bank.example"));
  const CORVWCharString shop(ORV_W("https://shop.example"));
  const CORVWCharString bankInCapitals(ORV_W("HTTPS://BANK.EXAMPLE"));
  const CORVWCharString empty;
  CORVWCharStringList list = listOf({"untouched"});
  EXPECT_TRUE(policy.getRestrictedList(orvRestrictedSites, &list));
  EXPECT_EQ(list.getCount(), 0u) << "no value is an empty list";

  EXPECT_TRUE(policy.addEntryToRestrictedList(orvRestrictedSites, &bank));
  EXPECT_TRUE(policy.addEntryToRestrictedList(orvRestrictedSites, &shop));
  EXPECT_TRUE(policy.addEntryToRestrictedList(orvRestrictedSites, &bankInCapitals));
  EXPECT_TRUE(policy.getRestrictedList(orvRestrictedSites, &list));
  EXPECT_TRUE(list == listOf({"https://bank.example", "https://shop.example"})) << namesOf(list);
  EXPECT_TRUE(policy.isEntryRestricted(orvRestrictedSites, &bankInCapitals));
  EXPECT_FALSE(policy.isEntryRestricted(orvRestrictedApplications, &bank)) << "the lists are apart";

  EXPECT_TRUE(policy.removeEntryFromRestrictedList(orvRestrictedSites, &bankInCapitals));
  EXPECT_FALSE(policy.isEntryRestricted(orvRestrictedSites, &bank));
  EXPECT_TRUE(policy.getRestrictedList(orvRestrictedSites, &list));
  EXPECT_TRUE(list == listOf({"https://shop.example"})) << namesOf(list);
  EXPECT_TRUE(policy.removeEntryFromRestrictedList(orvRestrictedSites, &bank)) << "already gone";

  const ULONG unknownList = 7;
  EXPECT_FALSE(policy.addEntryToRestrictedList(unknownList, &bank));
  EXPECT_FALSE(policy.getRestrictedList(unknownList, &list));
  EXPECT_FALSE(policy.addEntryToRestrictedList(orvRestrictedSites, &empty));
  EXPECT_FALSE(policy.addEntryToRestrictedList(orvRestrictedSites, nullptr));
  EXPECT_FALSE(policy.isEntryRestricted(orvRestrictedSites, nullptr));

  // Another type is the administrator's data: it is not overwritten.
  setText(kPolicyKey, ORV_W("RestrictedApplications"), ORV_W("notepad.exe"));
  EXPECT_FALSE(policy.addEntryToRestrictedList(orvRestrictedApplications, &bank));
  EXPECT_FALSE(policy.getRestrictedList(orvRestrictedApplications, &list));
  EXPECT_EQ(storedNumber(ORV_W("RestrictedApplications")), std::nullopt);
}

}  // namespace
