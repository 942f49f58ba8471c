#include "orv_logging_output_xml.h"

bool CORVLoggingOutputXML::write(CORVLogRecord&) { return false; }
