#include "orv_platform/console_streams.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace orv_platform {

void useRawConsoleStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace orv_platform
