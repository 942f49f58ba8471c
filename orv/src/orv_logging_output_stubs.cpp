#include "orv_logging_output_stubs.h"

bool CORVLoggingOutputXML::write(CORVLogRecord&) { return false; }
bool CORVLoggingOutputServer::write(CORVLogRecord&) { return false; }
bool CORVLoggingOutputUnknown::write(CORVLogRecord&) { return false; }
