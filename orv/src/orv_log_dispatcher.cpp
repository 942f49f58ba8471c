#include "orv_log_dispatcher.h"

#include "orv_logging_output_stubs.h"
#include "orv_logging_output_text.h"

namespace {

template <typename Output>
bool writeTo(CORVLogRecord& record) {
  Output output;
  return output.write(record);
}

}  // namespace

bool CORVLogDispatcher::dispatch(USHORT outputMask, CORVLogRecord& record) const {
  bool result = false;
  if (outputMask & ORV_OUTPUT_TEXT) result = writeTo<CORVLoggingOutputText>(record);
  if (outputMask & ORV_OUTPUT_XML) result = writeTo<CORVLoggingOutputXML>(record);
  if (outputMask & ORV_OUTPUT_HTML) result = writeTo<CORVLoggingOutputXML>(record);  // served by the XML output
  if (outputMask & ORV_OUTPUT_SERVER) result = writeTo<CORVLoggingOutputServer>(record);
  if (outputMask & ORV_OUTPUT_UNKNOWN) result = writeTo<CORVLoggingOutputUnknown>(record);
  return result;
}
