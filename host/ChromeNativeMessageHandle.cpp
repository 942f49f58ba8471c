#include "ChromeNativeMessageHandle.h"

#include <json/json.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ctime>
#include <memory>

#include "orv_allocator.h"
#include "orv_catch.h"
#include "orv_logging.h"
#include "orv_platform/paths.h"
#include "orv_platform/text_encoding.h"
#include "orv_process_info.h"
#include "orv_product_pwmgr.h"
#include "orv_registry_dword.h"
#include "orv_trace_scope.h"
#include "orvpwm_interface.h"

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

// No white space, members in key order, and text as UTF-8 rather than
// \u escapes.
std::string writeCompact(const Json::Value& root) {
  static const std::unique_ptr<Json::StreamWriter> writer = [] {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return std::unique_ptr<Json::StreamWriter>(builder.newStreamWriter());
  }();
  Json::OStringStream out;
  writer->write(root, &out);
  return out.str();
}

// An export of a module as the function type its contract gives it.
template <typename Function>
Function exportOf(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

int64_t secondsSince1970() { return static_cast<int64_t>(std::time(nullptr)); }

// UTF-16 to UTF-8 through the platform's conversion; a zero code unit ends
// the text. An unpaired surrogate becomes U+FFFD.
std::string toUtf8(const CORVWCharString& text) {
  std::string bytes = orv_platform::utf8Of(text.getBuffer(), text.getLength(), orv_platform::InvalidText::kReplace);
  const size_t zero = bytes.find('\0');
  if (zero != std::string::npos) bytes.resize(zero);
  return bytes;
}

// The bytes as they are when they are UTF-8; otherwise each invalid
// sequence replaced by U+FFFD, because the browser drops a reply that is not
// valid UTF-8.
std::string withValidUtf8(const std::string& bytes) {
  using orv_platform::InvalidText;
  orv_platform::WideText wide;
  if (orv_platform::toUtf16(bytes.data(), bytes.size(), wide, InvalidText::kFail)) return bytes;
  return orv_platform::utf8Of(orv_platform::utf16Of(bytes, InvalidText::kReplace), InvalidText::kReplace);
}

// A converted field leaves no copy behind, as the library's buffers do not.
void wipe(orv_platform::WideText& text) {
  if (text.empty()) return;
  std::fill(text.begin(), text.end(), WCHAR(0));
  orvKeepWipe(&text[0]);
}

void logMessageOverBudget(size_t bytes, ULONG line) {
  CORVDetailedLog record(
      ORV_LOG_WARNING, ORV_W("A message with more JSON values or deeper nesting than the host reads was dropped"),
      static_cast<ULONG>(bytes > ULONG_MAX ? ULONG_MAX : bytes), ORV_RESULT_RETURN_CODE,
      ORV_W("CChromeNativeMessageHandle"), ORV_W("HandleMessage"), ORV_SOURCE_FILE, line, true, false, ORV_OUTPUT_TEXT);
}

void logOversizedReply(size_t bytes, ULONG line) {
  CORVDetailedLog record(ORV_LOG_ERROR, ORV_W("The reply exceeds the browser's message limit of 1 MiB and is not sent"),
                         static_cast<ULONG>(bytes > ULONG_MAX ? ULONG_MAX : bytes), ORV_RESULT_RETURN_CODE,
                         ORV_W("CPwmScriptableNPObject"), ORV_W("FormatRecordToJson"), ORV_SOURCE_FILE, line, true,
                         false, ORV_OUTPUT_TEXT);
}

}  // namespace

CChromeNativeMessageHandle::CChromeNativeMessageHandle(bool bSkipPolicySignatureCheck)
    : m_policy(bSkipPolicySignatureCheck), m_strLastRecord(), m_hInterface(nullptr) {
  try {
    CORVWCharString directory;
    CORVProduct_PwMgr product;
    // The stored directory is taken as it is: it ends with its separator.
    // Only a full path is loaded: an empty or relative one would let the
    // loader pick a module from the current folder or its search path.
    if (product.getInstallDirectory(directory)) {
      directory += ORV_W(ORVPWM_INTERFACE_MODULE_NAME);
      if (orv_platform::isRootedPath(directory.getBuffer()))
        m_hInterface = LoadLibraryExW(directory.getBuffer(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
  } catch (...) {
    // Without the module the host still runs; record commands then end at once.
  }
}

CChromeNativeMessageHandle::~CChromeNativeMessageHandle() {
  if (m_hInterface != nullptr) {
    FreeLibrary(m_hInterface);
    m_hInterface = nullptr;
  }
}

bool CChromeNativeMessageHandle::readString(const Json::Value& value, std::string& out) {
  switch (value.type()) {
    case Json::nullValue: out.clear(); return true;
    case Json::stringValue: out = value.asString(); return true;
    case Json::booleanValue: out = value.asBool() ? "true" : "false"; return true;
    default: return false;
  }
}

bool CChromeNativeMessageHandle::HandleMessage(const std::string& message) {
  try {
    // Counted before JsonCpp sees the text, whose memory grows with every value.
    if (!fitsJsonBudget(message, kMessageBudget)) {
      logMessageOverBudget(message.size(), __LINE__);
      return false;
    }
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
    // Out-of-memory, and anything else the parser throws, drops the message.
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

bool CChromeNativeMessageHandle::IsChromeInMetroMode() {
  try {
    CORVRegistryDword launchMode(HKEY_CURRENT_USER, CORVWCharString(ORV_W("Software\\Google\\Chrome\\Metro")),
                                 CORVWCharString(ORV_W("launch_mode")), KEY_READ, false, 0);
    DWORD dwMode = 0;
    if (!launchMode.getValue(dwMode, false)) dwMode = 0;
    return dwMode == 1;
  } catch (...) {
    return false;
  }
}

bool CChromeNativeMessageHandle::IsPasswordManagerReady() {
  try {
    CORVProcessInfo processInfo;
    DWORD dwProcessId = 0;
    if (!processInfo.findProcessIdByName(CORVWCharString(ORV_W("password_manager.exe")), dwProcessId) ||
        dwProcessId == 0)
      return false;
    return m_policy.isPwmEnabled() && m_policy.isChromePluginEnabled();
  } catch (...) {
    return false;
  }
}

INT CChromeNativeMessageHandle::packReturnValue(ULONG ulPwFields, ULONG ulTextFields, BYTE bFlags, BYTE bAutoSubmit) {
  const auto saturated = [](ULONG value, uint32_t most) { return value < most ? static_cast<uint32_t>(value) : most; };
  const uint32_t packed = saturated(ulPwFields, 0xFF) | (saturated(ulTextFields, 0xFF) << 8) |
                          (saturated(bFlags, 0x0F) << 16) | (static_cast<uint32_t>(bAutoSubmit) << 20);
  return static_cast<INT>(packed);
}

BYTE CChromeNativeMessageHandle::guardAutoSubmit(const CORVWCharString& record, BYTE bAutoSubmit, int64_t tNow) {
  const double elapsed = static_cast<double>(tNow - m_tLastLoad);
  const bool changed = record != m_strLastRecord;
  double interval = 0.0;
  if (m_policy.getAutoSubmitTimeInterval(&interval) && (changed || elapsed > interval)) {
    m_strLastRecord = record;
    return bAutoSubmit;
  }
  return 0;
}

bool CChromeNativeMessageHandle::readPage(const Json::Value& root, std::string& url, CORVWCharString& wideUrl,
                                          CORVWCharString& wideTitle) {
  if (IsChromeInMetroMode() || m_hInterface == nullptr || !IsPasswordManagerReady()) return false;
  if (!root.isObject() && !root.isNull()) return false;
  std::string title;
  if (!readString(root["SITE_URL"], url) || !readString(root["SITE_TITLE"], title)) return false;
  // A text that is not UTF-8 reaches the module as the empty string.
  UnicodeToUtf8(url, wideUrl);
  UnicodeToUtf8(title, wideTitle);
  return true;
}

bool CChromeNativeMessageHandle::loadBrowserRecord(const Json::Value& root) {
  ORV_TRACE("CPwmScriptableNPObject", "loadBrowserRecord");
  ORV_TRACE_RESULT(false);
  try {
    std::string url;
    CORVWCharString wideUrl, wideTitle;
    if (!readPage(root, url, wideUrl, wideTitle)) return false;
    const auto loadRecord = exportOf<ORVPWM_LOAD_RECORD_FN>(m_hInterface, ORVPWM_LOAD_RECORD_EXPORT);
    if (loadRecord == nullptr) return false;
    BYTE bFlags = 0, bAutoSubmit = 0;
    CORVWCharString record;
    CORVWCharStringList pwFields, pwValues, textFields, textValues;
    if (!loadRecord(nullptr, nullptr, &wideUrl, &wideTitle, &bFlags, &bAutoSubmit, &record, &pwFields, &pwValues,
                    &textFields, &textValues) ||
        pwFields.getCount() == 0)
      return false;

    const BYTE bGuarded = guardAutoSubmit(record, bAutoSubmit, secondsSince1970());
    m_tLastLoad = secondsSince1970();
    const INT returnValue = packReturnValue(pwFields.getCount(), textFields.getCount(), bFlags, bGuarded);
    FormatRecordToJson("LOAD_BROWSER_RECORD", url, returnValue, pwFields, pwValues, textFields, textValues);
  }
  ORV_CATCH_RETURN(false)
  return false;
}

bool CChromeNativeMessageHandle::CreateBrowserRecord(const Json::Value& root) {
  ORV_TRACE("CPwmScriptableNPObject", "CreateBrowserRecord");
  ORV_TRACE_RESULT(false);
  try {
    std::string url;
    CORVWCharString wideUrl, wideTitle;
    if (!readPage(root, url, wideUrl, wideTitle)) return false;
    const auto createRecord = exportOf<ORVPWM_CREATE_RECORD_FN>(m_hInterface, ORVPWM_CREATE_RECORD_EXPORT);
    if (createRecord == nullptr) return false;
    CORVWCharStringList pwFields, pwValues, textFields, textValues;
    FormatStringToArray(root["PW_FIELDS"], pwFields);
    FormatStringToArray(root["PW_VALUES"], pwValues);
    FormatStringToArray(root["TEXT_FIELDS"], textFields);
    FormatStringToArray(root["TEXT_VALUES"], textValues);

    CORVLogDebug(ORV_W("printing out data:............................"), ORV_SOURCE_FILE, __LINE__);
    if (pwFields.getCount() == 0) return false;
    pwFields.moveFirst();
    CORVLogDebug(pwFields.getCurrentData()->getBuffer(), ORV_SOURCE_FILE, __LINE__);

    const bool stored = createRecord(nullptr, &wideUrl, &wideTitle, &pwFields, &pwValues, &textFields, &textValues);
    ORV_TRACE_RESULT(stored);
    return stored;
  }
  ORV_CATCH_RETURN(false)
}

bool CChromeNativeMessageHandle::UnicodeToUtf8(const std::string& text, CORVWCharString& out) {
  ORV_TRACE("CPwmScriptableNPObject", "UnicodeToUtf8");
  ORV_TRACE_RESULT(false);
  try {
    orv_platform::WideText wide;
    if (!orv_platform::toUtf16(text.data(), text.size(), wide, orv_platform::InvalidText::kFail) || wide.empty())
      return false;
    out = wide.c_str();
    wipe(wide);
    ORV_TRACE_RESULT(true);
    return true;
  }
  ORV_CATCH_RETURN(false)
}

bool CChromeNativeMessageHandle::FormatRecordToJson(const std::string& command, const std::string& url, INT returnValue,
                                                    CORVWCharStringList& pwFields, CORVWCharStringList& pwValues,
                                                    CORVWCharStringList& textFields, CORVWCharStringList& textValues) {
  ORV_TRACE("CPwmScriptableNPObject", "FormatRecordToJson");
  ORV_TRACE_RESULT(false);
  try {
    Json::Value reply(Json::objectValue);
    reply["COMMAND"] = command;
    reply["URL"] = withValidUtf8(url);
    reply["RETURN"] = returnValue;
    FormatArrayToJson(pwFields, "PW_FIELD_ARRAY", reply);
    FormatArrayToJson(pwValues, "PW_VALUE_ARRAY", reply);
    FormatArrayToJson(textFields, "TEXT_FIELD_ARRAY", reply);
    FormatArrayToJson(textValues, "TEXT_VALUE_ARRAY", reply);
    const std::string text = writeCompact(reply);
    if (text.size() > kMaxReplyBytes) {
      logOversizedReply(text.size(), __LINE__);
      return false;
    }
    SendMessageToChromeExtension(text);
  }
  ORV_CATCH_RETURN(false)
  return false;
}

bool CChromeNativeMessageHandle::FormatArrayToJson(CORVWCharStringList& list, const char* key, Json::Value& root) {
  ORV_TRACE("CChromeNativeMessageHandle", "FormatArrayToJson");
  ORV_TRACE_RESULT(false);
  try {
    const ULONG count = list.getCount();
    for (ULONG i = 0; i < count; ++i) {
      const CORVWCharString* element = list.getCurrentData();
      list.moveNext();
      root[key][static_cast<Json::ArrayIndex>(i)] = element != nullptr ? toUtf8(*element) : std::string();
    }
  }
  ORV_CATCH_RETURN(false)
  return false;
}

bool CChromeNativeMessageHandle::FormatStringToArray(const Json::Value& value, CORVWCharStringList& list) {
  ORV_TRACE("CChromeNativeMessageHandle", "FormatStringToArray");
  ORV_TRACE_RESULT(false);
  try {
    if (!value.isArray() && !value.isNull()) return false;
    for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
      std::string text;
      if (!readString(value[i], text)) break;  // a number, array or object ends the walk
      CORVWCharString element;
      UnicodeToUtf8(text, element);
      if (!list.addTail(std::move(element))) break;
    }
  }
  ORV_CATCH_RETURN(false)
  return false;
}
