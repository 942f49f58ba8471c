#include "orv_pwm_application_policy.h"

#include <memory>

#include "orv_catch.h"
#include "orv_platform/paths.h"
#include "orv_registry_string.h"
#include "orv_trace_scope.h"
#include "orv_windows_signedfile.h"

// Whatever goes wrong here, the module's own exceptions included, is written
// as one unhandled-exception record without an error code of its own.
#define ORV_POLICY_CATCH_THEN(...)                 \
  catch (...) {                                    \
    orvLogUnhandled(0, ORV_SOURCE_FILE, __LINE__); \
    __VA_ARGS__;                                   \
  }

// One forwarded operation: the trace carries the operation's own name.
#define ORV_POLICY_FORWARD(method, ...) \
  forward(ORV_W(#method), __LINE__, &IORVPwmApplicationPolicy::method, ##__VA_ARGS__)

namespace {

const WCHAR kModulesKey[] = ORV_W("Software\\Halvik\\Password Manager\\Modules");
const WCHAR kModuleValueName[] = ORV_W("AppPolicy");
const WCHAR kMakerSignerName[] = ORV_W("HALVIK");

// Exports are looked up as plain functions of the factory's shape.
ORVPWM_POLICY_FACTORY_FN lookUpExport(HMODULE hModule, const char* name) {
  return reinterpret_cast<ORVPWM_POLICY_FACTORY_FN>(reinterpret_cast<void (*)()>(GetProcAddress(hModule, name)));
}

}  // namespace

CORVPwmApplicationPolicy::CORVPwmApplicationPolicy(bool bSkipSignatureCheck)
    : m_hModule(nullptr), m_ppInterface(nullptr) {
  ORV_TRACE("CORVPwmApplicationPolicy", "CORVPwmApplicationPolicy Default Constructor");
  bool factoryCalled = false;
  try {
    factoryCalled = loadModule(bSkipSignatureCheck);
  }
  ORV_POLICY_CATCH_THEN(factoryCalled = false)
  ORV_TRACE_RESULT(factoryCalled);
}

bool CORVPwmApplicationPolicy::loadModule(bool bSkipSignatureCheck) {
  CORVRegistryString modulePath(HKEY_LOCAL_MACHINE, CORVWCharString(kModulesKey), CORVWCharString(kModuleValueName),
                                KEY_READ, false, 0);
  CORVWCharString path;
  if (!modulePath.getValue(path, false)) return false;
  // A name without its folder would be checked in one place and loaded from
  // another (the loader searches its own folders): only a full path will do.
  if (!orv_platform::isRootedPath(path.getBuffer())) return false;
  // The checked file stays open, with read sharing only, until it is
  // loaded: nobody can put another file in its place in between.
  std::unique_ptr<CORVSignedFile> checkedFile;
  if (!bSkipSignatureCheck) {
    checkedFile = std::make_unique<CORVSignedFile>(path);
    bool signerFound = false;
    if (!checkedFile->verifySignature(CORVWCharString(kMakerSignerName), signerFound) || !signerFound) return false;
  }
  m_hModule = LoadLibraryExW(path.getBuffer(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (m_hModule == nullptr) return false;
  m_ppInterface = new IORVPwmApplicationPolicy*(nullptr);
  const ORVPWM_POLICY_FACTORY_FN factory = lookUpExport(m_hModule, ORVPWM_GET_POLICY_EXPORT);
  if (factory == nullptr) return false;
  factory(m_ppInterface);
  return true;
}

CORVPwmApplicationPolicy::~CORVPwmApplicationPolicy() {
  ORV_TRACE("CORVPwmApplicationPolicy", "~CORVPwmApplicationPolicy");
  try {
    cleanup();
    // A module without its release function leaves the cell to us; nothing
    // can reach it once the module is gone.
    delete m_ppInterface;
    m_ppInterface = nullptr;
  }
  ORV_POLICY_CATCH_THEN((void)0)
  ORV_TRACE_RESULT(true);
}

bool CORVPwmApplicationPolicy::cleanup() {
  ORV_TRACE("CORVPwmApplicationPolicy", "cleanup");
  bool released = false;
  try {
    if (m_hModule != nullptr) {
      const ORVPWM_POLICY_FACTORY_FN release = lookUpExport(m_hModule, ORVPWM_FREE_POLICY_EXPORT);
      // Without a cell (it could not be allocated) there is nothing to hand back.
      if (release != nullptr && m_ppInterface != nullptr) {
        release(m_ppInterface);
        *m_ppInterface = nullptr;
        delete m_ppInterface;
        m_ppInterface = nullptr;
        released = true;
      }
      FreeLibrary(m_hModule);
      m_hModule = nullptr;
    }
  }
  ORV_POLICY_CATCH_THEN(released = false)
  ORV_TRACE_RESULT(released);
  return released;
}

IORVPwmApplicationPolicy* CORVPwmApplicationPolicy::policyObject() const {
  return m_ppInterface != nullptr ? *m_ppInterface : nullptr;
}

template <typename... Params, typename... Args>
bool CORVPwmApplicationPolicy::forward(const WCHAR* methodName, ULONG line,
                                       bool (IORVPwmApplicationPolicy::*slot)(Params...), Args... args) {
  CORVTraceScope orvTraceScope_(ORV_W("CORVPwmApplicationPolicy"), methodName, ORV_SOURCE_FILE, line, 1, true, true);
  bool result = false;
  try {
    IORVPwmApplicationPolicy* pPolicy = policyObject();
    if (pPolicy != nullptr) result = (pPolicy->*slot)(args...);
  }
  ORV_POLICY_CATCH_THEN(result = false)
  ORV_TRACE_RESULT(result);
  return result;
}

bool CORVPwmApplicationPolicy::addEntryToRestrictedList(ULONG ulListType, const CORVWCharString* pszEntry) {
  return ORV_POLICY_FORWARD(addEntryToRestrictedList, ulListType, pszEntry);
}

bool CORVPwmApplicationPolicy::removeEntryFromRestrictedList(ULONG ulListType, const CORVWCharString* pszEntry) {
  return ORV_POLICY_FORWARD(removeEntryFromRestrictedList, ulListType, pszEntry);
}

bool CORVPwmApplicationPolicy::isEntryRestricted(ULONG ulListType, const CORVWCharString* pszEntry) {
  return ORV_POLICY_FORWARD(isEntryRestricted, ulListType, pszEntry);
}

bool CORVPwmApplicationPolicy::getRestrictedList(ULONG ulListType, CORVWCharStringList* pList) {
  ORV_TRACE("CORVPwmApplicationPolicy", "getRestrictedList");
  bool filled = false;
  try {
    IORVPwmApplicationPolicy* pPolicy = policyObject();
    // A null list could not receive the entries: the module is not asked.
    if (pPolicy != nullptr && pList != nullptr) {
      CORVWCharStringList entries;
      if (pPolicy->getRestrictedList(ulListType, &entries)) {
        *pList = entries;
        // The assignment stops at an entry it cannot copy.
        filled = pList->getCount() == entries.getCount();
      }
    }
  }
  ORV_POLICY_CATCH_THEN(filled = false)
  ORV_TRACE_RESULT(filled);
  return filled;
}

bool CORVPwmApplicationPolicy::getAutoSubmitTimeInterval(double* pdSeconds) {
  return ORV_POLICY_FORWARD(getAutoSubmitTimeInterval, pdSeconds);
}

bool CORVPwmApplicationPolicy::setAutoSubmitTimeInterval(ULONG ulSeconds) {
  return ORV_POLICY_FORWARD(setAutoSubmitTimeInterval, ulSeconds);
}

bool CORVPwmApplicationPolicy::isPwmEnabled() { return ORV_POLICY_FORWARD(isPwmEnabled); }

bool CORVPwmApplicationPolicy::setPwmEnablementPolicyState(BOOL bState) {
  return ORV_POLICY_FORWARD(setPwmEnablementPolicyState, bState);
}

bool CORVPwmApplicationPolicy::isIEPluginEnabled() { return ORV_POLICY_FORWARD(isIEPluginEnabled); }

bool CORVPwmApplicationPolicy::setIEPluginPolicyState(BOOL bState) {
  return ORV_POLICY_FORWARD(setIEPluginPolicyState, bState);
}

bool CORVPwmApplicationPolicy::isFirefoxPluginEnabled() { return ORV_POLICY_FORWARD(isFirefoxPluginEnabled); }

bool CORVPwmApplicationPolicy::setFirefoxPluginPolicyState(BOOL bState) {
  return ORV_POLICY_FORWARD(setFirefoxPluginPolicyState, bState);
}

bool CORVPwmApplicationPolicy::isWindowsHookEnabled() { return ORV_POLICY_FORWARD(isWindowsHookEnabled); }

bool CORVPwmApplicationPolicy::setWindowsHookPolicyState(BOOL bState) {
  return ORV_POLICY_FORWARD(setWindowsHookPolicyState, bState);
}

bool CORVPwmApplicationPolicy::isAutofillEnabled() { return ORV_POLICY_FORWARD(isAutofillEnabled); }

bool CORVPwmApplicationPolicy::setAutofillPolicyState(BOOL bState) {
  return ORV_POLICY_FORWARD(setAutofillPolicyState, bState);
}

bool CORVPwmApplicationPolicy::isRecordLinkingEnabled() { return ORV_POLICY_FORWARD(isRecordLinkingEnabled); }

bool CORVPwmApplicationPolicy::setRecordLinkingPolicyState(BOOL bState) {
  return ORV_POLICY_FORWARD(setRecordLinkingPolicyState, bState);
}

bool CORVPwmApplicationPolicy::isDomainFilteringEnabled() { return ORV_POLICY_FORWARD(isDomainFilteringEnabled); }

bool CORVPwmApplicationPolicy::setDomainFilteringPolicyState(BOOL bState) {
  return ORV_POLICY_FORWARD(setDomainFilteringPolicyState, bState);
}

bool CORVPwmApplicationPolicy::isFirefoxExtensionPromptEnabled() {
  return ORV_POLICY_FORWARD(isFirefoxExtensionPromptEnabled);
}

bool CORVPwmApplicationPolicy::setFFExtenstionPromptPolicyState(BOOL bState) {
  return ORV_POLICY_FORWARD(setFFExtenstionPromptPolicyState, bState);
}

bool CORVPwmApplicationPolicy::isChromeExtensionPromptEnabled() {
  return ORV_POLICY_FORWARD(isChromeExtensionPromptEnabled);
}

bool CORVPwmApplicationPolicy::setChromeExtenstionPromptState(BOOL bState) {
  return ORV_POLICY_FORWARD(setChromeExtenstionPromptState, bState);
}

bool CORVPwmApplicationPolicy::areHotkeysEnabled() { return ORV_POLICY_FORWARD(areHotkeysEnabled); }

bool CORVPwmApplicationPolicy::setHotkeysPolicyState(BOOL bState) {
  return ORV_POLICY_FORWARD(setHotkeysPolicyState, bState);
}

bool CORVPwmApplicationPolicy::getHotkey(ULONG ulHotkey, ULONG* pulKey) {
  return ORV_POLICY_FORWARD(getHotkey, ulHotkey, pulKey);
}

bool CORVPwmApplicationPolicy::setHotkey(ULONG ulHotkey, ULONG ulKey) {
  return ORV_POLICY_FORWARD(setHotkey, ulHotkey, ulKey);
}

bool CORVPwmApplicationPolicy::isChromePluginEnabled() { return ORV_POLICY_FORWARD(isChromePluginEnabled); }

bool CORVPwmApplicationPolicy::setChromePluginPolicyState(BOOL bState) {
  return ORV_POLICY_FORWARD(setChromePluginPolicyState, bState);
}

bool CORVPwmApplicationPolicy::getShortcutNum(ULONG* pulNumber) {
  return ORV_POLICY_FORWARD(getShortcutNum, pulNumber);
}

bool CORVPwmApplicationPolicy::setShortcutNum(ULONG ulNumber) { return ORV_POLICY_FORWARD(setShortcutNum, ulNumber); }

bool CORVPwmApplicationPolicy::isAuthFrequencyAlways() { return ORV_POLICY_FORWARD(isAuthFrequencyAlways); }

bool CORVPwmApplicationPolicy::setAuthFrequencyAlwaysState(BOOL bState) {
  return ORV_POLICY_FORWARD(setAuthFrequencyAlwaysState, bState);
}

bool CORVPwmApplicationPolicy::isPasswordOverrideEnabled() { return ORV_POLICY_FORWARD(isPasswordOverrideEnabled); }

bool CORVPwmApplicationPolicy::setPasswordOverrideState(BOOL bState) {
  return ORV_POLICY_FORWARD(setPasswordOverrideState, bState);
}

bool CORVPwmApplicationPolicy::isLearnMoreDialogEnabled() { return ORV_POLICY_FORWARD(isLearnMoreDialogEnabled); }

bool CORVPwmApplicationPolicy::setLearnMoreDialogState(BOOL bState) {
  return ORV_POLICY_FORWARD(setLearnMoreDialogState, bState);
}

bool CORVPwmApplicationPolicy::getGUIOptions(ULONG* pulOptions) {
  return ORV_POLICY_FORWARD(getGUIOptions, pulOptions);
}

bool CORVPwmApplicationPolicy::getSettingsGUIOption(ULONG* pulOption) {
  return ORV_POLICY_FORWARD(getSettingsGUIOption, pulOption);
}

bool CORVPwmApplicationPolicy::isChromeExtensionNotificationEnabled() {
  return ORV_POLICY_FORWARD(isChromeExtensionNotificationEnabled);
}

bool CORVPwmApplicationPolicy::setChromeExtensionTipState(BOOL bState) {
  return ORV_POLICY_FORWARD(setChromeExtensionTipState, bState);
}
