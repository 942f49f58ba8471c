#include "orv_logging_output_server.h"

bool CORVLoggingOutputServer::write(CORVLogRecord&) { return false; }
