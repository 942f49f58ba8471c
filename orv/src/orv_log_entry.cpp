#include "orv_log_entry.h"

_CORVLogEntry::_CORVLogEntry(const WCHAR* className, const WCHAR* methodName, const WCHAR* sourceFile, ULONG line,
                             USHORT outputs, bool logNow, bool logOnDestroy) noexcept
    : CORVDetailedLog(ORV_LOG_ENTRY, nullptr, 0, ORV_RESULT_PASS_FAIL, className, methodName, sourceFile, line, logNow,
                      logOnDestroy, outputs) {}

_CORVLogEntry::~_CORVLogEntry() { m_record.setType(ORV_LOG_EXIT); }
