#include "record_store_log.h"

#include <vector>

#include "orv_logging.h"
#include "orv_trace_scope.h"

void logRecordStoreFailure(const WCHAR* method, const std::string& message, DWORD code, ULONG line) noexcept {
  try {
    const int length = static_cast<int>(message.size());
    const int units = MultiByteToWideChar(CP_UTF8, 0, message.data(), length, nullptr, 0);
    std::vector<WCHAR> text(static_cast<size_t>(units > 0 ? units : 0) + 1, WCHAR(0));
    if (units > 0) MultiByteToWideChar(CP_UTF8, 0, message.data(), length, text.data(), units);
    CORVDetailedLog record(ORV_LOG_EXCEPTION_BAD, text.data(), code, ORV_RESULT_ERROR_CODE, ORV_W("RecordStore"),
                           method, ORV_SOURCE_FILE, line, true, false, ORV_OUTPUT_TEXT);
  } catch (...) {
    // A failure that cannot be logged is still a false result to the caller.
  }
}
