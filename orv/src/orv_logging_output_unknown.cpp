#include "orv_logging_output_unknown.h"

bool CORVLoggingOutputUnknown::write(CORVLogRecord&) { return false; }
