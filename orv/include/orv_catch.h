// The library's two handler shapes, written once:
//
//   try {
//     ...
//   } ORV_CATCH_RETURN(false)
//
// A library exception is written unless it was written already; anything
// else is written as "An unhandled exception occurred" (class
// CORVUnhandledExceptionException) with an error code: errno unless the
// _CODE variant names another. The record's position is this file and the
// handler's line, or the line an _AT variant fixes.
#pragma once

#include <cerrno>

#include "orv_exceptions.h"

// Writes a caught library exception unless it was written already.
ORV_API void orvLogCaught(CORVLogging& caught) noexcept;
// Writes the record of an exception from outside the library.
ORV_API void orvLogUnhandled(DWORD errorCode, const WCHAR* sourceFile, ULONG line) noexcept;

// Both handlers, each followed by the statement(s) given last: return a
// result, throw the operation's own exception, or nothing (fall through).
#define ORV_CATCH_THEN_FROM(errorCode, sourceFile, line, ...)             \
  catch (CORVLogging & orvCaught_) {                                      \
    orvLogCaught(orvCaught_);                                             \
    __VA_ARGS__;                                                          \
  }                                                                       \
  catch (...) {                                                           \
    orvLogUnhandled(static_cast<DWORD>(errorCode), (sourceFile), (line)); \
    __VA_ARGS__;                                                          \
  }
#define ORV_CATCH_THEN(errorCode, line, ...) ORV_CATCH_THEN_FROM(errorCode, ORV_SOURCE_FILE, line, __VA_ARGS__)

#define ORV_CATCH_RETURN_CODE_AT(result, errorCode, line) ORV_CATCH_THEN(errorCode, line, return (result))
#define ORV_CATCH_RETURN_CODE(result, errorCode) ORV_CATCH_RETURN_CODE_AT(result, errorCode, __LINE__)
#define ORV_CATCH_RETURN_AT(result, line) ORV_CATCH_RETURN_CODE_AT(result, errno, line)
#define ORV_CATCH_RETURN(result) ORV_CATCH_RETURN_AT(result, __LINE__)

// Log and go on (destructors, methods without a result).
#define ORV_CATCH_LOG_CODE_AT(errorCode, line) ORV_CATCH_THEN(errorCode, line, (void)0)
#define ORV_CATCH_LOG() ORV_CATCH_LOG_CODE_AT(errno, __LINE__)

// Log, then throw the operation's own exception built in place, for
// example a constructor's init exception at its own line.
#define ORV_CATCH_THROW_IN_PLACE(ClassName, errorCode, line) \
  ORV_CATCH_THEN(errno, __LINE__, ORV_THROW_IN_PLACE(ClassName, errorCode, line))
