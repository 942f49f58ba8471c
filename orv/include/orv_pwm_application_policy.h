// CORVPwmApplicationPolicy: the administrator's policy, as the password
// manager's policy module answers it. The constructor finds the module
// through HKEY_LOCAL_MACHINE\Software\Halvik\Password Manager\Modules
// "AppPolicy", checks that it is signed by the maker, loads it and asks its
// factory for the policy object; every operation is then forwarded to that
// object.
//
// When anything on the way fails (no value, a path that is not a full path,
// an unsigned or foreign-signed file, a failed load, no factory) the proxy
// stays degraded: every operation returns false and no later attempt to load
// is made. An exception thrown by the module is logged and answered with
// false.
#pragma once

#include "orvpwm_app_policy.h"
#include "orv_win32.h"

class ORV_API CORVPwmApplicationPolicy final : public IORVPwmApplicationPolicy {
 public:
  // The host passes false: the module must carry the maker's signature.
  explicit CORVPwmApplicationPolicy(bool bSkipSignatureCheck);
  ~CORVPwmApplicationPolicy();
  CORVPwmApplicationPolicy(const CORVPwmApplicationPolicy&) = delete;
  CORVPwmApplicationPolicy& operator=(const CORVPwmApplicationPolicy&) = delete;

  bool addEntryToRestrictedList(ULONG ulListType, const CORVWCharString* pszEntry) override;
  bool removeEntryFromRestrictedList(ULONG ulListType, const CORVWCharString* pszEntry) override;
  bool isEntryRestricted(ULONG ulListType, const CORVWCharString* pszEntry) override;
  // The module fills a list of the proxy's own; only when it returns true
  // does pList receive copies of its entries (its old entries dropped).
  // Otherwise pList is left exactly as it was.
  bool getRestrictedList(ULONG ulListType, CORVWCharStringList* pList) override;
  bool getAutoSubmitTimeInterval(double* pdSeconds) override;
  bool setAutoSubmitTimeInterval(ULONG ulSeconds) override;
  bool isPwmEnabled() override;
  bool setPwmEnablementPolicyState(BOOL bState) override;
  bool isIEPluginEnabled() override;
  bool setIEPluginPolicyState(BOOL bState) override;
  bool isFirefoxPluginEnabled() override;
  bool setFirefoxPluginPolicyState(BOOL bState) override;
  bool isWindowsHookEnabled() override;
  bool setWindowsHookPolicyState(BOOL bState) override;
  bool isAutofillEnabled() override;
  bool setAutofillPolicyState(BOOL bState) override;
  bool isRecordLinkingEnabled() override;
  bool setRecordLinkingPolicyState(BOOL bState) override;
  bool isDomainFilteringEnabled() override;
  bool setDomainFilteringPolicyState(BOOL bState) override;
  bool isFirefoxExtensionPromptEnabled() override;
  bool setFFExtenstionPromptPolicyState(BOOL bState) override;
  bool isChromeExtensionPromptEnabled() override;
  bool setChromeExtenstionPromptState(BOOL bState) override;
  bool areHotkeysEnabled() override;
  bool setHotkeysPolicyState(BOOL bState) override;
  bool getHotkey(ULONG ulHotkey, ULONG* pulKey) override;
  bool setHotkey(ULONG ulHotkey, ULONG ulKey) override;
  bool isChromePluginEnabled() override;
  bool setChromePluginPolicyState(BOOL bState) override;
  bool getShortcutNum(ULONG* pulNumber) override;
  bool setShortcutNum(ULONG ulNumber) override;
  bool isAuthFrequencyAlways() override;
  bool setAuthFrequencyAlwaysState(BOOL bState) override;
  bool isPasswordOverrideEnabled() override;
  bool setPasswordOverrideState(BOOL bState) override;
  bool isLearnMoreDialogEnabled() override;
  bool setLearnMoreDialogState(BOOL bState) override;
  bool getGUIOptions(ULONG* pulOptions) override;
  bool getSettingsGUIOption(ULONG* pulOption) override;
  bool isChromeExtensionNotificationEnabled() override;
  bool setChromeExtensionTipState(BOOL bState) override;

 private:
  // Loads the module and fills the cell; false when the factory was not
  // called.
  bool loadModule(bool bSkipSignatureCheck);
  // Hands the object back to the module and unloads it; false when the
  // module has no release function (or was never loaded).
  bool cleanup();
  // The module's object, or null while degraded.
  IORVPwmApplicationPolicy* policyObject() const;
  // Calls one slot of the module's object under a trace scope named for it.
  template <typename... Params, typename... Args>
  bool forward(const WCHAR* methodName, ULONG line, bool (IORVPwmApplicationPolicy::*slot)(Params...), Args... args);

  HMODULE m_hModule;
  IORVPwmApplicationPolicy** m_ppInterface;
};
