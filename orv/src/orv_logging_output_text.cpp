#include "orv_logging_output_text.h"

#include <atomic>
#include <mutex>

#include "orv_log_globals.h"
#include "orv_log_settings.h"

namespace {

constexpr size_t kLineChars = 1024;      // the line buffer, CR LF included
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
    case ORV_RESULT_RETURN_CODE: (line << ORV_W("<Return Code: ")).hex(result) << ORV_W("> "); break;
    default: break;
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
    if (record.getLine() != 0)
      (line << ORV_W(", ")).decimal(record.getLine()) << ORV_W("> ");
    else
      line << ORV_W(">");
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

DWORD appendLine(HANDLE file, const LogLine& line, size_t length) {
  DWORD written = 0;
  WriteFile(file, line.text(), static_cast<DWORD>(length * sizeof(WCHAR)), &written, nullptr);
  return written;
}

// The file's real size, whoever wrote it; 0 when it cannot be told.
uint64_t sizeOf(HANDLE file) {
  LONG high = 0;
  SetLastError(ERROR_SUCCESS);
  const DWORD low = SetFilePointer(file, 0, &high, FILE_END);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) return 0;
  return (static_cast<uint64_t>(static_cast<DWORD>(high)) << 32) | low;
}

// "<path><suffix>"
void suffixedName(const WCHAR* path, const WCHAR* suffix, WCHAR* name, size_t chars) {
  size_t length = 0;
  for (const WCHAR* part : {path, suffix})
    for (; *part != 0 && length + 1 < chars; ++part) name[length++] = *part;
  name[length] = 0;
}

// "<path>.<n>"
void numberedName(const WCHAR* path, ULONG number, WCHAR* name, size_t chars) {
  WCHAR suffix[16];
  wsprintfW(suffix, ORV_W(".%lu"), number);
  suffixedName(path, suffix, name, chars);
}

bool fileExists(const WCHAR* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// Puts a new log, holding only the byte-order mark, in place unless one is
// there already: it is written under a name of this process's own and then
// renamed without replacing, so that no other process can append before
// the mark.
void createLogFile(const WCHAR* path) {
  static std::atomic<ULONG> counter{0};
  WCHAR suffix[48];
  const ULONG process = GetCurrentProcessId();
  wsprintfW(suffix, ORV_W(".%lu.%lu.new"), process, static_cast<ULONG>(++counter));
  WCHAR fresh[kPathLimitChars + 48];
  suffixedName(path, suffix, fresh, sizeof(fresh) / sizeof(fresh[0]));
  HANDLE file = CreateFileW(fresh, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  const bool marked =
      WriteFile(file, &kByteOrderMark, sizeof(kByteOrderMark), &written, nullptr) && written == sizeof(kByteOrderMark);
  CloseHandle(file);
  if (!marked || !MoveFileExW(fresh, path, 0)) DeleteFileW(fresh);
}

// Creates the folder that holds `path` (one level).
void createFolderOf(const WCHAR* path) {
  const WCHAR* separator = wcsrchr(path, orv_platform::kPathSeparator);
  if (separator == nullptr) return;
  WCHAR folder[kPathLimitChars];
  const size_t folderLength = static_cast<size_t>(separator - path) + 1;
  if (folderLength >= kPathLimitChars) return;
  for (size_t i = 0; i < folderLength; ++i) folder[i] = path[i];
  folder[folderLength] = 0;
  CreateDirectoryW(folder, nullptr);
}

// Opens the log file for appending: each line lands whole at the end, even
// with other processes writing. A missing file is created with the
// byte-order mark first; its folder (one level) is created first.
bool isAcceptedLogPath(const WCHAR* path, bool requireRootedPath) {
  return wcslen(path) < kPathLimitChars && (!requireRootedPath || orv_platform::isRootedPath(path));
}

HANDLE openLogFile(const WCHAR* path, bool requireRootedPath) {
  if (!isAcceptedLogPath(path, requireRootedPath)) return INVALID_HANDLE_VALUE;
  const DWORD access = FILE_APPEND_DATA;
  const DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  // An existing file has its folder: only a missing one needs the folder made.
  // Append access writes at the end whatever the file pointer says, so the
  // pointer is never moved there.
  HANDLE file = CreateFileW(path, access, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) return file;
  createFolderOf(path);
  // A rotation may move the new file away before it opens: try again once.
  for (int attempt = 0; attempt < 2 && file == INVALID_HANDLE_VALUE; ++attempt) {
    createLogFile(path);
    file = CreateFileW(path, access, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  return file;
}

// Appends and rotations are serialised across processes by an exclusive
// lock on "<path>.lock" beside the log, and between this process's threads
// by a mutex first. The lock file stays open for the life of the process
// (reopened only when the log moves), so a write costs two lock calls, not
// an open and a close. A holder that keeps the lock longer than
// kLockPatienceMs (a stopped process) costs the others their size bound,
// never their line.
class LogFileLock {
 public:
  explicit LogFileLock(const WCHAR* logPath) : m_guard(mutex()) {
    HANDLE file = lockFileFor(logPath);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD pauseMs = 1;
    for (DWORD waitedMs = 0;; waitedMs += pauseMs, pauseMs = pauseMs < 16 ? pauseMs * 2 : pauseMs) {
      OVERLAPPED whole{};
      if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
        m_hHeld = file;
        return;
      }
      if (GetLastError() != ERROR_LOCK_VIOLATION || waitedMs >= kLockPatienceMs) return;
      Sleep(pauseMs);
    }
  }
  ~LogFileLock() {
    if (m_hHeld == INVALID_HANDLE_VALUE) return;
    OVERLAPPED whole{};
    UnlockFileEx(m_hHeld, 0, MAXDWORD, MAXDWORD, &whole);
  }
  LogFileLock(const LogFileLock&) = delete;
  LogFileLock& operator=(const LogFileLock&) = delete;
  bool held() const { return m_hHeld != INVALID_HANDLE_VALUE; }

 private:
  static constexpr DWORD kLockPatienceMs = 5000;
  // Never destroyed: static destructors may still log.
  struct OpenLockFile {
    WCHAR szLogPath[kPathLimitChars] = {};
    HANDLE hFile = INVALID_HANDLE_VALUE;
  };
  static std::mutex& mutex() {
    static std::mutex* lock = new std::mutex();
    return *lock;
  }
  // Under the mutex: the open lock file of `logPath`.
  static HANDLE lockFileFor(const WCHAR* logPath) {
    static OpenLockFile* open = new OpenLockFile();
    if (open->hFile != INVALID_HANDLE_VALUE && wcscmp(open->szLogPath, logPath) == 0) return open->hFile;
    if (open->hFile != INVALID_HANDLE_VALUE) CloseHandle(open->hFile);
    open->hFile = INVALID_HANDLE_VALUE;
    WCHAR name[kPathLimitChars + 16];
    suffixedName(logPath, ORV_W(".lock"), name, sizeof(name) / sizeof(name[0]));
    // The first record of a new log comes before its folder exists.
    for (int attempt = 0; attempt < 2 && open->hFile == INVALID_HANDLE_VALUE; ++attempt) {
      if (attempt > 0) createFolderOf(logPath);
      open->hFile =
          CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    suffixedName(logPath, ORV_W(""), open->szLogPath, kPathLimitChars);
    return open->hFile;
  }

  std::lock_guard<std::mutex> m_guard;
  HANDLE m_hHeld = INVALID_HANDLE_VALUE;
};

// Under the log's lock: moves every numbered file up by one, from the
// first missing number (or the limit, whose file the one below overwrites)
// down to ".1", then the log to ".1". Files rotated by any process keep
// their order, and none is replaced while a lower number is free.
void rotate(const WCHAR* path, ULONG maxFiles) {
  WCHAR from[kPathLimitChars + 16];
  WCHAR to[kPathLimitChars + 16];
  const size_t chars = sizeof(from) / sizeof(from[0]);
  ULONG top = 1;
  for (; top < maxFiles; ++top) {
    numberedName(path, top, to, chars);
    if (!fileExists(to)) break;
  }
  for (ULONG n = top; n > 1; --n) {
    numberedName(path, n - 1, from, chars);
    numberedName(path, n, to, chars);
    MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING);
  }
  numberedName(path, 1, to, chars);
  MoveFileExW(path, to, MOVEFILE_REPLACE_EXISTING);
  ++g_ulLogRotations;
  g_ulLogBytesWritten = 0;
}

// Appends a full line and keeps the file within "MaxLogFileSize" kilobytes
// by at most a line: under the log's lock, a file that is already over
// (another process or an older build crossed it) is rotated before the line
// is appended, and the file that this line takes over the limit after.
bool appendFullLine(const WCHAR* path, LogLine& line) {
  const ULONG maxFiles = g_ulMaxLogFileNum;
  const uint64_t limit = maxFiles != 0 ? static_cast<uint64_t>(g_ulMaxLogFileSize) * 1024 : 0;
  const size_t length = line.finish();
  if (limit == 0) {
    HANDLE file = openLogFile(path, true);
    if (file == INVALID_HANDLE_VALUE) return false;
    g_ulLogBytesWritten += appendLine(file, line, length);
    CloseHandle(file);
    return true;
  }
  // A refused path gets no lock file either (a relative one would land in the working folder).
  if (!isAcceptedLogPath(path, true)) return false;
  LogFileLock lock(path);
  HANDLE file = openLogFile(path, true);
  if (file == INVALID_HANDLE_VALUE) return false;
  if (lock.held() && sizeOf(file) > limit) {
    CloseHandle(file);
    rotate(path, maxFiles);
    file = openLogFile(path, true);
    if (file == INVALID_HANDLE_VALUE) return false;
  }
  g_ulLogBytesWritten += appendLine(file, line, length);
  const uint64_t size = sizeOf(file);
  CloseHandle(file);
  if (lock.held() && size > limit) rotate(path, maxFiles);
  return true;
}

// The full line counts its bytes and rotates; the compact one neither
// counts nor checks that the path is rooted.
bool appendRecord(CORVLogRecord& record, bool fullLine) noexcept {
  try {
    const WCHAR* path = logFileOf(record);
    if (path == nullptr) return false;
    LogLine line;
    appendHeader(line, record);
    if (fullLine) appendClassAndMethod(line, record);
    appendMessage(line, record);
    appendResult(line, record, fullLine ? kLineTokens : kCompactTokens);
    if (fullLine) {
      appendSourcePosition(line, record);
      return appendFullLine(path, line);
    }
    HANDLE file = openLogFile(path, false);
    if (file == INVALID_HANDLE_VALUE) return false;
    appendLine(file, line, line.finish());
    CloseHandle(file);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

bool CORVLoggingOutputText::write(CORVLogRecord& record) { return appendRecord(record, true); }

bool CORVLoggingOutputText::writeCompact(CORVLogRecord& record) { return appendRecord(record, false); }
