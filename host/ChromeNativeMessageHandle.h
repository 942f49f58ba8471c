// The host's one handler: parses each message from the extension, dispatches
// on its "COMMAND", carries out the record commands through the password
// manager's interface module and answers in the browser's framing.
#pragma once

#include <cstdint>
#include <string>

#include "JsonBudget.h"
#include "orv_pwm_application_policy.h"
#include "orv_wchar_string.h"
#include "orv_win32.h"

namespace Json {
class Value;
}

class CChromeNativeMessageHandle {
 public:
  // The largest message the browser accepts from a host; it closes the
  // connection on a longer one.
  static constexpr size_t kMaxReplyBytes = 1024u * 1024u;
  // What a message may cost to parse. A form's four lists of fields take a
  // few hundred values at depth 2; this keeps the parse of the longest
  // message to some ten MiB and its recursion shallow.
  static constexpr JsonBudget kMessageBudget = {65536, 64};

  // bSkipPolicySignatureCheck lets tests load an unsigned policy module;
  // the host always checks.
  explicit CChromeNativeMessageHandle(bool bSkipPolicySignatureCheck = false);
  ~CChromeNativeMessageHandle();
  CChromeNativeMessageHandle(const CChromeNativeMessageHandle&) = delete;
  CChromeNativeMessageHandle& operator=(const CChromeNativeMessageHandle&) = delete;

  // One frame's body, as read. Returns the chosen operation's result.
  bool HandleMessage(const std::string& message);

  // Writes one reply frame: the text between its outermost braces. Always false.
  bool SendMessageToChromeExtension(const std::string& json);

  bool Reset();
  // Answers with the page's record when the module has one. Always false.
  bool loadBrowserRecord(const Json::Value& root);
  // Hands the submitted fields to the module; its result, false when not called.
  bool CreateBrowserRecord(const Json::Value& root);

  // UTF-8 bytes to UTF-16. False, with out unchanged, for invalid or empty input.
  bool UnicodeToUtf8(const std::string& text, CORVWCharString& out);
  // Builds the reply of a load and sends it. Always false.
  bool FormatRecordToJson(const std::string& command, const std::string& url, INT returnValue,
                          CORVWCharStringList& pwFields, CORVWCharStringList& pwValues, CORVWCharStringList& textFields,
                          CORVWCharStringList& textValues);
  // The list from its cursor on, as the array member `key` of root; an empty
  // list adds nothing. Always false.
  bool FormatArrayToJson(CORVWCharStringList& list, const char* key, Json::Value& root);
  // Appends the strings of a JSON array (or nothing for null) to the list.
  // Always false.
  bool FormatStringToArray(const Json::Value& value, CORVWCharStringList& list);

  bool IsChromeInMetroMode();
  bool IsPasswordManagerReady();

  // "RETURN": each count saturated at 255 in its own byte (bits 0-7, 8-15),
  // the first flag byte in bits 16-19 (above 15 it reads 15) and the
  // auto-submit flag byte in bits 20-27, so that no term runs into another.
  static INT packReturnValue(ULONG ulPwFields, ULONG ulTextFields, BYTE bFlags, BYTE bAutoSubmit);

  // Reads a member the way every command reads text: a string as it is,
  // missing or null as empty, a boolean as "true"/"false"; false otherwise.
  static bool readString(const Json::Value& value, std::string& out);

 private:
  // What both record commands check first: Chrome not in Metro mode, the
  // module loaded, the password manager ready, an object (or null) message
  // whose "SITE_URL" and "SITE_TITLE" are text. Then the address as
  // received, and address and title as UTF-16.
  bool readPage(const Json::Value& root, std::string& url, CORVWCharString& wideUrl, CORVWCharString& wideTitle);
  // The auto-submit flag byte the reply may carry for this record; remembers
  // the record when the flag goes through.
  BYTE guardAutoSubmit(const CORVWCharString& record, BYTE bAutoSubmit, int64_t tNow);

  CORVPwmApplicationPolicy m_policy;
  CORVWCharString m_strLastRecord;  // the record of the last permitted auto-submit
  int64_t m_tLastLoad = 0;          // seconds since 1970; 0 lets the first auto-submit through
  HMODULE m_hInterface = nullptr;
};
