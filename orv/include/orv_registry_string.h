// CORVRegistryString: a REG_SZ value with its text cached. A read takes at
// most 520 bytes (259 characters and the terminator); a longer value cannot
// be read through this class.
#pragma once

#include "orv_registry_value.h"

typedef CORVRegistryTypedValue<CORVWCharString> CORVRegistryStringValue;

typedef CORVDblList<CORVObjNode<CORVRegistryStringValue>> CORVRegistryStringValueList;

class ORV_API CORVRegistryString : public CORVRegistryValue {
 public:
  static constexpr DWORD kReadBufferBytes = 520;

  CORVRegistryString(HKEY hRootKey, const CORVWCharString& szKeyName, const CORVWCharString& szValueName,
                     REGSAM samDesired, bool bCreateIfMissing, DWORD dwOptions);

  // A read leaves m_bValid alone, so only a write or setValue(x, false)
  // lets bUseCache answer without reading.
  bool readRegistry() override;
  bool writeRegistry() override;

  bool getValue(CORVWCharString& out, bool bUseCache);
  bool setValue(const CORVWCharString& value, bool bCacheOnly);

  // The key's REG_SZ values.
  bool enumValues(CORVRegistryStringValueList& list);

 protected:
  // The cache written as a value of the given type: text and terminator
  // (an empty cache writes no bytes).
  bool writeString(DWORD type, const WCHAR* className);

  bool m_bValid;
  CORVWCharString m_szRegStringCache;
};
