// CORVDirectory: a folder path, whether it names an existing folder, and
// creating the folders of the path that are missing.
#pragma once

#include "orv_wchar_string.h"
#include "orv_win32.h"

class ORV_API CORVDirectory {
 public:
  // A path that cannot be stored is logged; the object is still built.
  explicit CORVDirectory(const CORVWCharString& strDirectoryName);
  ~CORVDirectory();

  bool setDirectoryName(const CORVWCharString& strDirectoryName);
  bool isValidDirectory();
  // A drive ("C:"), a drive's root ("C:\"), the root "/" and folders with or
  // without a trailing separator count when they exist.
  bool isValidWindowsDirectory(const CORVWCharString& strPath);
  // Creates every missing folder of the path from the outermost in; true
  // only when it created at least one. An existing path gives false.
  bool createDirectoryPath();

 private:
  CORVWCharString m_strDirectoryName;
};
