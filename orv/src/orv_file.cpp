#include "orv_file.h"

#include "orv_catch.h"
#include "orv_trace_scope.h"

CORVFile::CORVFile() : m_hFile(INVALID_HANDLE_VALUE), m_data(0) { ORV_TRACE("CORVFile", "Default Constructor"); }

CORVFile::CORVFile(const CORVWCharString& strFilename) : m_hFile(INVALID_HANDLE_VALUE), m_data(0) {
  ORV_TRACE("CORVFile", "Constructor");
  try {
    if (!setFilename(strFilename)) ORV_THROW_IN_PLACE(CORVFileInitException, ORV_NO_ERROR_CODE, __LINE__);
  }
  ORV_CATCH_LOG_CODE_AT(ORV_NO_ERROR_CODE, __LINE__)
}

CORVFile::~CORVFile() {
  ORV_TRACE("CORVFile", "Destructor");
  close();
}

bool CORVFile::setFilename(const CORVWCharString& strFilename) {
  ORV_TRACE("CORVFile", "setFilename");
  bool passed = false;
  try {
    m_strFilename = strFilename;
    // A copy that failed was logged by the string; it leaves the name unequal.
    passed = m_strFilename == strFilename && m_data.free();
  }
  ORV_CATCH_THEN(ORV_NO_ERROR_CODE, __LINE__, passed = false)
  ORV_TRACE_RESULT(passed);
  return passed;
}

bool CORVFile::isValidFile() {
  ORV_TRACE("CORVFile", "isValidFile");
  bool valid = false;
  try {
    valid = isValidWindowsFile(m_strFilename);
  }
  ORV_CATCH_THEN(GetLastError(), __LINE__, valid = false)
  ORV_TRACE_LOGICAL_RESULT(valid);
  return valid;
}

bool CORVFile::isValidWindowsFile(const CORVWCharString& strFilename) {
  ORV_TRACE("CORVFile", "isValidWindowsFile");
  bool valid = false;
  try {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(strFilename.getTextOrEmpty(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      FindClose(search);
      valid = true;
    }
  }
  ORV_CATCH_THEN(errno, __LINE__, valid = false)
  ORV_TRACE_LOGICAL_RESULT(valid);
  return valid;
}

bool CORVFile::close() {
  ORV_TRACE("CORVFile", "close");
  bool passed = true;
  try {
    if (m_hFile != INVALID_HANDLE_VALUE) {
      const BOOL closed = CloseHandle(m_hFile);
      m_hFile = INVALID_HANDLE_VALUE;
      passed = closed == TRUE;
    }
  }
  ORV_CATCH_THEN(errno, __LINE__, passed = false)
  ORV_TRACE_RESULT(passed);
  return passed;
}
