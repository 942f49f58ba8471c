// Why a record was not found or not stored, as an exception record of the
// library's log: the host's own log, so an administrator sees the store's
// failures where every other failure is.
#pragma once

#include <string>

#include "orv_win32.h"

// `method` names the export or store operation, `message` is UTF-8, `code`
// the failing call's error (-1 when there is none).
void logRecordStoreFailure(const WCHAR* method, const std::string& message, DWORD code, ULONG line) noexcept;
