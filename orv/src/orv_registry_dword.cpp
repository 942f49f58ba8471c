#include "orv_registry_dword.h"

#include "orv_catch.h"

CORVRegistryDword::CORVRegistryDword(HKEY hRootKey, const CORVWCharString& szKeyName,
                                     const CORVWCharString& szValueName, REGSAM samDesired, bool bCreateIfMissing,
                                     DWORD dwOptions)
    : CORVRegistryValue(hRootKey, szKeyName, szValueName, samDesired, bCreateIfMissing, dwOptions),
      m_bValid(false),
      m_dwValue(0) {}

bool CORVRegistryDword::readRegistry() {
  try {
    if (!openIfClosed()) return false;
    CloseAtEnd closer(*this);
    // A shorter value of another type reads zero-extended, not over old bits.
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status = queryValue(reinterpret_cast<BYTE*>(&value), size);
    if (status == ERROR_SUCCESS) {
      m_dwValue = value;
      m_bValid = true;
      return true;
    }
    if (status == ERROR_FILE_NOT_FOUND && m_bCreateIfMissing) return setValue(0, false);
    return false;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryDword::writeRegistry() {
  return writeValue(REG_DWORD, reinterpret_cast<const BYTE*>(&m_dwValue), sizeof(m_dwValue), ORV_W("CORVRegistryDword"),
                    m_bValid);
}

bool CORVRegistryDword::getValue(DWORD& out, bool bUseCache) {
  try {
    return answerFromCache(bUseCache, m_bValid, m_dwValue, out);
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryDword::setValue(DWORD value, bool bCacheOnly) {
  try {
    m_dwValue = value;
    return bCacheOnly || writeRegistry();
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryDword::enumValues(CORVRegistryDwordValueList& list) {
  try {
    return enumValuesOfType(list, REG_DWORD, [](const CORVRegistryValent& value) {
      return CORVRegistryDwordValue{value.m_name, value.getDword()};
    });
  }
  ORV_CATCH_RETURN(false)
}
