// Policy modules for the proxy's tests, one source built in several kinds
// (ORV_TEST_POLICY_KIND):
//   answering  every operation answers; the module remembers the last call
//   throwing   as answering, but isPwmEnabled throws
//   refusing   getRestrictedList fills its list and still returns false
//   bare       neither the factory nor the release function
// Besides the two published exports, the module shows the test what it saw
// through orvTestPolicyLastCall and orvTestPolicyLiveObjects.
#include <stdexcept>

#include "orvpwm_app_policy.h"
#include "policy_call_words.h"

#define ORV_TEST_POLICY_ANSWERING 1
#define ORV_TEST_POLICY_THROWING 2
#define ORV_TEST_POLICY_REFUSING 3
#define ORV_TEST_POLICY_BARE 4

namespace {

// What the last operation was called with.
struct LastCall {
  LONG slot = -1;
  ULONG_PTR first = 0;
  ULONG_PTR second = 0;
};

LastCall g_lastCall;
LONG g_liveObjects = 0;
bool g_nextResult = true;

bool record(LONG slot, ULONG_PTR first = 0, ULONG_PTR second = 0) {
  g_lastCall = {slot, first, second};
  return g_nextResult;
}

#define ORV_SLOT0(slot, name) \
  bool name() override { return record(slot); }
#define ORV_SLOT1(slot, name, T) \
  bool name(T a) override { return record(slot, policyCallWord(a)); }
#define ORV_SLOT2(slot, name, T1, T2) \
  bool name(T1 a, T2 b) override { return record(slot, policyCallWord(a), policyCallWord(b)); }

class CTestPolicy final : public IORVPwmApplicationPolicy {
 public:
  CTestPolicy() { ++g_liveObjects; }
  ~CTestPolicy() { --g_liveObjects; }

  ORV_SLOT2(0, addEntryToRestrictedList, ULONG, const CORVWCharString*)
  ORV_SLOT2(1, removeEntryFromRestrictedList, ULONG, const CORVWCharString*)
  ORV_SLOT2(2, isEntryRestricted, ULONG, const CORVWCharString*)

  // Two entries, so that the test sees whether the proxy copied them.
  bool getRestrictedList(ULONG ulListType, CORVWCharStringList* pList) override {
    const bool result = record(3, ulListType, policyCallWord(pList));
    pList->addTail(CORVWCharString(ORV_W("https://one.example")), 0);
    pList->addTail(CORVWCharString(ORV_W("https://two.example")), 1);
    return ORV_TEST_POLICY_KIND != ORV_TEST_POLICY_REFUSING && result;
  }

  bool getAutoSubmitTimeInterval(double* pdSeconds) override {
    *pdSeconds = 12.5;
    return record(4, policyCallWord(pdSeconds));
  }
  ORV_SLOT1(5, setAutoSubmitTimeInterval, ULONG)

  bool isPwmEnabled() override {
#if ORV_TEST_POLICY_KIND == ORV_TEST_POLICY_THROWING
    throw std::runtime_error("the policy store is unreadable");
#endif
    return record(6);
  }
  ORV_SLOT1(7, setPwmEnablementPolicyState, BOOL)
  ORV_SLOT0(8, isIEPluginEnabled)
  ORV_SLOT1(9, setIEPluginPolicyState, BOOL)
  ORV_SLOT0(10, isFirefoxPluginEnabled)
  ORV_SLOT1(11, setFirefoxPluginPolicyState, BOOL)
  ORV_SLOT0(12, isWindowsHookEnabled)
  ORV_SLOT1(13, setWindowsHookPolicyState, BOOL)
  ORV_SLOT0(14, isAutofillEnabled)
  ORV_SLOT1(15, setAutofillPolicyState, BOOL)
  ORV_SLOT0(16, isRecordLinkingEnabled)
  ORV_SLOT1(17, setRecordLinkingPolicyState, BOOL)
  ORV_SLOT0(18, isDomainFilteringEnabled)
  ORV_SLOT1(19, setDomainFilteringPolicyState, BOOL)
  ORV_SLOT0(20, isFirefoxExtensionPromptEnabled)
  ORV_SLOT1(21, setFFExtenstionPromptPolicyState, BOOL)
  ORV_SLOT0(22, isChromeExtensionPromptEnabled)
  ORV_SLOT1(23, setChromeExtenstionPromptState, BOOL)
  ORV_SLOT0(24, areHotkeysEnabled)
  ORV_SLOT1(25, setHotkeysPolicyState, BOOL)
  ORV_SLOT2(26, getHotkey, ULONG, ULONG*)
  ORV_SLOT2(27, setHotkey, ULONG, ULONG)
  ORV_SLOT0(28, isChromePluginEnabled)
  ORV_SLOT1(29, setChromePluginPolicyState, BOOL)
  ORV_SLOT1(30, getShortcutNum, ULONG*)
  ORV_SLOT1(31, setShortcutNum, ULONG)
  ORV_SLOT0(32, isAuthFrequencyAlways)
  ORV_SLOT1(33, setAuthFrequencyAlwaysState, BOOL)
  ORV_SLOT0(34, isPasswordOverrideEnabled)
  ORV_SLOT1(35, setPasswordOverrideState, BOOL)
  ORV_SLOT0(36, isLearnMoreDialogEnabled)
  ORV_SLOT1(37, setLearnMoreDialogState, BOOL)
  ORV_SLOT1(38, getGUIOptions, ULONG*)
  ORV_SLOT1(39, getSettingsGUIOption, ULONG*)
  ORV_SLOT0(40, isChromeExtensionNotificationEnabled)
  ORV_SLOT1(41, setChromeExtensionTipState, BOOL)
};

}  // namespace

#if ORV_TEST_POLICY_KIND != ORV_TEST_POLICY_BARE
ORV_MODULE_EXPORT void getApplicationPolicyInterface(IORVPwmApplicationPolicy** ppInterface) {
  *ppInterface = new CTestPolicy;
}

ORV_MODULE_EXPORT void freeApplicationPolicyInterface(IORVPwmApplicationPolicy** ppInterface) {
  delete static_cast<CTestPolicy*>(*ppInterface);
  *ppInterface = nullptr;
}
#endif

ORV_MODULE_EXPORT void orvTestPolicyLastCall(LONG* plSlot, ULONG_PTR* pFirst, ULONG_PTR* pSecond) {
  *plSlot = g_lastCall.slot;
  *pFirst = g_lastCall.first;
  *pSecond = g_lastCall.second;
}

ORV_MODULE_EXPORT LONG orvTestPolicyLiveObjects() { return g_liveObjects; }

// What every later operation returns.
ORV_MODULE_EXPORT void orvTestPolicySetResult(bool bResult) { g_nextResult = bResult; }
