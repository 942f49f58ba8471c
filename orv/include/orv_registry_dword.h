// CORVRegistryDword: a REG_DWORD value with its number cached. A successful
// read or write makes the cache valid.
#pragma once

#include "orv_registry_value.h"

typedef CORVRegistryTypedValue<DWORD> CORVRegistryDwordValue;

typedef CORVDblList<CORVObjNode<CORVRegistryDwordValue>> CORVRegistryDwordValueList;

class ORV_API CORVRegistryDword : public CORVRegistryValue {
 public:
  CORVRegistryDword(HKEY hRootKey, const CORVWCharString& szKeyName, const CORVWCharString& szValueName,
                    REGSAM samDesired, bool bCreateIfMissing, DWORD dwOptions);

  // With bCreateIfMissing a missing value is created as 0.
  bool readRegistry() override;
  bool writeRegistry() override;

  bool getValue(DWORD& out, bool bUseCache);
  bool setValue(DWORD value, bool bCacheOnly);

  // The key's REG_DWORD values; one of fewer than four bytes reads 0.
  bool enumValues(CORVRegistryDwordValueList& list);

 private:
  bool m_bValid;
  DWORD m_dwValue;
};
