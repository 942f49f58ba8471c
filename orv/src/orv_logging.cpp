#include "orv_logging.h"

#include "orv_log_caller_errors.h"

namespace {

constexpr USHORT kExitErrorCodeFilter = 0x1000;
constexpr USHORT kExitPassFailFilter = 0x2000;
constexpr USHORT kExitLogicalFilter = 0x4000;
constexpr DWORD kExecutablePathChars = 128;  // a path of 128 characters or more is refused
const WCHAR kUnknownText[] = ORV_W("Unknown");

// The running executable's file name without folder and extension.
bool fillInExecutableName(CORVLogRecord& record) {
  WCHAR path[kExecutablePathChars];
  const DWORD length = GetModuleFileNameW(nullptr, path, kExecutablePathChars);
  if (length == 0 || length >= kExecutablePathChars) return false;
  path[length] = 0;
  WCHAR* name = wcsrchr(path, orv_platform::kPathSeparator);
  name = name == nullptr ? path : name + 1;
  WCHAR* extension = wcsrchr(name, ORV_W('.'));
  if (extension != nullptr) *extension = 0;
  return record.setObjectName(name);
}

bool isLowByteZero(ULONG result) { return (result & 0xFF) == 0; }

// EXIT records under the result bits of the detail mask.
bool passesExitResultFilter(const CORVLogRecord& record, USHORT detail) {
  const ULONG kind = record.getResultKind();
  if (kind == ORV_RESULT_ERROR_CODE && (detail & kExitErrorCodeFilter) != 0) return record.getResult() != 0;
  if (kind == ORV_RESULT_PASS_FAIL && (detail & kExitPassFailFilter) != 0) return isLowByteZero(record.getResult());
  if (kind == ORV_RESULT_LOGICAL && (detail & kExitLogicalFilter) != 0) return isLowByteZero(record.getResult());
  return (detail & (kExitErrorCodeFilter | kExitPassFailFilter | kExitLogicalFilter)) == 0;
}

}  // namespace

bool CORVLogging::shouldLog(CORVLogRecord& record) {
  m_usDetail = 0;
  if (!m_settings.isLoggingOn()) return false;

  const WCHAR* objectName = record.getObjectName();
  const bool hadObjectName = objectName != nullptr && objectName[0] != 0;
  if (!hadObjectName && !fillInExecutableName(record)) return false;
  WCHAR objectSetting[CORVLogSettings::kObjectSettingChars];
  if (hadObjectName && m_settings.getObjectSetting(objectName, objectSetting, CORVLogSettings::kObjectSettingChars)) {
    // "outputs,detail,rest": the level plays no part here.
    const WCHAR* detailField = wcschr(objectSetting, ORV_W(','));
    m_usDetail = static_cast<USHORT>(detailField == nullptr ? 0 : _wtoi(detailField + 1));
    m_usOutputs = static_cast<USHORT>(_wtoi(objectSetting));
  } else {
    m_usDetail = m_settings.getLogDetail();
    if ((m_usDetail & record.getType()) == 0) return false;
    if (record.getType() == ORV_LOG_EXIT && !passesExitResultFilter(record, m_usDetail)) return false;
  }

  const WCHAR* className = record.getClassName();
  if (className == nullptr || className[0] == 0) return true;
  WCHAR objects[CORVLogSettings::kObjectListChars];
  if (m_settings.getAllowObjects(objects, CORVLogSettings::kObjectListChars))
    return wcsstr(objects, className) != nullptr;
  if (m_settings.getExcludeObjects(objects, CORVLogSettings::kObjectListChars))
    return wcsstr(objects, className) == nullptr;
  return true;
}

CORVDetailedLog::CORVDetailedLog(ULONG type, const WCHAR* message, ULONG result, ULONG resultKind,
                                 const WCHAR* className, const WCHAR* methodName, const WCHAR* sourceFile, ULONG line,
                                 bool logNow, bool logOnDestroy, USHORT outputs, const WCHAR* objectName,
                                 const WCHAR* logFile) noexcept
    : CORVLogging(logOnDestroy, outputs) {
  m_record.setType(type);
  m_record.setMessage(message);
  m_record.setResult(result);
  m_record.setResultKind(resultKind);
  m_record.setClassName(className);
  m_record.setMethodName(methodName);
  m_record.setSourceFile(sourceFile);
  m_record.setLine(line);
  m_record.setObjectName(objectName);
  m_record.setLogFile(logFile);
  if (logNow) writeRecord();
}

CORVDetailedLog::CORVDetailedLog(ULONG type, const MessageFormat& message, ULONG result, ULONG resultKind,
                                 const WCHAR* className, const WCHAR* methodName, const WCHAR* sourceFile, ULONG line,
                                 bool logNow, bool logOnDestroy, USHORT outputs) noexcept
    : CORVDetailedLog(type, message.format, result, resultKind, className, methodName, sourceFile, line, false,
                      logOnDestroy, outputs) {
  if (m_record.getMessage() != nullptr) {
    CORVCallerErrorState keepCallerErrors;
    WCHAR formatted[1024];
    wsprintfW(formatted, m_record.getMessage(), message.first != nullptr ? message.first : kUnknownText,
              message.second != nullptr ? message.second : kUnknownText);
    m_record.setMessage(formatted);
  }
  if (logNow) writeRecord();
}

CORVDetailedLog::~CORVDetailedLog() {
  if (m_bLogOnDestroy) writeRecord();
}

bool CORVDetailedLog::log() noexcept { return writeRecord(); }

bool CORVDetailedLog::writeRecord() noexcept {
  CORVCallerErrorState keepCallerErrors;
  try {
    if (!shouldLog(m_record)) return false;
    const bool written = m_dispatcher.dispatch(m_usOutputs, m_record);
    if (written) m_bLogged = true;
    return written;
  } catch (...) {
    return false;  // a logging failure never reaches the writer of the record
  }
}
