// The host's one handler: parses each message from the extension, dispatches
// on its "COMMAND" and answers in the browser's framing.
#pragma once

#include <cstdint>
#include <string>

#include "orv_win32.h"

namespace Json {
class Value;
}

class CChromeNativeMessageHandle {
 public:
  CChromeNativeMessageHandle();
  ~CChromeNativeMessageHandle();
  CChromeNativeMessageHandle(const CChromeNativeMessageHandle&) = delete;
  CChromeNativeMessageHandle& operator=(const CChromeNativeMessageHandle&) = delete;

  // One frame's body, as read. Returns the chosen operation's result.
  bool HandleMessage(const std::string& message);

  // Writes one reply frame: the text between its outermost braces. Always false.
  bool SendMessageToChromeExtension(const std::string& json);

  bool Reset();
  bool loadBrowserRecord(const Json::Value& root);
  bool CreateBrowserRecord(const Json::Value& root);

  // Reads a member the way every command reads text: a string as it is,
  // missing or null as empty, a boolean as "true"/"false"; false otherwise.
  static bool readString(const Json::Value& value, std::string& out);

 private:
  int64_t m_tLastLoad = 0;      // seconds since 1970; 0 lets the first auto-submit through
  HMODULE m_hInterface = nullptr;
};
