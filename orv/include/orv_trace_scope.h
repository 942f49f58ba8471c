// Method tracing: a traced method opens one scope at its top,
//
//   ORV_TRACE("CChromeNativeMessageHandle", "Reset");
//   ...
//   ORV_TRACE_RESULT(true);
//
// which writes ENTRY now and EXIT, with the recorded result, when the scope
// ends. ORV_TRACE_AT fixes the line number that the record carries. With
// tracing off ("DynamicLogging" not 1) a scope costs one comparison: no
// allocation and no registry read.
#pragma once

#include "orv_log_globals.h"
#include "orv_win32.h"

// The source file's own name, as the compiler knows it, in UTF-16.
#define ORV_SOURCE_FILE ORV_W(__FILE_NAME__)

class _CORVLogEntry;

class ORV_API CORVTraceScope {
 public:
  CORVTraceScope(const WCHAR* className, const WCHAR* methodName, const WCHAR* sourceFile, ULONG line,
                 USHORT outputMask, bool logEntryNow, bool logExitOnDestroy) noexcept {
    if (g_ulDynamicLogging.load(std::memory_order_relaxed) != ORV_DYNAMIC_LOGGING_OFF)
      open(className, methodName, sourceFile, line, outputMask, logEntryNow, logExitOnDestroy);
  }
  ~CORVTraceScope() {
    if (m_pEntry != nullptr) close();
  }
  CORVTraceScope(const CORVTraceScope&) = delete;
  CORVTraceScope& operator=(const CORVTraceScope&) = delete;

  // Result kind 1 (pass/fail).
  void setResult(bool passed) noexcept {
    if (m_pEntry != nullptr) record(1, passed);
  }
  // Result kind 2 (logical result).
  void setLogicalResult(bool value) noexcept {
    if (m_pEntry != nullptr) record(2, value);
  }
  // True while the call is traced with a record (tests and benchmarks).
  bool isTracing() const { return m_pEntry != nullptr; }

 private:
  // Reads the configuration on the first traced call of the process, then
  // builds the entry and writes ENTRY when "Logging" is on.
  void open(const WCHAR* className, const WCHAR* methodName, const WCHAR* sourceFile, ULONG line, USHORT outputMask,
            bool logEntryNow, bool logExitOnDestroy) noexcept;
  void close() noexcept;
  void record(ULONG resultKind, bool value) noexcept;

  _CORVLogEntry* m_pEntry = nullptr;
};

#define ORV_TRACE_AT(className, methodName, line) \
  CORVTraceScope orvTraceScope_(ORV_W(className), ORV_W(methodName), ORV_SOURCE_FILE, (line), 1, true, true)
#define ORV_TRACE(className, methodName) ORV_TRACE_AT(className, methodName, __LINE__)
#define ORV_TRACE_RESULT(passed) orvTraceScope_.setResult(passed)
#define ORV_TRACE_LOGICAL_RESULT(value) orvTraceScope_.setLogicalResult(value)
