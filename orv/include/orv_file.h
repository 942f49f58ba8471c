// CORVFile: a path name and whether it names an existing file-system entry.
// The base of CORVSignedFile.
#pragma once

#include "orv_buffer.h"
#include "orv_wchar_string.h"
#include "orv_win32.h"

class ORV_API CORVFile {
 public:
  // Both throw CORVBufferInitException when the data buffer cannot be set
  // up; a name that cannot be stored is logged, and the object still built.
  CORVFile();
  explicit CORVFile(const CORVWCharString& strFilename);
  ~CORVFile();
  CORVFile(const CORVFile&) = delete;
  CORVFile& operator=(const CORVFile&) = delete;

  // Stores the name and empties the data buffer.
  bool setFilename(const CORVWCharString& strFilename);
  // Whether the stored name finds anything: a file, a folder, or a pattern
  // with wildcards that matches something.
  bool isValidFile();
  bool isValidWindowsFile(const CORVWCharString& strFilename);
  // Releases the file handle when one is held.
  bool close();

 protected:
  HANDLE m_hFile;
  CORVWCharString m_strFilename;
  CORVBuffer<unsigned char> m_data;
};
