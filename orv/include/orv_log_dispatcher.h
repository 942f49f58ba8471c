// Hands a record that passed the filter to the outputs of a mask.
#pragma once

#include "orv_log_record.h"

class ORV_API CORVLogDispatcher {
 public:
  // Outputs in the order 1, 2, 8, 4, 32; the result is the last one's, false
  // when the mask names none of them (bit 16 has no output).
  bool dispatch(USHORT outputMask, CORVLogRecord& record) const;
};
