// CPwmRegistryPolicy: the policy object of the reference policy module. Every
// setting is a value under HKEY_LOCAL_MACHINE
// "Software\Halvik\Password Manager\Policy", read at each call:
//   switches                  REG_DWORD, 0 off, anything else on; a missing
//                             value is the switch's default
//   "AutoSubmitTimeInterval"  REG_DWORD seconds, default 30
//   "Hotkey<n>", "ShortcutNum", "GUIOptions", "SettingsGUIOption"
//                             REG_DWORD, default 0
//   "RestrictedSites", "RestrictedApplications"
//                             REG_MULTI_SZ, default empty
// A value of the wrong type is a failed read (false), never its default, so
// that a broken setting is not mistaken for the administrator's choice. The
// setters write the values (which needs the right to write the key).
#pragma once

#include "orvpwm_app_policy.h"

class CPwmRegistryPolicy final : public IORVPwmApplicationPolicy {
 public:
  // One switch: its registry value and what a missing value means.
  struct Switch {
    const WCHAR* name;
    DWORD dwDefault;
  };

  bool addEntryToRestrictedList(ULONG ulListType, const CORVWCharString* pszEntry) override;
  bool removeEntryFromRestrictedList(ULONG ulListType, const CORVWCharString* pszEntry) override;
  bool isEntryRestricted(ULONG ulListType, const CORVWCharString* pszEntry) override;
  // Replaces pList's entries with the list's.
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
  static bool isOn(const Switch& setting);
  static bool setSwitch(const Switch& setting, BOOL bState);
  // A REG_DWORD setting into *pulValue (null fails).
  static bool readNumber(const WCHAR* name, DWORD dwDefault, ULONG* pulValue);
  static bool writeNumber(const WCHAR* name, DWORD dwValue);
  // The restricted list of one kind; false for an unknown kind or a value
  // that is not a REG_MULTI_SZ.
  static bool readList(ULONG ulListType, CORVWCharStringList& list);
  static bool writeList(ULONG ulListType, CORVWCharStringList& list);
};
