// The logging settings under HKEY_LOCAL_MACHINE\SOFTWARE\Halvik\Logs. Every
// read opens the key, queries one value and closes the key again, so that a
// change takes effect on the next record. A value that is missing, of another
// type or larger than its buffer counts as missing.
#pragma once

#include "orv_win32.h"

class ORV_API CORVLogSettings {
 public:
  static const WCHAR* const kLogsKey;  // "SOFTWARE\Halvik\Logs"

  // Buffer sizes in characters, terminator included: the byte limits of the
  // values ("AllowObjects" 1024 bytes, a per-object value 260, "TextOutput" 256).
  static constexpr DWORD kObjectListChars = 512;
  static constexpr DWORD kObjectSettingChars = 130;
  static constexpr DWORD kOutputPathChars = 128;

  // "Logging" present and not 0.
  bool isLoggingOn() const;
  // "LogDetail", 0x1B when missing.
  USHORT getLogDetail() const;
  bool getAllowObjects(WCHAR* text, DWORD chars) const;
  bool getExcludeObjects(WCHAR* text, DWORD chars) const;
  // The per-object value named after objectName: "outputs,detail,rest".
  bool getObjectSetting(const WCHAR* objectName, WCHAR* text, DWORD chars) const;
  // The path setting of one output bit ("TextOutput" for 1, ...). Bit 16
  // succeeds with an empty text and reads nothing; other bits fail.
  bool getOutputPath(USHORT outputBit, WCHAR* text, DWORD chars) const;

  // The values read once per process (loadLogConfiguration).
  bool getDynamicLogging(DWORD& value) const;
  bool getMaxLogFileNum(DWORD& value) const;
  bool getMaxLogFileSize(DWORD& value) const;

  bool readDword(const WCHAR* valueName, DWORD& value) const;
  // A string value, always terminated within `chars` characters.
  bool readString(const WCHAR* valueName, WCHAR* text, DWORD chars) const;
};
