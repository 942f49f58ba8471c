// Console entry of the native messaging host: builds the handler, runs the
// reader thread until the browser closes standard input, and exits with 0.
#include <cstdio>

#include "ChromeNativeMessageHandle.h"
#include "MessageReader.h"
#include "orv_platform/console_streams.h"
#include "orv_win32.h"

namespace {

int runHost() {
  // Frames are raw bytes, and a browser that has closed our output must not
  // end the process before the handler and the module are released.
  orv_platform::useRawConsoleStreams();
  CChromeNativeMessageHandle* handler = new CChromeNativeMessageHandle();
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, MessageReaderThread, handler, 0, nullptr));
  if (thread != nullptr) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  } else {
    MessageReaderThread(handler);  // no thread to be had: serve from here
  }
  delete handler;
  return 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int, wchar_t**) { return runHost(); }
#else
int main() { return runHost(); }
#endif
