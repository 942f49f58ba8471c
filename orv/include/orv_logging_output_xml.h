// The output of bits 2 and 8: it writes nothing and reports failure.
#pragma once

#include "orv_log_record.h"

class CORVLoggingOutputXML {
 public:
  virtual bool write(CORVLogRecord& record);
};
