// Logging never changes what the writer of a record sees in GetLastError()
// or errno: this keeps both for the length of a scope.
#pragma once

#include <cerrno>

#include "orv_win32.h"

class CORVCallerErrorState {
 public:
  CORVCallerErrorState() : m_dwLastError(GetLastError()), m_iErrno(errno) {}
  ~CORVCallerErrorState() {
    errno = m_iErrno;
    SetLastError(m_dwLastError);
  }
  CORVCallerErrorState(const CORVCallerErrorState&) = delete;
  CORVCallerErrorState& operator=(const CORVCallerErrorState&) = delete;

 private:
  DWORD m_dwLastError;
  int m_iErrno;
};
