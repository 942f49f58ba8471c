#include "orv_logging_output_text.h"

#include <mutex>

#include "orv_log_globals.h"
#include "orv_log_settings.h"

namespace {

constexpr size_t kLineChars = 1024;     // the line buffer, CR LF included
constexpr size_t kPathLimitChars = 512;  // a log path must be shorter
const WCHAR kByteOrderMark = 0xFEFF;

// The pass/fail tokens of the two line forms.
struct ResultTokens {
  const WCHAR* passed;
  const WCHAR* failed;
  const WCHAR* failedLogical;
};
const ResultTokens kLineTokens = {ORV_W("<Passed> "), ORV_W("<Failed> "), ORV_W("<Failed Logical Result> ")};
const ResultTokens kCompactTokens = {ORV_W("<Passed>"), ORV_W("<Failed>"), ORV_W("<Failed Comparison>")};

// Rotation renames files that other writes of this process may be about to
// open: one thread at a time counts and rotates.
std::mutex& rotationLock() {
  static std::mutex* lock = new std::mutex();  // outlives static destructors that may still log
  return *lock;
}

const WCHAR* levelName(ULONG type) {
  switch (type) {
    case ORV_LOG_CRITICAL: return ORV_W("CRITICAL");
    case ORV_LOG_EXCEPTION_BAD: return ORV_W("EXCEPTION_BAD");
    case ORV_LOG_EXCEPTION_OK: return ORV_W("EXCEPTION_OK");
    case ORV_LOG_ERROR: return ORV_W("ERROR");
    case ORV_LOG_WARNING: return ORV_W("WARNING");
    case ORV_LOG_DEBUG: return ORV_W("DEBUG");
    case ORV_LOG_INFORMATION: return ORV_W("INFORMATION");
    case ORV_LOG_NOTIFICATION: return ORV_W("NOTIFICATION");
    case ORV_LOG_ENTRY: return ORV_W("ENTRY");
    case ORV_LOG_EXIT: return ORV_W("EXIT");
    case ORV_LOG_SUCCESS: return ORV_W("SUCCESS");
    case ORV_LOG_FAILURE: return ORV_W("FAILURE");
    default: return ORV_W("UNSPECIFIED");
  }
}

bool hasText(const WCHAR* text) { return text != nullptr && text[0] != 0; }

// One log line in a fixed buffer. What does not fit is cut, never half a
// surrogate pair, and the line always ends in CR LF. A CR or LF inside a
// text becomes a blank, so that no text can end its line or forge another.
class LogLine {
 public:
  LogLine& operator<<(const WCHAR* text) {
    for (; text != nullptr && *text != 0 && m_length < kLineChars - 2; ++text)
      m_line[m_length++] = (*text == ORV_W('\r') || *text == ORV_W('\n')) ? ORV_W(' ') : *text;
    return *this;
  }
  LogLine& decimal(ULONG value) { return formatted(ORV_W("%lu"), value); }
  LogLine& hex(ULONG value) { return formatted(ORV_W("0x%08x"), value); }

  // Ends the line; the length in characters.
  size_t finish() {
    if (m_length > 0 && m_length == kLineChars - 2 && m_line[m_length - 1] >= 0xD800 && m_line[m_length - 1] < 0xDC00)
      --m_length;
    m_line[m_length++] = ORV_W('\r');
    m_line[m_length++] = ORV_W('\n');
    return m_length;
  }
  const WCHAR* text() const { return m_line; }

 private:
  LogLine& formatted(const WCHAR* format, ULONG value) {
    WCHAR number[16];
    wsprintfW(number, format, value);
    return *this << number;
  }

  WCHAR m_line[kLineChars];
  size_t m_length = 0;
};

// The line's first three fields: time stamp, level, object name.
void appendHeader(LogLine& line, const CORVLogRecord& record) {
  __timeb64 now{};
  _ftime64(&now);
  WCHAR stamp[32] = {0};
  if (const WCHAR* text = _wctime64(&now.time)) {
    size_t length = 0;
    for (; text[length] != 0 && length < 31; ++length) stamp[length] = text[length];
    if (length > 0) stamp[length - 1] = 0;  // the newline
  }
  line << ORV_W("<") << stamp << ORV_W(">: ");
  line << ORV_W("<") << levelName(record.getType()) << ORV_W("> ");
  line << ORV_W("<") << record.getObjectName() << ORV_W("> ");
}

void appendMessage(LogLine& line, const CORVLogRecord& record) {
  if (hasText(record.getMessage())) line << ORV_W("\"") << record.getMessage() << ORV_W("\" ");
}

void appendResult(LogLine& line, const CORVLogRecord& record, const ResultTokens& tokens) {
  const ULONG result = record.getResult();
  const bool exit = record.getType() == ORV_LOG_EXIT;
  const bool passed = (result & 0xFF) != 0;
  switch (record.getResultKind()) {
    case ORV_RESULT_ERROR_CODE:
      if (result != 0 && result != ORV_NO_ERROR_CODE) (line << ORV_W("<Error: ")).hex(result) << ORV_W("> ");
      break;
    case ORV_RESULT_PASS_FAIL:
      if (exit) line << (passed ? tokens.passed : tokens.failed);
      break;
    case ORV_RESULT_LOGICAL:
      if (exit) line << (passed ? tokens.passed : tokens.failedLogical);
      break;
    case ORV_RESULT_RETURN_CODE:
      (line << ORV_W("<Return Code: ")).hex(result) << ORV_W("> ");
      break;
    default:
      break;
  }
}

void appendClassAndMethod(LogLine& line, const CORVLogRecord& record) {
  const bool hasClass = hasText(record.getClassName());
  const bool hasMethod = hasText(record.getMethodName());
  if (hasClass) line << ORV_W("<") << record.getClassName();
  if (hasMethod) line << (hasClass ? ORV_W("::") : ORV_W("<::")) << record.getMethodName();
  if (hasClass || hasMethod) line << ORV_W("> ");
}

void appendSourcePosition(LogLine& line, const CORVLogRecord& record) {
  const WCHAR* sourceFile = record.getSourceFile();
  if (hasText(sourceFile)) {
    const WCHAR* name = wcsrchr(sourceFile, orv_platform::kPathSeparator);
    line << ORV_W("<") << (name != nullptr ? name + 1 : sourceFile);
    if (record.getLine() != 0) (line << ORV_W(", ")).decimal(record.getLine()) << ORV_W("> ");
    else line << ORV_W(">");
  } else if (record.getLine() != 0) {
    (line << ORV_W("<")).decimal(record.getLine()) << ORV_W("> ");
  }
}

// The record's log file, filled in from "TextOutput" on its first write.
const WCHAR* logFileOf(CORVLogRecord& record) {
  if (record.getLogFile() == nullptr) {
    WCHAR path[CORVLogSettings::kOutputPathChars];
    if (!CORVLogSettings().getOutputPath(ORV_OUTPUT_TEXT, path, CORVLogSettings::kOutputPathChars)) return nullptr;
    record.setLogFile(path);
  }
  return record.getLogFile();
}

// Opens the log file for appending: each line lands whole at the end, even
// with other processes writing. A file this call creates starts with the
// byte-order mark; its folder (one level) is created first.
HANDLE openLogFile(const WCHAR* path, bool requireRootedPath) {
  const size_t length = wcslen(path);
  if (length >= kPathLimitChars || (requireRootedPath && !orv_platform::isRootedPath(path)))
    return INVALID_HANDLE_VALUE;
  const DWORD access = FILE_APPEND_DATA;
  const DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
  // An existing file has its folder: only a missing one needs the folder made.
  // Append access writes at the end whatever the file pointer says, so the
  // pointer is never moved there.
  HANDLE file = CreateFileW(path, access, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) return file;
  if (const WCHAR* separator = wcsrchr(path, orv_platform::kPathSeparator)) {
    WCHAR folder[kPathLimitChars];
    const size_t folderLength = static_cast<size_t>(separator - path) + 1;
    for (size_t i = 0; i < folderLength; ++i) folder[i] = path[i];
    folder[folderLength] = 0;
    CreateDirectoryW(folder, nullptr);
  }
  file = CreateFileW(path, access, sharing, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return file;
  // Another process may have created it between the two opens.
  if (GetLastError() != ERROR_ALREADY_EXISTS) {
    DWORD written = 0;
    WriteFile(file, &kByteOrderMark, sizeof(kByteOrderMark), &written, nullptr);
  }
  return file;
}

DWORD appendLine(HANDLE file, LogLine& line) {
  const size_t length = line.finish();
  DWORD written = 0;
  WriteFile(file, line.text(), static_cast<DWORD>(length * sizeof(WCHAR)), &written, nullptr);
  CloseHandle(file);
  return written;
}

// "<path>.<n>"
void numberedName(const WCHAR* path, ULONG number, WCHAR* name, size_t chars) {
  WCHAR suffix[16];
  wsprintfW(suffix, ORV_W(".%lu"), number);
  size_t length = 0;
  for (const WCHAR* part : {path, static_cast<const WCHAR*>(suffix)})
    for (; *part != 0 && length + 1 < chars; ++part) name[length++] = *part;
  name[length] = 0;
}

// Shifts "<path>.n" to "<path>.n+1" from the highest down, the highest kept
// number being overwritten by its predecessor, then moves the log to ".1".
void rotate(const WCHAR* path) {
  WCHAR from[kPathLimitChars + 16];
  WCHAR to[kPathLimitChars + 16];
  const ULONG maxFiles = g_ulMaxLogFileNum;
  // Files above the limit were never made by this process: start at it.
  ULONG n = g_ulLogRotations < maxFiles ? static_cast<ULONG>(g_ulLogRotations) : maxFiles;
  for (; n >= 1; --n) {
    if (n == maxFiles) continue;
    numberedName(path, n, from, sizeof(from) / sizeof(from[0]));
    numberedName(path, n + 1, to, sizeof(to) / sizeof(to[0]));
    MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING);
  }
  numberedName(path, 1, to, sizeof(to) / sizeof(to[0]));
  MoveFileExW(path, to, MOVEFILE_REPLACE_EXISTING);
  ++g_ulLogRotations;
  g_ulLogBytesWritten = 0;
}

void countAndRotate(const WCHAR* path, DWORD written) {
  std::lock_guard<std::mutex> guard(rotationLock());
  g_ulLogBytesWritten += written;
  const ULONG maxSize = g_ulMaxLogFileSize;
  if (maxSize != 0 && g_ulMaxLogFileNum != 0 && g_ulLogBytesWritten / 1024 > maxSize) rotate(path);
}

// The full line counts its bytes and rotates; the compact one neither
// counts nor checks that the path is rooted.
bool appendRecord(CORVLogRecord& record, bool fullLine) noexcept {
  try {
    const WCHAR* path = logFileOf(record);
    if (path == nullptr) return false;
    HANDLE file = openLogFile(path, fullLine);
    if (file == INVALID_HANDLE_VALUE) return false;
    LogLine line;
    appendHeader(line, record);
    if (fullLine) appendClassAndMethod(line, record);
    appendMessage(line, record);
    appendResult(line, record, fullLine ? kLineTokens : kCompactTokens);
    if (fullLine) appendSourcePosition(line, record);
    const DWORD written = appendLine(file, line);
    if (fullLine) countAndRotate(path, written);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

bool CORVLoggingOutputText::write(CORVLogRecord& record) { return appendRecord(record, true); }

bool CORVLoggingOutputText::writeCompact(CORVLogRecord& record) { return appendRecord(record, false); }
