// Arbitrary bytes on the host's standard input: the framing loop, and the
// handler's parse and dispatch of one body.
#include <cstdint>
#include <cstdio>
#include <string>

#include "ChromeNativeMessageHandle.h"
#include "MessageReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static CChromeNativeMessageHandle* handler = new CChromeNativeMessageHandle();
  std::FILE* input = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (input != nullptr) {
    runMessageLoop(input, *handler);
    std::fclose(input);
  }
  handler->HandleMessage(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
