#include "orv_catch.h"

void orvLogCaught(CORVLogging& caught) noexcept {
  if (!caught.isLogged()) caught.log();
}

void orvLogUnhandled(DWORD errorCode, const WCHAR* sourceFile, ULONG line) noexcept {
  CORVUnhandledExceptionException unhandled(errorCode, sourceFile, line);
}
