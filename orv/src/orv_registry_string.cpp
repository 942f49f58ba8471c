#include "orv_registry_string.h"

#include "orv_catch.h"

CORVRegistryString::CORVRegistryString(HKEY hRootKey, const CORVWCharString& szKeyName,
                                       const CORVWCharString& szValueName, REGSAM samDesired, bool bCreateIfMissing,
                                       DWORD dwOptions)
    : CORVRegistryValue(hRootKey, szKeyName, szValueName, samDesired, bCreateIfMissing, dwOptions), m_bValid(false) {}

bool CORVRegistryString::readRegistry() {
  try {
    if (!openIfClosed()) return false;
    CloseAtEnd closer(*this);
    // One unit more than the registry may fill keeps the text terminated.
    WCHAR text[kReadBufferBytes / sizeof(WCHAR) + 1] = {};
    DWORD size = kReadBufferBytes;
    const LSTATUS status = queryValue(reinterpret_cast<BYTE*>(text), size);
    if (status == ERROR_SUCCESS) {
      m_szRegStringCache = text;
      return true;
    }
    if (status == ERROR_FILE_NOT_FOUND && m_bCreateIfMissing) return setValue(CORVWCharString(), false);
    return false;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryString::writeString(DWORD type, const WCHAR* className) {
  return writeValue(type, reinterpret_cast<const BYTE*>(m_szRegStringCache.getBuffer()),
                    m_szRegStringCache.getNumElems() * static_cast<DWORD>(sizeof(WCHAR)), className, m_bValid);
}

bool CORVRegistryString::writeRegistry() { return writeString(REG_SZ, ORV_W("CORVRegistryValue")); }

bool CORVRegistryString::getValue(CORVWCharString& out, bool bUseCache) {
  try {
    return answerFromCache(bUseCache, m_bValid, m_szRegStringCache, out);
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryString::setValue(const CORVWCharString& value, bool bCacheOnly) {
  try {
    m_szRegStringCache = value;
    return bCacheOnly || writeRegistry();
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryString::enumValues(CORVRegistryStringValueList& list) {
  try {
    return enumValuesOfType(list, REG_SZ, [](const CORVRegistryValent& value) {
      return CORVRegistryStringValue{value.m_name, value.getText()};
    });
  }
  ORV_CATCH_RETURN(false)
}
