// The record of one traced call: ENTRY while the call runs, EXIT when it ends.
#pragma once

#include "orv_logging.h"

class _CORVLogEntry : public CORVDetailedLog {
 public:
  // Level ENTRY, result kind pass/fail with result 0 (failed until the call
  // records its result), no message, object name or log file.
  _CORVLogEntry(const WCHAR* className, const WCHAR* methodName, const WCHAR* sourceFile, ULONG line, USHORT outputs,
                bool logNow, bool logOnDestroy) noexcept;
  _CORVLogEntry(const _CORVLogEntry& other) noexcept = default;
  // Turns the record into EXIT; the base destructor then writes it.
  ~_CORVLogEntry() override;
};
