// Method tracing: a traced method opens one scope at its top,
//
//   ORV_TRACE("CChromeNativeMessageHandle", "Reset");
//   ...
//   ORV_TRACE_RESULT(true);
//
// which writes ENTRY now and EXIT, with the recorded result, when the scope
// ends. ORV_TRACE_AT fixes the line number that the record carries.
#pragma once

#include "orv_win32.h"

// The source file's own name, as the compiler knows it, in UTF-16.
#define ORV_SOURCE_FILE ORV_W(__FILE_NAME__)

class CORVTraceScope {
 public:
  CORVTraceScope(const WCHAR* className, const WCHAR* methodName, const WCHAR* sourceFile, ULONG line,
                 USHORT outputMask, bool logEntryNow, bool logExitOnDestroy);
  ~CORVTraceScope();
  CORVTraceScope(const CORVTraceScope&) = delete;
  CORVTraceScope& operator=(const CORVTraceScope&) = delete;

  // Result kind 1 (pass/fail).
  void setResult(bool passed);
  // Result kind 2 (logical result).
  void setLogicalResult(bool value);

 private:
  class _CORVLogEntry* m_pEntry = nullptr;
};

#define ORV_TRACE_AT(className, methodName, line) \
  CORVTraceScope orvTraceScope_(ORV_W(className), ORV_W(methodName), ORV_SOURCE_FILE, (line), 1, true, true)
#define ORV_TRACE(className, methodName) ORV_TRACE_AT(className, methodName, __LINE__)
#define ORV_TRACE_RESULT(passed) orvTraceScope_.setResult(passed)
#define ORV_TRACE_LOGICAL_RESULT(value) orvTraceScope_.setLogicalResult(value)
