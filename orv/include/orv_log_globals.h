// The logging framework's process-wide values: the tracing switch and the
// rotation limits, read once per process, and the text log's counters.
#pragma once

#include <atomic>

#include "orv_win32.h"

enum : ULONG {
  ORV_DYNAMIC_LOGGING_UNREAD = 0,
  ORV_DYNAMIC_LOGGING_ON = 1,
  ORV_DYNAMIC_LOGGING_OFF = 2,
};

// Atomics with relaxed access cost what plain variables cost and keep the
// lazy first read and the counters free of data races.
extern ORV_API std::atomic<ULONG> g_ulDynamicLogging;  // starts at 0 (not read yet)
extern ORV_API std::atomic<ULONG> g_ulMaxLogFileNum;   // starts at 1
extern ORV_API std::atomic<ULONG> g_ulMaxLogFileSize;  // kilobytes, starts at 10240
extern ORV_API std::atomic<ULONG> g_ulLogBytesWritten;
extern ORV_API std::atomic<ULONG> g_ulLogRotations;

// Reads "DynamicLogging", "MaxLogFileNum" and "MaxLogFileSize" once: tracing
// is on only for "DynamicLogging" = 1. False when "DynamicLogging" cannot be
// read (tracing stays off and the limits keep their start values).
ORV_API bool loadLogConfiguration();
