// CORVIni: one profile (INI) file, read and written through the platform's
// profile-file calls. The file name goes to the platform unchanged, so a
// name without a folder is resolved there.
//
// Operations follow the library's convention: failures are written to the
// log and turned into false; outputs are left as they were on failure.
#pragma once

#include "orv_wchar_string.h"
#include "orv_win32.h"

class ORV_API CORVIni {
 public:
  // The buffers of the reads, in code units.
  static constexpr DWORD kListBufferSize = 32767;
  static constexpr DWORD kStringBufferSize = 1024;
  // A list that does not fit is read again in a buffer twice as large, up
  // to this size; a larger one is not read.
  static constexpr DWORD kMaxListBufferSize = 32767u * 512u;

  explicit CORVIni(const CORVWCharString& szFileName);
  CORVIni(const CORVIni&) = delete;
  CORVIni& operator=(const CORVIni&) = delete;
  virtual ~CORVIni();

  // Writes the section with no entries (an existing one is emptied).
  virtual bool createProfileSection(const CORVWCharString& section);
  // False, with a record, when the key is missing or its value is -1.
  virtual bool getProfileInt(const CORVWCharString& section, const CORVWCharString& key, INT& value);
  // The section's lines ("key=value" as the platform returns them), in file
  // order; false for a missing or empty section.
  virtual bool getProfileSection(const CORVWCharString& section, CORVWCharStringList& list);
  // The section names in file order; false when there is none.
  virtual bool getProfileSectionNames(CORVWCharStringList& list);
  // False for a missing key, an empty value, a value that does not fit the
  // buffer and the value "Not Found".
  virtual bool getProfileString(const CORVWCharString& section, const CORVWCharString& key, CORVWCharString& out);
  virtual bool setProfileInt(const CORVWCharString& section, const CORVWCharString& key, INT value);
  // Creates the file, the section and the key as needed.
  virtual bool setProfileString(const CORVWCharString& section, const CORVWCharString& key,
                                const CORVWCharString& value);

 private:
  // Fills list from one of the platform's zero-separated list reads.
  template <typename ReadList>
  bool readList(CORVWCharStringList& list, const ReadList& readInto);

  CORVWCharString m_szFileName;
};
