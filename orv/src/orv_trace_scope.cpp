#include "orv_trace_scope.h"

#include <new>

#include "orv_log_caller_errors.h"
#include "orv_log_entry.h"

void CORVTraceScope::open(const WCHAR* className, const WCHAR* methodName, const WCHAR* sourceFile, ULONG line,
                          USHORT outputMask, bool logEntryNow, bool logExitOnDestroy) noexcept {
  CORVCallerErrorState keepCallerErrors;
  try {
    if (g_ulDynamicLogging.load(std::memory_order_relaxed) == ORV_DYNAMIC_LOGGING_UNREAD) loadLogConfiguration();
    if (g_ulDynamicLogging.load(std::memory_order_relaxed) != ORV_DYNAMIC_LOGGING_ON) return;
    if (!CORVLogSettings().isLoggingOn()) return;
    m_pEntry = new (std::nothrow)
        _CORVLogEntry(className, methodName, sourceFile, line, outputMask, logEntryNow, logExitOnDestroy);
  } catch (...) {
    m_pEntry = nullptr;  // tracing of this call is off; nothing reaches the traced method
  }
}

void CORVTraceScope::close() noexcept {
  _CORVLogEntry* entry = m_pEntry;
  m_pEntry = nullptr;
  delete entry;  // writes EXIT, keeping the caller's errors
}

void CORVTraceScope::record(ULONG resultKind, bool value) noexcept {
  CORVLogRecord& record = m_pEntry->getRecord();
  record.setResultKind(resultKind);
  record.setResult((record.getResult() & ~0xFFu) | (value ? 1u : 0u));
}
