// The output of bit 4: it writes nothing and reports failure.
#pragma once

#include "orv_log_record.h"

class CORVLoggingOutputServer {
 public:
  virtual bool write(CORVLogRecord& record);
};
