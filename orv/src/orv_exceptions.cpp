#include "orv_exceptions.h"

CORVLogException1::CORVLogException1(DWORD errorCode, const WCHAR* sourceFile, ULONG line) noexcept
    : CORVLogException1(InPlace(), ORV_W("GetPrivateProfileInt( ) failed."), errorCode, sourceFile, line) {}

CORVLogException1::CORVLogException1(InPlace, const WCHAR* message, DWORD errorCode, const WCHAR* sourceFile,
                                     ULONG line) noexcept
    : CORVDetailedLog(ORV_LOG_EXCEPTION_BAD, message, errorCode, ORV_RESULT_ERROR_CODE, nullptr, nullptr, sourceFile,
                      line, true, false, ORV_OUTPUT_TEXT) {}

CORVLogException1::CORVLogException1(Short, const WCHAR* message, DWORD errorCode, const WCHAR* sourceFile, ULONG line,
                                     bool logOnDestroy) noexcept
    : CORVDetailedLog(ORV_LOG_EXCEPTION_BAD, message, errorCode, ORV_RESULT_ERROR_CODE, nullptr, nullptr, sourceFile,
                      line, false, logOnDestroy, ORV_OUTPUT_TEXT) {}

CORVLogException1::CORVLogException1(const MessageFormat& message, DWORD errorCode, ULONG resultKind,
                                     const WCHAR* className, const WCHAR* methodName, const WCHAR* sourceFile,
                                     ULONG line, USHORT outputs, bool logNow, bool logOnDestroy) noexcept
    : CORVDetailedLog(ORV_LOG_EXCEPTION_BAD, message, errorCode, resultKind, className, methodName, sourceFile, line,
                      logNow, logOnDestroy, outputs) {}

CORVLogWarning::CORVLogWarning(const MessageFormat& message, DWORD errorCode, ULONG resultKind, const WCHAR* className,
                               const WCHAR* methodName, const WCHAR* sourceFile, ULONG line, USHORT outputs,
                               bool logNow, bool logOnDestroy) noexcept
    : CORVDetailedLog(ORV_LOG_WARNING, message, errorCode, resultKind, className, methodName, sourceFile, line, logNow,
                      logOnDestroy, outputs) {}

CORVLogDebug::CORVLogDebug(const WCHAR* text, const WCHAR* sourceFile, ULONG line) noexcept
    : CORVDetailedLog(ORV_LOG_DEBUG, text, 0, ORV_RESULT_PASS_FAIL, nullptr, nullptr, sourceFile, line, true, false,
                      ORV_OUTPUT_TEXT) {}

void orvLogDebug(const WCHAR* text, const WCHAR* sourceFile, ULONG line) noexcept {
  CORVLogDebug note(text, sourceFile, line);
}
