// The password manager's policy module: the published contract.
//
// The module is a dynamic library whose full path an administrator stores in
// HKEY_LOCAL_MACHINE\Software\Halvik\Password Manager\Modules, value
// "AppPolicy". It must be signed by the maker. It exports two functions with
// C linkage, each taking the address of the caller's cell:
//
//   ORV_MODULE_EXPORT void getApplicationPolicyInterface(IORVPwmApplicationPolicy** ppInterface);
//       stores the module's policy object in *ppInterface
//   ORV_MODULE_EXPORT void freeApplicationPolicyInterface(IORVPwmApplicationPolicy** ppInterface);
//       releases the object in *ppInterface
//
// The slot order of IORVPwmApplicationPolicy and the argument counts are part
// of the contract: never reorder, insert or remove an operation.
#pragma once

#include "orv_platform/module_export.h"
#include "orv_wchar_string.h"

#define ORVPWM_GET_POLICY_EXPORT "getApplicationPolicyInterface"
#define ORVPWM_FREE_POLICY_EXPORT "freeApplicationPolicyInterface"

// Lists of restricted entries (getRestrictedList and friends).
enum ORVPwmRestrictedListType : ULONG {
  orvRestrictedSites = 0,
  orvRestrictedApplications = 1,
};

class IORVPwmApplicationPolicy {
 public:
  // Slots 0-3: restricted entries.
  virtual bool addEntryToRestrictedList(ULONG ulListType, const CORVWCharString* pszEntry) = 0;
  virtual bool removeEntryFromRestrictedList(ULONG ulListType, const CORVWCharString* pszEntry) = 0;
  virtual bool isEntryRestricted(ULONG ulListType, const CORVWCharString* pszEntry) = 0;
  virtual bool getRestrictedList(ULONG ulListType, CORVWCharStringList* pList) = 0;
  // Slots 4-5: the auto-submit interval, in seconds.
  virtual bool getAutoSubmitTimeInterval(double* pdSeconds) = 0;
  virtual bool setAutoSubmitTimeInterval(ULONG ulSeconds) = 0;
  // Slots 6-25: switches, each with its setter.
  virtual bool isPwmEnabled() = 0;
  virtual bool setPwmEnablementPolicyState(BOOL bState) = 0;
  virtual bool isIEPluginEnabled() = 0;
  virtual bool setIEPluginPolicyState(BOOL bState) = 0;
  virtual bool isFirefoxPluginEnabled() = 0;
  virtual bool setFirefoxPluginPolicyState(BOOL bState) = 0;
  virtual bool isWindowsHookEnabled() = 0;
  virtual bool setWindowsHookPolicyState(BOOL bState) = 0;
  virtual bool isAutofillEnabled() = 0;
  virtual bool setAutofillPolicyState(BOOL bState) = 0;
  virtual bool isRecordLinkingEnabled() = 0;
  virtual bool setRecordLinkingPolicyState(BOOL bState) = 0;
  virtual bool isDomainFilteringEnabled() = 0;
  virtual bool setDomainFilteringPolicyState(BOOL bState) = 0;
  virtual bool isFirefoxExtensionPromptEnabled() = 0;
  virtual bool setFFExtenstionPromptPolicyState(BOOL bState) = 0;
  virtual bool isChromeExtensionPromptEnabled() = 0;
  virtual bool setChromeExtenstionPromptState(BOOL bState) = 0;
  virtual bool areHotkeysEnabled() = 0;
  virtual bool setHotkeysPolicyState(BOOL bState) = 0;
  // Slots 26-27: hot keys by number.
  virtual bool getHotkey(ULONG ulHotkey, ULONG* pulKey) = 0;
  virtual bool setHotkey(ULONG ulHotkey, ULONG ulKey) = 0;
  // Slots 28-29.
  virtual bool isChromePluginEnabled() = 0;
  virtual bool setChromePluginPolicyState(BOOL bState) = 0;
  // Slots 30-31.
  virtual bool getShortcutNum(ULONG* pulNumber) = 0;
  virtual bool setShortcutNum(ULONG ulNumber) = 0;
  // Slots 32-37.
  virtual bool isAuthFrequencyAlways() = 0;
  virtual bool setAuthFrequencyAlwaysState(BOOL bState) = 0;
  virtual bool isPasswordOverrideEnabled() = 0;
  virtual bool setPasswordOverrideState(BOOL bState) = 0;
  virtual bool isLearnMoreDialogEnabled() = 0;
  virtual bool setLearnMoreDialogState(BOOL bState) = 0;
  // Slots 38-39.
  virtual bool getGUIOptions(ULONG* pulOptions) = 0;
  virtual bool getSettingsGUIOption(ULONG* pulOption) = 0;
  // Slots 40-41.
  virtual bool isChromeExtensionNotificationEnabled() = 0;
  virtual bool setChromeExtensionTipState(BOOL bState) = 0;
};

typedef void (*ORVPWM_POLICY_FACTORY_FN)(IORVPwmApplicationPolicy** ppInterface);
