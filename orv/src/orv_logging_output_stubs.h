// The outputs that exist only as mask bits: each writes nothing and reports
// failure, so a record routed only to them counts as not written.
#pragma once

#include "orv_log_record.h"

// Bits 2 and 8.
class CORVLoggingOutputXML {
 public:
  virtual bool write(CORVLogRecord& record);
};

// Bit 4.
class CORVLoggingOutputServer {
 public:
  virtual bool write(CORVLogRecord& record);
};

// Bit 32.
class CORVLoggingOutputUnknown {
 public:
  virtual bool write(CORVLogRecord& record);
};
