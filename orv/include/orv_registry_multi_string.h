// CORVRegistryMultiString: a REG_MULTI_SZ value with its strings cached.
//
// Layout (UTF-16LE): each non-empty string with its terminator, then one
// more 0; an empty list is zero bytes. Parsing stops at an empty string or
// at the end of the data.
#pragma once

#include "orv_registry_value.h"

typedef CORVRegistryTypedValue<CORVWCharStringList> CORVRegistryMultiStringValue;

typedef CORVDblList<CORVObjNode<CORVRegistryMultiStringValue>> CORVRegistryMultiStringValueList;

class ORV_API CORVRegistryMultiString : public CORVRegistryValue {
 public:
  CORVRegistryMultiString(HKEY hRootKey, const CORVWCharString& szKeyName, const CORVWCharString& szValueName,
                          REGSAM samDesired, bool bCreateIfMissing, DWORD dwOptions);

  // With bCreateIfMissing a missing value is created as an empty list.
  bool readRegistry() override;
  bool writeRegistry() override;

  bool getValue(CORVWCharStringList& out, bool bUseCache);
  bool setValue(const CORVWCharStringList& value, bool bCacheOnly);

  // The key's REG_MULTI_SZ values.
  bool enumValues(CORVRegistryMultiStringValueList& list);

  // The registry bytes of a list, and the list of registry bytes (tags 0, 1, 2, ...).
  static bool toBytes(CORVWCharStringList& list, CORVBuffer<BYTE>& out);
  static bool fromBytes(const CORVBuffer<BYTE>& data, CORVWCharStringList& list);

 private:
  bool m_bValid;
  CORVWCharStringList m_list;
};
