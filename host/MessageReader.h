// Frames from the extension: a 4-byte length in native byte order, then
// that many bytes of UTF-8 JSON.
#pragma once

#include <cstdio>
#include <string>

#include "orv_win32.h"

class CChromeNativeMessageHandle;

enum class FrameResult {
  Message,   // a complete body is in the string
  Skipped,   // a frame that is not handed over (its bytes are consumed)
  End,       // end of input, a zero length, or input ending inside a frame
};

// Bodies the browser can never send (its limit is 64 MiB) are read past and
// dropped, so that memory stays bounded by this, not by the announced length.
constexpr size_t kMaxMessageBytes = 64u * 1024u * 1024u;

FrameResult readFrame(std::FILE* input, std::string& body);

// Handles every frame on `input` in arrival order until it ends.
void runMessageLoop(std::FILE* input, CChromeNativeMessageHandle& handler);

// Thread procedure: the loop over standard input. Returns 0.
unsigned __stdcall MessageReaderThread(void* handler);
