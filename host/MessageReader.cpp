#include "MessageReader.h"

#include <cstdint>

#include "ChromeNativeMessageHandle.h"
#include "orv_win32.h"

namespace {

constexpr size_t kReadChunk = 64 * 1024;

// Appends (or, with no target, discards) exactly `count` bytes; false when
// the input ends first. The string grows with what arrives, never with what
// the length field announces.
bool readBody(std::FILE* input, size_t count, std::string* body) {
  char chunk[kReadChunk];
  while (count > 0) {
    const size_t wanted = count < kReadChunk ? count : kReadChunk;
    const size_t got = std::fread(chunk, 1, wanted, input);
    if (body != nullptr) body->append(chunk, got);
    if (got != wanted) return false;
    count -= got;
  }
  return true;
}

}  // namespace

FrameResult readFrame(std::FILE* input, std::string& body) {
  body.clear();
  int32_t length = 0;
  // A length cut short by the end of input ends the loop like a zero one.
  if (std::fread(&length, sizeof(length), 1, input) != 1 || length == 0) return FrameResult::End;
  // Compared as signed: a length with its top bit set carries no body.
  if (length < 0) return FrameResult::Message;
  const size_t size = static_cast<size_t>(length);
  if (size > kMaxMessageBytes) return readBody(input, size, nullptr) ? FrameResult::Skipped : FrameResult::End;
  // A body cut short by the end of input is not handed over.
  return readBody(input, size, &body) ? FrameResult::Message : FrameResult::End;
}

void runMessageLoop(std::FILE* input, CChromeNativeMessageHandle& handler) {
  std::string body;
  for (;;) {
    switch (readFrame(input, body)) {
      case FrameResult::End:
        return;
      case FrameResult::Message:
        handler.HandleMessage(body);
        break;
      case FrameResult::Skipped:
        break;
    }
  }
}

unsigned __stdcall MessageReaderThread(void* handler) {
  runMessageLoop(stdin, *static_cast<CChromeNativeMessageHandle*>(handler));
  return 0;
}
