#include "orv_registry_value.h"

#include "orv_catch.h"
#include "orv_exceptions.h"

CORVRegistryValue::CORVRegistryValue(HKEY hRootKey, const CORVWCharString& szKeyName,
                                     const CORVWCharString& szValueName, REGSAM samDesired, bool bCreateIfMissing,
                                     DWORD dwOptions)
    : CORVRegistryKey(hRootKey, szKeyName, samDesired, bCreateIfMissing, dwOptions) {
  m_szValueName = szValueName;
  if (m_szValueName != szValueName) ORV_THROW_IN_PLACE(CORVRegKeyInitException, ORV_NO_ERROR_CODE, __LINE__);
}

LSTATUS CORVRegistryValue::queryValue(BYTE* pData, DWORD& cbData) {
  return RegQueryValueExW(m_hKey, m_szValueName.getBuffer(), nullptr, nullptr, pData, &cbData);
}

bool CORVRegistryValue::writeValue(DWORD type, const BYTE* pData, DWORD cbData, const WCHAR* className, bool& bValid) {
  try {
    if (!openIfClosed()) return false;
    CloseAtEnd closer(*this);
    const LSTATUS status = RegSetValueExW(m_hKey, m_szValueName.getBuffer(), 0, type, pData, cbData);
    if (status != ERROR_SUCCESS)
      throw CORVRegValueSetException(m_szKeyName.getTextOrEmpty(), m_szValueName.getBuffer(),
                                     static_cast<DWORD>(status), className, ORV_W("writeRegistry"), ORV_SOURCE_FILE,
                                     __LINE__, ORV_OUTPUT_TEXT, true, false);
    bValid = true;
    return true;
  }
  ORV_CATCH_RETURN(false)
}
