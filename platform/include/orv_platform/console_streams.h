// Standard input and output as the byte streams of a framing protocol.
#pragma once

#include "orv_api.h"

namespace orv_platform {

// Call once at start, before either stream is used. The streams carry raw
// bytes (Windows: no CR LF translation, no end of file at 0x1A), and a write
// to an output whose reader has gone fails instead of ending the process
// (POSIX: SIGPIPE is ignored), so that the process still shuts down in order.
ORV_API void useRawConsoleStreams();

}  // namespace orv_platform
