// CORVRegistryValue: one value of one registry key, with a cached copy of
// its data in the concrete classes. readRegistry() fills the cache from the
// registry, writeRegistry() stores it; both open the key when it is closed
// and close it again on every path.
#pragma once

#include "orv_dbllist.h"
#include "orv_registry_key.h"

// One value of a key of one registry type, as the value classes'
// enumValues list them: its name and its typed data.
template <typename T>
class CORVRegistryTypedValue {
 public:
  bool operator==(const CORVRegistryTypedValue& other) const {
    return m_name == other.m_name && m_value == other.m_value;
  }
  bool operator!=(const CORVRegistryTypedValue& other) const { return !(*this == other); }

  CORVWCharString m_name;
  T m_value{};
};

class ORV_API CORVRegistryValue : public CORVRegistryKey {
 public:
  // An empty szValueName names the key's default value.
  CORVRegistryValue(HKEY hRootKey, const CORVWCharString& szKeyName, const CORVWCharString& szValueName,
                    REGSAM samDesired, bool bCreateIfMissing, DWORD dwOptions);

  virtual bool readRegistry() = 0;
  virtual bool writeRegistry() = 0;

  const CORVWCharString& getValueName() const { return m_szValueName; }

 protected:
  // With bUseCache and a valid cache, out receives the cache without a
  // registry read; otherwise after a successful readRegistry().
  template <typename T>
  bool answerFromCache(bool bUseCache, bool bValid, const T& cache, T& out) {
    if (!(bUseCache && bValid) && !readRegistry()) return false;
    out = cache;
    return true;
  }

  // RegQueryValueExW of this value on the open key, type not checked.
  LSTATUS queryValue(BYTE* pData, DWORD& cbData);
  // The common write: open when closed, RegSetValueExW, close. Success sets
  // bValid; a failure raises CORVRegValueSetException naming className.
  bool writeValue(DWORD type, const BYTE* pData, DWORD cbData, const WCHAR* className, bool& bValid);

  // The records of one registry type among the key's values, tagged 0, 1, 2, ...
  template <typename Record, typename MakeRecord>
  bool enumValuesOfType(CORVDblList<CORVObjNode<Record>>& list, DWORD type, MakeRecord makeRecord) {
    list.clear();
    CORVRegistryValentList values;
    if (!getValues(values)) return false;
    INT tag = 0;
    values.moveFirst();
    for (const CORVRegistryValent* value = values.getCurrentData(); value != nullptr;
         value = values.moveNext() ? values.getCurrentData() : nullptr) {
      if (value->m_type == type) list.addTail(makeRecord(*value), tag++);
    }
    return true;
  }

  CORVWCharString m_szValueName;
};
