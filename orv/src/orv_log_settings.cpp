#include "orv_log_settings.h"

const WCHAR* const CORVLogSettings::kLogsKey = ORV_W("SOFTWARE\\Halvik\\Logs");

namespace {

constexpr USHORT kDefaultLogDetail = 0x1B;  // CRITICAL, EXCEPTION_BAD, ERROR, WARNING

// Opens the Logs key read-only, queries one value and closes the key.
// Anything but a value of the wanted type that fits counts as missing.
bool queryLogsValue(const WCHAR* valueName, DWORD wantedType, BYTE* data, DWORD& size) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, CORVLogSettings::kLogsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD type = REG_NONE;
  const LSTATUS status = RegQueryValueExW(key, valueName, nullptr, &type, data, &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return false;
  return type == wantedType || (wantedType == REG_SZ && type == REG_EXPAND_SZ);
}

}  // namespace

bool CORVLogSettings::readDword(const WCHAR* valueName, DWORD& value) const {
  DWORD read = 0;
  DWORD size = sizeof(read);
  if (!queryLogsValue(valueName, REG_DWORD, reinterpret_cast<BYTE*>(&read), size) || size != sizeof(read)) return false;
  value = read;
  return true;
}

bool CORVLogSettings::readString(const WCHAR* valueName, WCHAR* text, DWORD chars) const {
  if (text == nullptr || chars == 0) return false;
  DWORD size = chars * sizeof(WCHAR);
  if (queryLogsValue(valueName, REG_SZ, reinterpret_cast<BYTE*>(text), size)) {
    // Stored strings may lack their terminator; one that fills the buffer
    // without it is too long.
    const DWORD units = size / sizeof(WCHAR);
    if (units == 0 || text[units - 1] == 0) {
      if (units == 0) text[0] = 0;
      return true;
    }
    if (units < chars) {
      text[units] = 0;
      return true;
    }
  }
  text[0] = 0;
  return false;
}

bool CORVLogSettings::isLoggingOn() const {
  DWORD logging = 0;
  return readDword(ORV_W("Logging"), logging) && logging != 0;
}

USHORT CORVLogSettings::getLogDetail() const {
  DWORD detail = 0;
  return readDword(ORV_W("LogDetail"), detail) ? static_cast<USHORT>(detail) : kDefaultLogDetail;
}

bool CORVLogSettings::getAllowObjects(WCHAR* text, DWORD chars) const {
  return readString(ORV_W("AllowObjects"), text, chars);
}

bool CORVLogSettings::getExcludeObjects(WCHAR* text, DWORD chars) const {
  return readString(ORV_W("ExcludeObjects"), text, chars);
}

bool CORVLogSettings::getObjectSetting(const WCHAR* objectName, WCHAR* text, DWORD chars) const {
  return objectName != nullptr && objectName[0] != 0 && readString(objectName, text, chars);
}

bool CORVLogSettings::getOutputPath(USHORT outputBit, WCHAR* text, DWORD chars) const {
  const WCHAR* valueName = nullptr;
  switch (outputBit) {
    case 1: valueName = ORV_W("TextOutput"); break;
    case 2: valueName = ORV_W("XMLOutput"); break;
    case 4: valueName = ORV_W("ServerOutput"); break;
    case 8: valueName = ORV_W("HTMLOutput"); break;
    case 32: valueName = ORV_W("UnknownOutput"); break;
    case 16:
      if (text != nullptr && chars > 0) text[0] = 0;
      return true;
    default: return false;
  }
  return readString(valueName, text, chars);
}

bool CORVLogSettings::getDynamicLogging(DWORD& value) const { return readDword(ORV_W("DynamicLogging"), value); }

bool CORVLogSettings::getMaxLogFileNum(DWORD& value) const { return readDword(ORV_W("MaxLogFileNum"), value); }

bool CORVLogSettings::getMaxLogFileSize(DWORD& value) const { return readDword(ORV_W("MaxLogFileSize"), value); }
