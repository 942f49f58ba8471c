// Console entry of the native messaging host: builds the handler, runs the
// reader thread until the browser closes standard input, and exits with 0.
#include <cstdio>

#include "ChromeNativeMessageHandle.h"
#include "MessageReader.h"
#include "orv_win32.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

int runHost() {
  CChromeNativeMessageHandle* handler = new CChromeNativeMessageHandle();
  HANDLE thread =
      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, MessageReaderThread, handler, 0, nullptr));
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
int wmain(int, wchar_t**) {
  // Frames are bytes: no CR LF translation, no end-of-file at 0x1A.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  return runHost();
}
#else
int main() { return runHost(); }
#endif
