// The record object at the root of every diagnostic: method traces,
// exceptions, warnings and debug notes are all a CORVDetailedLog.
#pragma once

#include "orv_log_dispatcher.h"
#include "orv_log_record.h"
#include "orv_log_settings.h"

class ORV_API CORVLogging {
 public:
  virtual ~CORVLogging() = default;
  // Filters the record and writes it to the outputs of its mask. Keeps the
  // thread's last-error value and errno, never throws.
  virtual bool log() = 0;

  bool isLogged() const { return m_bLogged; }
  bool isLogOnDestroy() const { return m_bLogOnDestroy; }
  void setLogOnDestroy(bool logOnDestroy) { m_bLogOnDestroy = logOnDestroy; }
  USHORT getOutputs() const { return m_usOutputs; }
  // The detail mask of the last filter run (0 before the first).
  USHORT getDetail() const { return m_usDetail; }

 protected:
  CORVLogging(bool logOnDestroy, USHORT outputs) : m_bLogOnDestroy(logOnDestroy), m_usOutputs(outputs) {}
  CORVLogging(const CORVLogging&) = default;
  CORVLogging& operator=(const CORVLogging&) = default;

  // The registry filter. Sets m_usDetail, may set m_usOutputs (a per-object
  // setting) and fills in the record's object name when it has none.
  bool shouldLog(CORVLogRecord& record);

  bool m_bLogOnDestroy;
  USHORT m_usOutputs;
  USHORT m_usDetail = 0;
  bool m_bLogged = false;
  CORVLogSettings m_settings;
  CORVLogDispatcher m_dispatcher;
};

class ORV_API CORVDetailedLog : public CORVLogging {
 public:
  // Writes the record at once when logNow is set.
  CORVDetailedLog(ULONG type, const WCHAR* message, ULONG result, ULONG resultKind, const WCHAR* className,
                  const WCHAR* methodName, const WCHAR* sourceFile, ULONG line, bool logNow, bool logOnDestroy,
                  USHORT outputs, const WCHAR* objectName = nullptr, const WCHAR* logFile = nullptr) noexcept;
  CORVDetailedLog(const CORVDetailedLog& other) noexcept = default;
  CORVDetailedLog& operator=(const CORVDetailedLog& other) noexcept = default;
  // Writes the record once more when the log-on-destruction flag is set.
  ~CORVDetailedLog() override;

  bool log() noexcept override;

  const CORVLogRecord& getRecord() const { return m_record; }
  CORVLogRecord& getRecord() { return m_record; }

 protected:
  // A message format whose "%s" placeholders take these texts in order; an
  // absent text reads "Unknown".
  struct MessageFormat {
    const WCHAR* format;
    const WCHAR* first = nullptr;
    const WCHAR* second = nullptr;
  };
  // The format constructors of the exception family: the record takes the
  // formatted message (cut at 1024 characters), then is written if logNow.
  CORVDetailedLog(ULONG type, const MessageFormat& message, ULONG result, ULONG resultKind, const WCHAR* className,
                  const WCHAR* methodName, const WCHAR* sourceFile, ULONG line, bool logNow, bool logOnDestroy,
                  USHORT outputs) noexcept;

  CORVLogRecord m_record;

 private:
  bool writeRecord() noexcept;
};
