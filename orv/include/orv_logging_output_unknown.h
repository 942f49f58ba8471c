// The output of bit 32: it writes nothing and reports failure.
#pragma once

#include "orv_log_record.h"

class CORVLoggingOutputUnknown {
 public:
  virtual bool write(CORVLogRecord& record);
};
