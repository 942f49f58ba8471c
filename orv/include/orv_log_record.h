// One diagnostic record: its level, texts, result and source position.
// Texts are owned copies; an absent text is a null pointer.
#pragma once

#include "orv_win32.h"

// Levels: one bit each; the text log writes their names.
enum : ULONG {
  ORV_LOG_CRITICAL = 1,
  ORV_LOG_EXCEPTION_BAD = 2,
  ORV_LOG_EXCEPTION_OK = 4,
  ORV_LOG_ERROR = 8,
  ORV_LOG_WARNING = 16,
  ORV_LOG_DEBUG = 32,
  ORV_LOG_INFORMATION = 64,
  ORV_LOG_NOTIFICATION = 128,
  ORV_LOG_ENTRY = 256,
  ORV_LOG_EXIT = 512,
  ORV_LOG_SUCCESS = 1024,
  ORV_LOG_FAILURE = 2048,
};

// What a record's result value means.
enum : ULONG {
  ORV_RESULT_ERROR_CODE = 0,  // -1: no code, 0: no error
  ORV_RESULT_PASS_FAIL = 1,   // low byte, 0 = failed
  ORV_RESULT_LOGICAL = 2,     // low byte, 0 = false
  ORV_RESULT_RETURN_CODE = 3,
};

// Output mask bits.
enum : USHORT {
  ORV_OUTPUT_TEXT = 1,
  ORV_OUTPUT_XML = 2,
  ORV_OUTPUT_SERVER = 4,
  ORV_OUTPUT_HTML = 8,
  ORV_OUTPUT_NONE = 16,
  ORV_OUTPUT_UNKNOWN = 32,
};

// The error code that means "there is no code".
constexpr DWORD ORV_NO_ERROR_CODE = static_cast<DWORD>(-1);

class ORV_API CORVLogRecord {
 public:
  CORVLogRecord() = default;
  CORVLogRecord(const CORVLogRecord& other) noexcept;
  CORVLogRecord& operator=(const CORVLogRecord& other) noexcept;
  ~CORVLogRecord();

  ULONG getType() const { return m_ulType; }
  void setType(ULONG type) { m_ulType = type; }
  ULONG getResultKind() const { return m_ulResultKind; }
  void setResultKind(ULONG kind) { m_ulResultKind = kind; }
  ULONG getResult() const { return m_ulResult; }
  void setResult(ULONG result) { m_ulResult = result; }
  ULONG getLine() const { return m_ulLine; }
  void setLine(ULONG line) { m_ulLine = line; }

  const WCHAR* getMessage() const { return m_pszMessage; }
  const WCHAR* getObjectName() const { return m_pszObjectName; }
  const WCHAR* getLogFile() const { return m_pszLogFile; }
  const WCHAR* getClassName() const { return m_pszClassName; }
  const WCHAR* getMethodName() const { return m_pszMethodName; }
  const WCHAR* getSourceFile() const { return m_pszSourceFile; }

  // Each setter replaces the text with a fresh copy. Null clears the field
  // and succeeds; an empty text, one of 0x40000000 characters or more, or a
  // failed allocation clears it and fails.
  bool setMessage(const WCHAR* text) { return storeText(m_pszMessage, text); }
  bool setObjectName(const WCHAR* text) { return storeText(m_pszObjectName, text); }
  bool setLogFile(const WCHAR* text) { return storeText(m_pszLogFile, text); }
  bool setClassName(const WCHAR* text) { return storeText(m_pszClassName, text); }
  bool setMethodName(const WCHAR* text) { return storeText(m_pszMethodName, text); }
  bool setSourceFile(const WCHAR* text) { return storeText(m_pszSourceFile, text); }

 private:
  static bool storeText(WCHAR*& field, const WCHAR* text) noexcept;
  void copyFrom(const CORVLogRecord& other) noexcept;
  void freeTexts() noexcept;

  ULONG m_ulType = 0;
  WCHAR* m_pszMessage = nullptr;
  WCHAR* m_pszObjectName = nullptr;
  WCHAR* m_pszLogFile = nullptr;
  ULONG m_ulResultKind = 0;
  ULONG m_ulResult = 0;
  WCHAR* m_pszClassName = nullptr;
  WCHAR* m_pszMethodName = nullptr;
  WCHAR* m_pszSourceFile = nullptr;
  ULONG m_ulLine = 0;
};
