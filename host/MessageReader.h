// Frames from the extension: a 4-byte length in native byte order, then
// that many bytes of UTF-8 JSON.
#pragma once

#include <cstdio>
#include <string>

#include "orv_win32.h"

class CChromeNativeMessageHandle;

enum class FrameResult {
  Message,  // a complete body is in the string
  Skipped,  // a body over kMaxMessageBytes, consumed and dropped
  End,      // end of input, a zero length, or input ending inside a frame
};

// Longer bodies are read past and dropped unparsed, with one log record:
// memory stays bounded by this, not by the announced length. No reply can
// exceed 1 MiB (the browser's limit), so no record worth storing needs a
// longer request.
constexpr size_t kMaxMessageBytes = 1024u * 1024u;

FrameResult readFrame(std::FILE* input, std::string& body);

// Handles every frame on `input` in arrival order until it ends.
void runMessageLoop(std::FILE* input, CChromeNativeMessageHandle& handler);

// Thread procedure: the loop over standard input. Returns 0.
unsigned __stdcall MessageReaderThread(void* handler);
