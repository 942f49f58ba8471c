#include "orv_registry_binary.h"

#include "orv_catch.h"

CORVRegistryBinary::CORVRegistryBinary(HKEY hRootKey, const CORVWCharString& szKeyName,
                                       const CORVWCharString& szValueName, REGSAM samDesired, bool bCreateIfMissing,
                                       DWORD dwOptions)
    : CORVRegistryValue(hRootKey, szKeyName, szValueName, samDesired, bCreateIfMissing, dwOptions), m_bValid(false) {}

bool CORVRegistryBinary::readRegistry() {
  try {
    if (!openIfClosed()) return false;
    CloseAtEnd closer(*this);
    DWORD size = 0;
    if (queryValue(nullptr, size) != ERROR_SUCCESS) size = 0;
    CORVBuffer<BYTE> data(size);
    const LSTATUS status = queryValue(data.getBuffer(), size);
    if (status == ERROR_SUCCESS) {
      // The value may have shrunk since its size was asked; it cannot have
      // grown, or the query would have failed.
      if (size < data.getNumElems()) data.resize(size);
      if (size > data.getNumElems()) return false;
      m_data.swap(data);
      m_bValid = true;
      return true;
    }
    if (status == ERROR_FILE_NOT_FOUND && m_bCreateIfMissing) return setValue(CORVBuffer<BYTE>(), false);
    return false;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryBinary::writeRegistry() {
  return writeValue(REG_BINARY, m_data.getBuffer(), m_data.getNumElems(), ORV_W("CORVRegistryBinary"), m_bValid);
}

bool CORVRegistryBinary::getValue(CORVBuffer<BYTE>& out, bool bUseCache) {
  try {
    return answerFromCache(bUseCache, m_bValid, m_data, out);
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryBinary::setValue(const CORVBuffer<BYTE>& value, bool bCacheOnly) {
  try {
    m_data = value;
    return bCacheOnly || writeRegistry();
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryBinary::enumValues(CORVRegistryBinaryValueList& list) {
  try {
    return enumValuesOfType(list, REG_BINARY, [](const CORVRegistryValent& value) {
      return CORVRegistryBinaryValue{value.m_name, value.m_data};
    });
  }
  ORV_CATCH_RETURN(false)
}
