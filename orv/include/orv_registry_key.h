// CORVRegistryKey: one registry key, named by a predefined root and a path
// below it. Open late, close early: the object remembers where the key is
// and opens the handle only inside an operation; nearly every operation
// closes it again before it returns (enumSubKey and enumSubKeys leave it
// open for the next one).
//
// Operations follow the library's convention: failures are written to the
// log and turned into false. A missing key is not a failure worth a record:
// open() and exists() simply answer false.
#pragma once

#include "orv_dbllist.h"
#include "orv_registry_valent.h"
#include "orv_wchar_string.h"
#include "orv_win32.h"

typedef CORVDblList<CORVObjNode<CORVRegistryValent>> CORVRegistryValentList;

class ORV_API CORVRegistryKey {
 public:
  // save(): the registry's own hive format, or the text export.
  static constexpr DWORD kSaveFormatText = 8;
  // restore(): RegRestoreKeyW's flags, or the text import.
  static constexpr DWORD kRestoreFlagsText = 16;

  // Throws CORVRegKeyInitException when the name cannot be copied.
  CORVRegistryKey(HKEY hRootKey, const CORVWCharString& szKeyName, REGSAM samDesired, bool bCreateIfMissing,
                  DWORD dwOptions);
  CORVRegistryKey(const CORVRegistryKey&) = delete;
  CORVRegistryKey& operator=(const CORVRegistryKey&) = delete;
  virtual ~CORVRegistryKey();

  // Opens the key and closes it again.
  virtual bool exists();
  // szExportFileName must not be empty; bReplaceFile deletes the file first.
  virtual bool save(const CORVWCharString& szExportFileName, DWORD format, bool bReplaceFile);
  virtual bool restore(const CORVWCharString& szImportFileName, DWORD flags);

  // With m_bCreateIfMissing a missing key is created first.
  bool open();
  bool close();
  // Makes sure the key exists; the object ends closed.
  bool create();
  // Closes the key and stores the mask, e.g. to retry in another view.
  bool setAccess(REGSAM samDesired);
  // The whole path, or its last component (false when it has no backslash).
  bool getName(CORVWCharString& out, bool bFullPath) const;

  // Characters without terminator, and bytes for value data.
  bool getMaxSubKeyNameLength(ULONG& ulLength);
  bool getMaxValueNameLength(ULONG& ulLength);
  bool getMaxValueDataLength(ULONG& ulLength);

  // outKey becomes a closed key for subkey number dwIndex; false past the last.
  bool enumSubKey(CORVRegistryKey& outKey, DWORD dwIndex);
  // The last path components of all subkeys, tagged 1, 2, 3, ...
  bool enumSubKeys(CORVWCharStringList& list);
  // The names of all named values, tagged 0; true when there is one.
  bool enumValueNames(CORVWCharStringList& list);
  // Every named value with its type and data, tagged by position; false and
  // list unchanged when the key has no named values.
  bool getValues(CORVRegistryValentList& list);

  bool isOpen() const { return m_bOpen; }
  HKEY getRootKey() const { return m_hRootKey; }
  REGSAM getAccess() const { return m_samDesired; }

 protected:
  // Closes the key at the end of a scope, on every path out of it.
  class CloseAtEnd {
   public:
    explicit CloseAtEnd(CORVRegistryKey& key) : m_key(key) {}
    ~CloseAtEnd() { m_key.close(); }
    CloseAtEnd(const CloseAtEnd&) = delete;
    CloseAtEnd& operator=(const CloseAtEnd&) = delete;

   private:
    CORVRegistryKey& m_key;
  };

  // Opens the key unless it is open already.
  bool openIfClosed() { return m_bOpen || open(); }

  CORVWCharString m_szKeyName;
  REGSAM m_samDesired;
  DWORD m_dwOptions;
  HKEY m_hKey;
  bool m_bCreateIfMissing;
  bool m_bOpen;
  HKEY m_hRootKey;

 private:
  enum class InfoFigure { MaxSubKeyName, MaxValueName, MaxValueData };
  bool queryInfo(InfoFigure figure, ULONG& ulFigure);
  // Points this object at another key, closed.
  bool rebind(HKEY hRootKey, const CORVWCharString& szKeyName, REGSAM samDesired, DWORD dwOptions);
  // The text export and import of the registry file format.
  bool saveAsText(const CORVWCharString& szExportFileName, bool bReplaceFile);
  bool restoreFromText(const CORVWCharString& szImportFileName);
};
