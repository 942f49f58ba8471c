#include "registry_policy.h"

#include <string>

#include "orv_registry_dword.h"
#include "orv_registry_multi_string.h"

namespace {

const WCHAR kPolicyKey[] = ORV_W("Software\\Halvik\\Password Manager\\Policy");
const WCHAR kAutoSubmitTimeInterval[] = ORV_W("AutoSubmitTimeInterval");
constexpr DWORD kDefaultAutoSubmitSeconds = 30;

const CPwmRegistryPolicy::Switch kPwmEnabled{ORV_W("PwmEnabled"), 1};
const CPwmRegistryPolicy::Switch kIEPluginEnabled{ORV_W("IEPluginEnabled"), 1};
const CPwmRegistryPolicy::Switch kFirefoxPluginEnabled{ORV_W("FirefoxPluginEnabled"), 1};
const CPwmRegistryPolicy::Switch kWindowsHookEnabled{ORV_W("WindowsHookEnabled"), 1};
const CPwmRegistryPolicy::Switch kAutofillEnabled{ORV_W("AutofillEnabled"), 1};
const CPwmRegistryPolicy::Switch kRecordLinkingEnabled{ORV_W("RecordLinkingEnabled"), 1};
const CPwmRegistryPolicy::Switch kDomainFilteringEnabled{ORV_W("DomainFilteringEnabled"), 0};
const CPwmRegistryPolicy::Switch kFirefoxExtensionPromptEnabled{ORV_W("FirefoxExtensionPromptEnabled"), 1};
const CPwmRegistryPolicy::Switch kChromeExtensionPromptEnabled{ORV_W("ChromeExtensionPromptEnabled"), 1};
const CPwmRegistryPolicy::Switch kHotkeysEnabled{ORV_W("HotkeysEnabled"), 1};
const CPwmRegistryPolicy::Switch kChromePluginEnabled{ORV_W("ChromePluginEnabled"), 1};
const CPwmRegistryPolicy::Switch kAuthFrequencyAlways{ORV_W("AuthFrequencyAlways"), 0};
const CPwmRegistryPolicy::Switch kPasswordOverrideEnabled{ORV_W("PasswordOverrideEnabled"), 0};
const CPwmRegistryPolicy::Switch kLearnMoreDialogEnabled{ORV_W("LearnMoreDialogEnabled"), 1};
const CPwmRegistryPolicy::Switch kChromeExtensionNotificationEnabled{ORV_W("ChromeExtensionNotificationEnabled"), 1};

// What the policy key holds under a name.
enum class Stored { Nothing, Expected, Other };

// Looks the value up and checks its type; a REG_DWORD's number goes to
// *pdwNumber when it is given.
Stored lookUp(const WCHAR* name, DWORD dwExpectedType, DWORD* pdwNumber) {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_READ, &key);
  if (status == ERROR_FILE_NOT_FOUND) return Stored::Nothing;
  if (status != ERROR_SUCCESS) return Stored::Other;
  DWORD type = REG_NONE;
  DWORD size = 0;
  status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  if (status == ERROR_SUCCESS && type != dwExpectedType) status = ERROR_INVALID_DATA;
  if (status == ERROR_SUCCESS && pdwNumber != nullptr) {
    if (size != sizeof *pdwNumber)
      status = ERROR_INVALID_DATA;
    else
      status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(pdwNumber), &size);
  }
  RegCloseKey(key);
  if (status == ERROR_FILE_NOT_FOUND) return Stored::Nothing;
  return status == ERROR_SUCCESS ? Stored::Expected : Stored::Other;
}

const WCHAR* listValueName(ULONG ulListType) {
  switch (ulListType) {
    case orvRestrictedSites: return ORV_W("RestrictedSites");
    case orvRestrictedApplications: return ORV_W("RestrictedApplications");
    default: return nullptr;
  }
}

bool isUsableEntry(const CORVWCharString* pszEntry) { return pszEntry != nullptr && pszEntry->getLength() > 0; }

// Entries compare as Windows compares names: without regard to case.
bool sameEntry(const CORVWCharString& a, const CORVWCharString& b) {
  return a.isValid() && b.isValid() && _wcsicmp(a.getBuffer(), b.getBuffer()) == 0;
}

bool contains(CORVWCharStringList& list, const CORVWCharString& entry) {
  for (bool more = list.moveFirst(); more; more = list.moveNext())
    if (sameEntry(*list.getCurrentData(), entry)) return true;
  return false;
}

CORVWCharString hotkeyValueName(ULONG ulHotkey) {
  const std::string number = std::to_string(ulHotkey);
  CORVWCharString name(ORV_W("Hotkey"));
  WCHAR digit[2] = {0, 0};
  for (char c : number) {
    digit[0] = static_cast<WCHAR>(c);
    name += digit;
  }
  return name;
}

}  // namespace

bool CPwmRegistryPolicy::readNumber(const WCHAR* name, DWORD dwDefault, ULONG* pulValue) {
  if (pulValue == nullptr) return false;
  DWORD number = 0;
  switch (lookUp(name, REG_DWORD, &number)) {
    case Stored::Nothing: *pulValue = dwDefault; return true;
    case Stored::Expected: *pulValue = number; return true;
    default: return false;
  }
}

bool CPwmRegistryPolicy::writeNumber(const WCHAR* name, DWORD dwValue) {
  CORVRegistryDword value(HKEY_LOCAL_MACHINE, CORVWCharString(kPolicyKey), CORVWCharString(name), KEY_READ | KEY_WRITE,
                          true, 0);
  return value.setValue(dwValue, false);
}

bool CPwmRegistryPolicy::isOn(const Switch& setting) {
  ULONG value = 0;
  return readNumber(setting.name, setting.dwDefault, &value) && value != 0;
}

bool CPwmRegistryPolicy::setSwitch(const Switch& setting, BOOL bState) {
  return writeNumber(setting.name, bState ? 1 : 0);
}

bool CPwmRegistryPolicy::readList(ULONG ulListType, CORVWCharStringList& list) {
  const WCHAR* name = listValueName(ulListType);
  if (name == nullptr) return false;
  switch (lookUp(name, REG_MULTI_SZ, nullptr)) {
    case Stored::Nothing: return list.clear();
    case Stored::Expected: {
      CORVRegistryMultiString value(HKEY_LOCAL_MACHINE, CORVWCharString(kPolicyKey), CORVWCharString(name), KEY_READ,
                                    false, 0);
      return value.getValue(list, false);
    }
    default: return false;
  }
}

bool CPwmRegistryPolicy::writeList(ULONG ulListType, CORVWCharStringList& list) {
  const WCHAR* name = listValueName(ulListType);
  if (name == nullptr) return false;
  CORVRegistryMultiString value(HKEY_LOCAL_MACHINE, CORVWCharString(kPolicyKey), CORVWCharString(name),
                                KEY_READ | KEY_WRITE, true, 0);
  return value.setValue(list, false);
}

bool CPwmRegistryPolicy::addEntryToRestrictedList(ULONG ulListType, const CORVWCharString* pszEntry) {
  CORVWCharStringList list;
  if (!isUsableEntry(pszEntry) || !readList(ulListType, list)) return false;
  if (contains(list, *pszEntry)) return true;
  return list.addTail(*pszEntry, static_cast<INT>(list.getCount())) && writeList(ulListType, list);
}

// True when the entry is not in the list afterwards.
bool CPwmRegistryPolicy::removeEntryFromRestrictedList(ULONG ulListType, const CORVWCharString* pszEntry) {
  CORVWCharStringList list;
  if (!isUsableEntry(pszEntry) || !readList(ulListType, list)) return false;
  if (!contains(list, *pszEntry)) return true;
  CORVWCharStringList kept;
  for (bool more = list.moveFirst(); more; more = list.moveNext())
    if (!sameEntry(*list.getCurrentData(), *pszEntry) &&
        !kept.addTail(*list.getCurrentData(), static_cast<INT>(kept.getCount())))
      return false;
  return writeList(ulListType, kept);
}

bool CPwmRegistryPolicy::isEntryRestricted(ULONG ulListType, const CORVWCharString* pszEntry) {
  CORVWCharStringList list;
  return isUsableEntry(pszEntry) && readList(ulListType, list) && contains(list, *pszEntry);
}

bool CPwmRegistryPolicy::getRestrictedList(ULONG ulListType, CORVWCharStringList* pList) {
  CORVWCharStringList list;
  if (pList == nullptr || !readList(ulListType, list)) return false;
  *pList = std::move(list);
  return true;
}

bool CPwmRegistryPolicy::getAutoSubmitTimeInterval(double* pdSeconds) {
  ULONG seconds = 0;
  if (pdSeconds == nullptr || !readNumber(kAutoSubmitTimeInterval, kDefaultAutoSubmitSeconds, &seconds)) return false;
  *pdSeconds = seconds;
  return true;
}

bool CPwmRegistryPolicy::setAutoSubmitTimeInterval(ULONG ulSeconds) {
  return writeNumber(kAutoSubmitTimeInterval, ulSeconds);
}

bool CPwmRegistryPolicy::isPwmEnabled() { return isOn(kPwmEnabled); }
bool CPwmRegistryPolicy::setPwmEnablementPolicyState(BOOL bState) { return setSwitch(kPwmEnabled, bState); }
bool CPwmRegistryPolicy::isIEPluginEnabled() { return isOn(kIEPluginEnabled); }
bool CPwmRegistryPolicy::setIEPluginPolicyState(BOOL bState) { return setSwitch(kIEPluginEnabled, bState); }
bool CPwmRegistryPolicy::isFirefoxPluginEnabled() { return isOn(kFirefoxPluginEnabled); }
bool CPwmRegistryPolicy::setFirefoxPluginPolicyState(BOOL bState) { return setSwitch(kFirefoxPluginEnabled, bState); }
bool CPwmRegistryPolicy::isWindowsHookEnabled() { return isOn(kWindowsHookEnabled); }
bool CPwmRegistryPolicy::setWindowsHookPolicyState(BOOL bState) { return setSwitch(kWindowsHookEnabled, bState); }
bool CPwmRegistryPolicy::isAutofillEnabled() { return isOn(kAutofillEnabled); }
bool CPwmRegistryPolicy::setAutofillPolicyState(BOOL bState) { return setSwitch(kAutofillEnabled, bState); }
bool CPwmRegistryPolicy::isRecordLinkingEnabled() { return isOn(kRecordLinkingEnabled); }
bool CPwmRegistryPolicy::setRecordLinkingPolicyState(BOOL bState) { return setSwitch(kRecordLinkingEnabled, bState); }
bool CPwmRegistryPolicy::isDomainFilteringEnabled() { return isOn(kDomainFilteringEnabled); }
bool CPwmRegistryPolicy::setDomainFilteringPolicyState(BOOL bState) {
  return setSwitch(kDomainFilteringEnabled, bState);
}
bool CPwmRegistryPolicy::isFirefoxExtensionPromptEnabled() { return isOn(kFirefoxExtensionPromptEnabled); }
bool CPwmRegistryPolicy::setFFExtenstionPromptPolicyState(BOOL bState) {
  return setSwitch(kFirefoxExtensionPromptEnabled, bState);
}
bool CPwmRegistryPolicy::isChromeExtensionPromptEnabled() { return isOn(kChromeExtensionPromptEnabled); }
bool CPwmRegistryPolicy::setChromeExtenstionPromptState(BOOL bState) {
  return setSwitch(kChromeExtensionPromptEnabled, bState);
}
bool CPwmRegistryPolicy::areHotkeysEnabled() { return isOn(kHotkeysEnabled); }
bool CPwmRegistryPolicy::setHotkeysPolicyState(BOOL bState) { return setSwitch(kHotkeysEnabled, bState); }

bool CPwmRegistryPolicy::getHotkey(ULONG ulHotkey, ULONG* pulKey) {
  const CORVWCharString name = hotkeyValueName(ulHotkey);
  return readNumber(name.getBuffer(), 0, pulKey);
}

bool CPwmRegistryPolicy::setHotkey(ULONG ulHotkey, ULONG ulKey) {
  const CORVWCharString name = hotkeyValueName(ulHotkey);
  return writeNumber(name.getBuffer(), ulKey);
}

bool CPwmRegistryPolicy::isChromePluginEnabled() { return isOn(kChromePluginEnabled); }
bool CPwmRegistryPolicy::setChromePluginPolicyState(BOOL bState) { return setSwitch(kChromePluginEnabled, bState); }
bool CPwmRegistryPolicy::getShortcutNum(ULONG* pulNumber) { return readNumber(ORV_W("ShortcutNum"), 0, pulNumber); }
bool CPwmRegistryPolicy::setShortcutNum(ULONG ulNumber) { return writeNumber(ORV_W("ShortcutNum"), ulNumber); }
bool CPwmRegistryPolicy::isAuthFrequencyAlways() { return isOn(kAuthFrequencyAlways); }
bool CPwmRegistryPolicy::setAuthFrequencyAlwaysState(BOOL bState) { return setSwitch(kAuthFrequencyAlways, bState); }
bool CPwmRegistryPolicy::isPasswordOverrideEnabled() { return isOn(kPasswordOverrideEnabled); }
bool CPwmRegistryPolicy::setPasswordOverrideState(BOOL bState) { return setSwitch(kPasswordOverrideEnabled, bState); }
bool CPwmRegistryPolicy::isLearnMoreDialogEnabled() { return isOn(kLearnMoreDialogEnabled); }
bool CPwmRegistryPolicy::setLearnMoreDialogState(BOOL bState) { return setSwitch(kLearnMoreDialogEnabled, bState); }
bool CPwmRegistryPolicy::getGUIOptions(ULONG* pulOptions) { return readNumber(ORV_W("GUIOptions"), 0, pulOptions); }
bool CPwmRegistryPolicy::getSettingsGUIOption(ULONG* pulOption) {
  return readNumber(ORV_W("SettingsGUIOption"), 0, pulOption);
}
bool CPwmRegistryPolicy::isChromeExtensionNotificationEnabled() { return isOn(kChromeExtensionNotificationEnabled); }
bool CPwmRegistryPolicy::setChromeExtensionTipState(BOOL bState) {
  return setSwitch(kChromeExtensionNotificationEnabled, bState);
}
