#include "orv_directory.h"

#include "orv_catch.h"
#include "orv_trace_scope.h"

namespace {

constexpr WCHAR kDriveColon = ORV_W(':');
const WCHAR* const kAnyEntry = ORV_W("*");

}  // namespace

CORVDirectory::CORVDirectory(const CORVWCharString& strDirectoryName) {
  ORV_TRACE("CORVDirectory", "Constructor");
  try {
    if (!setDirectoryName(strDirectoryName))
      ORV_THROW_IN_PLACE(CORVDirectoryInitException, ORV_NO_ERROR_CODE, __LINE__);
  }
  ORV_CATCH_LOG_CODE_AT(ORV_NO_ERROR_CODE, __LINE__)
}

CORVDirectory::~CORVDirectory() { ORV_TRACE("CORVDirectory", "Destructor"); }

bool CORVDirectory::setDirectoryName(const CORVWCharString& strDirectoryName) {
  ORV_TRACE("CORVDirectory", "setDirectoryName");
  bool passed = false;
  try {
    m_strDirectoryName = strDirectoryName;
    passed = m_strDirectoryName == strDirectoryName;
  }
  ORV_CATCH_THEN(errno, __LINE__, passed = false)
  ORV_TRACE_RESULT(passed);
  return passed;
}

bool CORVDirectory::isValidDirectory() {
  ORV_TRACE("CORVDirectory", "isValidDirectory");
  bool valid = false;
  try {
    valid = isValidWindowsDirectory(m_strDirectoryName);
  }
  ORV_CATCH_THEN(errno, __LINE__, valid = false)
  ORV_TRACE_RESULT(valid);
  return valid;
}

bool CORVDirectory::isValidWindowsDirectory(const CORVWCharString& strPath) {
  ORV_TRACE("CORVDirectory", "isValidWindowsDirectory");
  bool valid = false;
  try {
    // A folder is searched as its contents when the path ends at a
    // separator (a drive root, "/") or at a drive's colon; otherwise the
    // search finds the entry itself.
    const ULONG length = strPath.getLength();
    const WCHAR last = strPath[length - 1];  // the empty path fails the index check
    const WCHAR beforeLast = length >= 2 ? strPath[length - 2] : 0;
    CORVWCharString pattern(strPath);
    if (beforeLast == kDriveColon) {
      if (last == orv_platform::kPathSeparator) pattern += kAnyEntry;
    } else if (last == kDriveColon) {
      pattern += CORVWCharString(orv_platform::kPathSeparator);
      pattern += kAnyEntry;
    } else if (last == orv_platform::kPathSeparator) {
      pattern += kAnyEntry;
    }
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(pattern.getTextOrEmpty(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      const DWORD attributes = GetFileAttributesW(strPath.getTextOrEmpty());
      valid = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      FindClose(search);
    }
  }
  ORV_CATCH_THEN(errno, __LINE__, valid = false)
  ORV_TRACE_RESULT(valid);
  return valid;
}

bool CORVDirectory::createDirectoryPath() {
  try {
    if (isValidDirectory()) return false;
    if (m_strDirectoryName.getLength() == 0) return false;
    CORVWCharString path(m_strDirectoryName);
    const CORVWCharString separator(orv_platform::kPathSeparator);
    if (!path.endsWith(separator)) path += separator;
    const ULONG length = path.getLength();
    bool created = false;
    // Each prefix up to and including a separator, from the outermost.
    for (ULONG end = 0; end < length; ++end) {
      if (path[end] != orv_platform::kPathSeparator) continue;
      CORVWCharString level;
      if (!path.extract(level, 0, end, true, true)) return false;
      CORVDirectory existing(level);
      if (existing.isValidDirectory()) continue;
      if (!CreateDirectoryW(level.getTextOrEmpty(), nullptr)) return false;
      created = true;
    }
    return created;
  }
  ORV_CATCH_RETURN(false)
}
