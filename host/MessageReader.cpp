#include "MessageReader.h"

#include <climits>
#include <cstdint>

#include "ChromeNativeMessageHandle.h"
#include "orv_logging.h"
#include "orv_trace_scope.h"
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

void logDroppedFrame(size_t bytes) {
  CORVDetailedLog record(ORV_LOG_WARNING, ORV_W("A message over the limit of 1 MiB was read past and dropped unparsed"),
                         static_cast<ULONG>(bytes > ULONG_MAX ? ULONG_MAX : bytes), ORV_RESULT_RETURN_CODE,
                         ORV_W("CChromeNativeMessageHandle"), ORV_W("MessageReaderThread"), ORV_SOURCE_FILE, __LINE__,
                         true, false, ORV_OUTPUT_TEXT);
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
  if (size > kMaxMessageBytes) {
    if (!readBody(input, size, nullptr)) return FrameResult::End;
    logDroppedFrame(size);
    return FrameResult::Skipped;
  }
  // A body cut short by the end of input is not handed over.
  return readBody(input, size, &body) ? FrameResult::Message : FrameResult::End;
}

void runMessageLoop(std::FILE* input, CChromeNativeMessageHandle& handler) {
  std::string body;
  for (;;) {
    switch (readFrame(input, body)) {
      case FrameResult::End: return;
      case FrameResult::Message: handler.HandleMessage(body); break;
      case FrameResult::Skipped: break;
    }
  }
}

unsigned __stdcall MessageReaderThread(void* handler) {
  runMessageLoop(stdin, *static_cast<CChromeNativeMessageHandle*>(handler));
  return 0;
}
