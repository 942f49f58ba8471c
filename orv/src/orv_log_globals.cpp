#include "orv_log_globals.h"

#include "orv_log_settings.h"

std::atomic<ULONG> g_ulDynamicLogging{ORV_DYNAMIC_LOGGING_UNREAD};
std::atomic<ULONG> g_ulMaxLogFileNum{1};
std::atomic<ULONG> g_ulMaxLogFileSize{10240};
std::atomic<ULONG> g_ulLogBytesWritten{0};
std::atomic<ULONG> g_ulLogRotations{0};

bool loadLogConfiguration() {
  g_ulDynamicLogging = ORV_DYNAMIC_LOGGING_OFF;
  const CORVLogSettings settings;
  DWORD value = 0;
  if (!settings.getDynamicLogging(value)) return false;
  if (value == 1) g_ulDynamicLogging = ORV_DYNAMIC_LOGGING_ON;
  if (settings.getMaxLogFileNum(value)) g_ulMaxLogFileNum = value;
  if (settings.getMaxLogFileSize(value)) g_ulMaxLogFileSize = value;
  return true;
}
