// CORVRegistryBinary: a REG_BINARY value with its bytes cached.
#pragma once

#include "orv_registry_value.h"

typedef CORVRegistryTypedValue<CORVBuffer<BYTE>> CORVRegistryBinaryValue;

typedef CORVDblList<CORVObjNode<CORVRegistryBinaryValue>> CORVRegistryBinaryValueList;

class ORV_API CORVRegistryBinary : public CORVRegistryValue {
 public:
  CORVRegistryBinary(HKEY hRootKey, const CORVWCharString& szKeyName, const CORVWCharString& szValueName,
                     REGSAM samDesired, bool bCreateIfMissing, DWORD dwOptions);

  // With bCreateIfMissing a missing value is created empty.
  bool readRegistry() override;
  bool writeRegistry() override;

  bool getValue(CORVBuffer<BYTE>& out, bool bUseCache);
  bool setValue(const CORVBuffer<BYTE>& value, bool bCacheOnly);

  // The key's REG_BINARY values.
  bool enumValues(CORVRegistryBinaryValueList& list);

 private:
  bool m_bValid;
  CORVBuffer<BYTE> m_data;
};
