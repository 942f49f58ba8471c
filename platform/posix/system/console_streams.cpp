#include "orv_platform/console_streams.h"

#include <signal.h>

namespace orv_platform {

// Windows writes to a closed pipe fail with an error; here they would raise
// SIGPIPE, whose default action ends the process without its destructors.
void useRawConsoleStreams() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace orv_platform
