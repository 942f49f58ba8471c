#include "orv_log_globals.h"

#include "orv_log_settings.h"
#include "orv_registry_dword.h"

std::atomic<ULONG> g_ulDynamicLogging{ORV_DYNAMIC_LOGGING_UNREAD};
std::atomic<ULONG> g_ulMaxLogFileNum{1};
std::atomic<ULONG> g_ulMaxLogFileSize{10240};
std::atomic<ULONG> g_ulLogBytesWritten{0};
std::atomic<ULONG> g_ulLogRotations{0};

namespace {

bool readLogsDword(const WCHAR* valueName, DWORD& value) {
  CORVRegistryDword setting(HKEY_LOCAL_MACHINE, CORVLogSettings::kLogsKey, valueName, KEY_READ, false, 0);
  return setting.getValue(value, false);
}

}  // namespace

bool loadLogConfiguration() {
  g_ulDynamicLogging = ORV_DYNAMIC_LOGGING_OFF;
  DWORD value = 0;
  if (!readLogsDword(ORV_W("DynamicLogging"), value)) return false;
  if (value == 1) {
    // The traced reads below write to the log already: the limits are read
    // untraced first, so that those records are held to them too.
    DWORD limit = 0;
    if (readLogsDword(ORV_W("MaxLogFileNum"), limit)) g_ulMaxLogFileNum = limit;
    if (readLogsDword(ORV_W("MaxLogFileSize"), limit)) g_ulMaxLogFileSize = limit;
    g_ulDynamicLogging = ORV_DYNAMIC_LOGGING_ON;
  }
  if (readLogsDword(ORV_W("MaxLogFileNum"), value)) g_ulMaxLogFileNum = value;
  if (readLogsDword(ORV_W("MaxLogFileSize"), value)) g_ulMaxLogFileSize = value;
  return true;
}
