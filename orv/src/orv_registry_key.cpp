#include "orv_registry_key.h"

#include <cwchar>
#include <new>

#include "orv_catch.h"
#include "orv_exceptions.h"
#include "orv_registry_file.h"
#include "orv_windowsprocess.h"

#define ORV_REGISTRY_KEY_CLASS ORV_W("CORVRegistryKey")

namespace {

// Hive files are written and read with the process's backup and restore
// privileges; they stay enabled afterwards.
bool enablePrivilege(const WCHAR* privilege) {
  CORVWindowsProcess process;
  HANDLE ownToken = nullptr;
  return process.setPrivilege(CORVWCharString(privilege), true, ownToken);
}

}  // namespace

CORVRegistryKey::CORVRegistryKey(HKEY hRootKey, const CORVWCharString& szKeyName, REGSAM samDesired,
                                 bool bCreateIfMissing, DWORD dwOptions)
    : m_samDesired(samDesired),
      m_dwOptions(dwOptions),
      m_hKey(nullptr),
      m_bCreateIfMissing(bCreateIfMissing),
      m_bOpen(false),
      m_hRootKey(hRootKey) {
  m_szKeyName = szKeyName;
  if (m_szKeyName != szKeyName) ORV_THROW_IN_PLACE(CORVRegKeyInitException, ORV_NO_ERROR_CODE, __LINE__);
}

CORVRegistryKey::~CORVRegistryKey() { close(); }

bool CORVRegistryKey::open() {
  try {
    if (m_bOpen) {
      CORVRegKeyAlreadyOpenWarning(m_szKeyName.getTextOrEmpty(), ORV_REGISTRY_KEY_CLASS, ORV_W("open"), ORV_SOURCE_FILE,
                                   __LINE__, ORV_OUTPUT_TEXT, true, false);
      close();
    }
    HKEY hKey = nullptr;
    LSTATUS status = RegOpenKeyExW(m_hRootKey, m_szKeyName.getBuffer(), 0, m_samDesired, &hKey);
    if ((status == ERROR_FILE_NOT_FOUND || status == ERROR_INVALID_HANDLE) && m_bCreateIfMissing && create())
      status = RegOpenKeyExW(m_hRootKey, m_szKeyName.getBuffer(), 0, m_samDesired, &hKey);
    if (status != ERROR_SUCCESS) return false;
    m_hKey = hKey;
    m_bOpen = true;
    return true;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryKey::close() {
  try {
    if (!m_bOpen) return true;
    const LSTATUS status = RegCloseKey(m_hKey);
    if (status != ERROR_SUCCESS)
      throw CORVRegCloseKeyWarning(m_szKeyName.getTextOrEmpty(), static_cast<DWORD>(status), ORV_REGISTRY_KEY_CLASS,
                                   ORV_W("close"), ORV_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    m_hKey = nullptr;
    m_bOpen = false;
    return true;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryKey::create() {
  try {
    if (!close()) return false;
    HKEY hKey = nullptr;
    const LSTATUS status = RegCreateKeyExW(m_hRootKey, m_szKeyName.getBuffer(), 0, nullptr, m_dwOptions, m_samDesired,
                                           nullptr, &hKey, nullptr);
    if (status != ERROR_SUCCESS)
      throw CORVRegKeyCreateException(m_szKeyName.getTextOrEmpty(), static_cast<DWORD>(status), ORV_REGISTRY_KEY_CLASS,
                                      ORV_W("create"), ORV_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    m_hKey = hKey;
    m_bOpen = true;
    close();
    return true;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryKey::exists() {
  try {
    CloseAtEnd closer(*this);
    return open();
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryKey::setAccess(REGSAM samDesired) {
  const bool closed = close();
  m_samDesired = samDesired;
  return closed;
}

bool CORVRegistryKey::getName(CORVWCharString& out, bool bFullPath) const {
  try {
    if (bFullPath) {
      out = m_szKeyName;
      return true;
    }
    const WCHAR* const lastSeparator = m_szKeyName.isValid() ? wcsrchr(m_szKeyName.getBuffer(), ORV_W('\\')) : nullptr;
    if (lastSeparator == nullptr) return false;
    out = CORVWCharString(lastSeparator + 1);
    return true;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryKey::queryInfo(InfoFigure figure, ULONG& ulFigure) {
  try {
    if (!openIfClosed()) return false;
    CloseAtEnd closer(*this);
    DWORD maxSubKeyName = 0;
    DWORD maxValueName = 0;
    DWORD maxValueData = 0;
    const LSTATUS status = RegQueryInfoKeyW(m_hKey, nullptr, nullptr, nullptr, nullptr, &maxSubKeyName, nullptr,
                                            nullptr, &maxValueName, &maxValueData, nullptr, nullptr);
    if (status != ERROR_SUCCESS)
      throw CORVRegQueryInfoKeyException(m_szKeyName.getTextOrEmpty(), static_cast<DWORD>(status), ORV_SOURCE_FILE,
                                         __LINE__, ORV_OUTPUT_TEXT, true, false);
    switch (figure) {
      case InfoFigure::MaxSubKeyName: ulFigure = maxSubKeyName; break;
      case InfoFigure::MaxValueName: ulFigure = maxValueName; break;
      case InfoFigure::MaxValueData: ulFigure = maxValueData; break;
    }
    return true;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryKey::getMaxSubKeyNameLength(ULONG& ulLength) { return queryInfo(InfoFigure::MaxSubKeyName, ulLength); }

bool CORVRegistryKey::getMaxValueNameLength(ULONG& ulLength) { return queryInfo(InfoFigure::MaxValueName, ulLength); }

bool CORVRegistryKey::getMaxValueDataLength(ULONG& ulLength) { return queryInfo(InfoFigure::MaxValueData, ulLength); }

bool CORVRegistryKey::rebind(HKEY hRootKey, const CORVWCharString& szKeyName, REGSAM samDesired, DWORD dwOptions) {
  if (!close()) return false;
  m_szKeyName = szKeyName;
  if (m_szKeyName != szKeyName) return false;
  m_hRootKey = hRootKey;
  m_samDesired = samDesired;
  m_dwOptions = dwOptions;
  m_bCreateIfMissing = false;
  return true;
}

bool CORVRegistryKey::enumSubKey(CORVRegistryKey& outKey, DWORD dwIndex) {
  try {
    ULONG maxNameLength = 0;
    if (!getMaxSubKeyNameLength(maxNameLength) || !openIfClosed()) return false;
    CORVBuffer<WCHAR> name(maxNameLength + 1);
    DWORD nameLength = maxNameLength + 1;
    const LSTATUS status =
        RegEnumKeyExW(m_hKey, dwIndex, name.getBuffer(), &nameLength, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return false;
    if (status != ERROR_SUCCESS)
      throw CORVRegEnumKeyException(m_szKeyName.getTextOrEmpty(), static_cast<DWORD>(status), ORV_W("CORVRegistrykey"),
                                    ORV_W("enumSubKeys"), ORV_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    // Below a root itself the subkey's name is its whole path.
    CORVWCharString path;
    if (m_szKeyName.isValid()) path = m_szKeyName + CORVWCharString(ORV_W('\\'));
    path += CORVWCharString(name.getBuffer());
    return outKey.rebind(m_hRootKey, path, m_samDesired, m_dwOptions);
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryKey::enumSubKeys(CORVWCharStringList& list) {
  try {
    list.clear();
    CORVRegistryKey subKey(nullptr, CORVWCharString(), KEY_ALL_ACCESS, false, 0);
    for (DWORD index = 0; enumSubKey(subKey, index); ++index) {
      CORVWCharString name;
      if (!subKey.getName(name, false) || name.getLength() == 0) break;
      if (!list.addTail(name, static_cast<INT>(index + 1))) break;
    }
    return true;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryKey::enumValueNames(CORVWCharStringList& list) {
  try {
    list.clear();
    ULONG maxNameLength = 0;
    if (!getMaxValueNameLength(maxNameLength) || !openIfClosed()) return false;
    CloseAtEnd closer(*this);
    for (DWORD index = 0;; ++index) {
      CORVBuffer<WCHAR> name(maxNameLength + 1);
      DWORD nameLength = maxNameLength + 1;
      const LSTATUS status =
          RegEnumValueW(m_hKey, index, name.getBuffer(), &nameLength, nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_NO_MORE_ITEMS) break;
      if (status != ERROR_SUCCESS)
        throw CORVRegEnumValueException(m_szKeyName.getTextOrEmpty(), static_cast<DWORD>(status),
                                        ORV_W("CORVRegistrykey"), ORV_W("enumValueNames"), ORV_SOURCE_FILE, __LINE__,
                                        ORV_OUTPUT_TEXT, true, false);
      if (nameLength != 0) list.addTail(CORVWCharString(name.getBuffer()), 0);
    }
    return list.getCount() != 0;
  }
  ORV_CATCH_RETURN(false)
}

namespace {

// The entries of one RegQueryMultipleValuesW call and the names they point to.
class ValueEntries {
 public:
  explicit ValueEntries(ULONG ulCount) : m_ulCount(ulCount), m_pValent(new (std::nothrow) VALENTW[ulCount]()) {
    if (m_pValent == nullptr)
      throw CORVMemAllocException(ORV_W("pValent"), ORV_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
  }
  ~ValueEntries() {
    for (ULONG i = 0; i < m_ulCount; ++i) delete[] m_pValent[i].ve_valuename;
    delete[] m_pValent;
  }
  ValueEntries(const ValueEntries&) = delete;
  ValueEntries& operator=(const ValueEntries&) = delete;

  // A failed copy leaves the entry without a name.
  void setName(ULONG ulIndex, const CORVWCharString& name) {
    const ULONG length = name.getLength();
    WCHAR* copy = new (std::nothrow) WCHAR[length + 1]();
    if (copy == nullptr) {
      orvLogDebug(ORV_W("pValent.ve_valuename = NULL"), ORV_SOURCE_FILE, __LINE__);
      return;
    }
    for (ULONG i = 0; i < length; ++i) copy[i] = name.getBuffer()[i];
    m_pValent[ulIndex].ve_valuename = copy;
  }

  VALENTW* get() { return m_pValent; }
  const VALENTW& operator[](ULONG ulIndex) const { return m_pValent[ulIndex]; }

 private:
  ULONG m_ulCount;
  VALENTW* m_pValent;
};

}  // namespace

bool CORVRegistryKey::getValues(CORVRegistryValentList& list) {
  try {
    CORVWCharStringList names;
    if (!enumValueNames(names)) return false;
    ULONG maxDataLength = 0;
    if (!getMaxValueDataLength(maxDataLength)) return false;

    const ULONG count = names.getCount();
    ValueEntries entries(count);
    names.moveFirst();
    for (ULONG i = 0; i < count; ++i, names.moveNext()) {
      const CORVWCharString* name = names.getCurrentData();
      if (name != nullptr) entries.setName(i, *name);
    }
    // Room for every value at the largest size, counted in 16-bit units.
    const ULONGLONG bytes = static_cast<ULONGLONG>(count) * (static_cast<ULONGLONG>(maxDataLength) + 1) * 2;
    if (bytes > 0xFFFFFFFFull)
      throw CORVMemAllocException(ORV_W("lpValueBuf"), ORV_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    CORVBuffer<WCHAR> data(static_cast<ULONG>(bytes / 2));

    if (!openIfClosed()) return false;
    CloseAtEnd closer(*this);
    DWORD totalSize = static_cast<DWORD>(bytes);
    const LSTATUS status = RegQueryMultipleValuesW(m_hKey, entries.get(), count, data.getBuffer(), &totalSize);
    if (status != ERROR_SUCCESS)
      throw CORVRegQueryMultipleValuesException(m_szKeyName.getTextOrEmpty(), static_cast<DWORD>(status),
                                                ORV_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    list.clear();
    for (ULONG i = 0; i < count; ++i) {
      const VALENTW& entry = entries[i];
      list.addTail(CORVRegistryValent(CORVWCharString(entry.ve_valuename), entry.ve_type,
                                      reinterpret_cast<const BYTE*>(entry.ve_valueptr), entry.ve_valuelen),
                   static_cast<INT>(i));
    }
    return true;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryKey::save(const CORVWCharString& szExportFileName, DWORD format, bool bReplaceFile) {
  try {
    CloseAtEnd closer(*this);
    if (szExportFileName.getLength() == 0)
      throw CORVBadArgException(ORV_W("szExportFileName"), ORV_W("filename must be non-null"), ORV_SOURCE_FILE,
                                __LINE__, ORV_OUTPUT_TEXT, true, false);
    if (format == kSaveFormatText) return saveAsText(szExportFileName, bReplaceFile);

    if (bReplaceFile) DeleteFileW(szExportFileName.getBuffer());
    if (!enablePrivilege(ORV_W("SeBackupPrivilege"))) return false;
    const LSTATUS status =
        openIfClosed() ? RegSaveKeyW(m_hKey, szExportFileName.getBuffer(), nullptr) : ERROR_INVALID_HANDLE;
    if (status != ERROR_SUCCESS)
      throw CORVRegSaveKeyException(m_szKeyName.getTextOrEmpty(), static_cast<DWORD>(status), ORV_REGISTRY_KEY_CLASS,
                                    ORV_W("save"), ORV_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    return true;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryKey::restore(const CORVWCharString& szImportFileName, DWORD flags) {
  try {
    CloseAtEnd closer(*this);
    if (szImportFileName.getLength() == 0)
      throw CORVBadArgException(ORV_W("szImportFileName"), ORV_W("filename must be non-null"), ORV_SOURCE_FILE,
                                __LINE__, ORV_OUTPUT_TEXT, true, false);
    if (flags == kRestoreFlagsText) return restoreFromText(szImportFileName);

    if (!enablePrivilege(ORV_W("SeRestorePrivilege"))) return false;
    const LSTATUS status =
        openIfClosed() ? RegRestoreKeyW(m_hKey, szImportFileName.getBuffer(), flags) : ERROR_INVALID_HANDLE;
    if (status != ERROR_SUCCESS)
      throw CORVRegRestoreKeyException(m_szKeyName.getTextOrEmpty(), static_cast<DWORD>(status), ORV_REGISTRY_KEY_CLASS,
                                       ORV_W("restore"), ORV_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    return true;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryKey::saveAsText(const CORVWCharString& szExportFileName, bool bReplaceFile) {
  return exportRegistryToFile(szExportFileName, m_hRootKey, m_szKeyName, bReplaceFile);
}

bool CORVRegistryKey::restoreFromText(const CORVWCharString& szImportFileName) {
  return importRegistryFromFile(szImportFileName);
}
