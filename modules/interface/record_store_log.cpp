#include "record_store_log.h"

#include "orv_logging.h"
#include "orv_platform/text_encoding.h"
#include "orv_trace_scope.h"

void logRecordStoreFailure(const WCHAR* method, const std::string& message, DWORD code, ULONG line) noexcept {
  try {
    const orv_platform::WideText text = orv_platform::utf16Of(message, orv_platform::InvalidText::kReplace);
    CORVDetailedLog record(ORV_LOG_EXCEPTION_BAD, text.c_str(), code, ORV_RESULT_ERROR_CODE, ORV_W("RecordStore"),
                           method, ORV_SOURCE_FILE, line, true, false, ORV_OUTPUT_TEXT);
  } catch (...) {
    // A failure that cannot be logged is still a false result to the caller.
  }
}
