// CORVProductRegistryInfo: one registry location of an installed product: a
// key under HKEY_LOCAL_MACHINE and the names of its version and install
// path string values.
#pragma once

#include "orv_wchar_string.h"

class ORV_API CORVProductRegistryInfo {
 public:
  CORVProductRegistryInfo(const CORVWCharString& strKey, const CORVWCharString& strVersionValue,
                          const CORVWCharString& strInstallPathValue);
  CORVProductRegistryInfo(const CORVProductRegistryInfo& other);
  virtual ~CORVProductRegistryInfo();
  virtual CORVProductRegistryInfo& operator=(const CORVProductRegistryInfo& other);
  // A null pointer leaves this location as it is.
  virtual CORVProductRegistryInfo& operator=(const CORVProductRegistryInfo* pOther);

  bool operator==(const CORVProductRegistryInfo& other) const;
  bool operator!=(const CORVProductRegistryInfo& other) const;

  const CORVWCharString& getKey() const { return m_strKey; }
  const CORVWCharString& getVersionValue() const { return m_strVersionValue; }
  const CORVWCharString& getInstallPathValue() const { return m_strInstallPathValue; }

 private:
  CORVWCharString m_strKey;
  CORVWCharString m_strVersionValue;
  CORVWCharString m_strInstallPathValue;
};
