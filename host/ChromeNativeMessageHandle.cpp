#include "ChromeNativeMessageHandle.h"

#include <json/json.h>

#include <cstdio>

#include "orv_trace_scope.h"

namespace {

// Json::Reader is the parser the browser's messages have always gone
// through; JsonCpp 1.9 marks it deprecated.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
bool parseMessage(const std::string& message, Json::Value& root) {
  Json::Reader reader;
  return reader.parse(message, root);
}
#pragma GCC diagnostic pop

}  // namespace

CChromeNativeMessageHandle::CChromeNativeMessageHandle() = default;

CChromeNativeMessageHandle::~CChromeNativeMessageHandle() {
  if (m_hInterface != nullptr) {
    FreeLibrary(m_hInterface);
    m_hInterface = nullptr;
  }
}

bool CChromeNativeMessageHandle::readString(const Json::Value& value, std::string& out) {
  switch (value.type()) {
    case Json::nullValue:
      out.clear();
      return true;
    case Json::stringValue:
      out = value.asString();
      return true;
    case Json::booleanValue:
      out = value.asBool() ? "true" : "false";
      return true;
    default:
      return false;
  }
}

bool CChromeNativeMessageHandle::HandleMessage(const std::string& message) {
  try {
    Json::Value root;
    std::string command;
    if (parseMessage(message, root) && (root.isObject() || root.isNull())) {
      // A "COMMAND" that is a number, an array or an object is no command.
      if (!readString(root.get("COMMAND", Json::Value()), command)) command.clear();
    }
    if (command == "RESET") return Reset();
    if (command == "LOAD_BROWSER_RECORD") return loadBrowserRecord(root);
    if (command == "CREATE_BROWSER_RECORD") return CreateBrowserRecord(root);
  } catch (...) {
    // The parser's own limits (nesting depth) and out-of-memory drop the message.
  }
  return false;
}

bool CChromeNativeMessageHandle::SendMessageToChromeExtension(const std::string& json) {
  ORV_TRACE("CChromeNativeMessageHandle", "SendMessageToChromeExtension");
  try {
    const size_t first = json.find('{');
    const size_t last = json.rfind('}');
    if (first == std::string::npos || last == std::string::npos || last < first) return false;
    const uint32_t length = static_cast<uint32_t>(last - first + 1);
    std::fwrite(&length, sizeof(length), 1, stdout);
    std::fwrite(json.data() + first, 1, length, stdout);
    std::fflush(stdout);
  } catch (...) {
  }
  return false;
}

bool CChromeNativeMessageHandle::Reset() {
  ORV_TRACE("CChromeNativeMessageHandle", "Reset");
  ORV_TRACE_RESULT(true);
  return true;
}

bool CChromeNativeMessageHandle::loadBrowserRecord(const Json::Value&) {
  ORV_TRACE("CPwmScriptableNPObject", "loadBrowserRecord");
  if (m_hInterface == nullptr) return false;
  return false;
}

bool CChromeNativeMessageHandle::CreateBrowserRecord(const Json::Value&) {
  ORV_TRACE("CPwmScriptableNPObject", "CreateBrowserRecord");
  if (m_hInterface == nullptr) return false;
  return false;
}
