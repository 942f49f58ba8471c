// The text log: one UTF-16 line per record, appended to the file that
// "TextOutput" names, rotated by size.
#pragma once

#include "orv_log_record.h"

class ORV_API CORVLoggingOutputText {
 public:
  // True when the line was written; false without a log file or when it
  // does not open. Never throws.
  virtual bool write(CORVLogRecord& record);
  // A shorter line (time, level, object, message, result); no counting and
  // no rotation.
  virtual bool writeCompact(CORVLogRecord& record);
};
