#include "orv_product_registryinfo.h"

#include "orv_catch.h"
#include "orv_trace_scope.h"

CORVProductRegistryInfo::CORVProductRegistryInfo(const CORVWCharString& strKey, const CORVWCharString& strVersionValue,
                                                 const CORVWCharString& strInstallPathValue)
    : m_strKey(strKey), m_strVersionValue(strVersionValue), m_strInstallPathValue(strInstallPathValue) {
  ORV_TRACE("CORVProductRegistryInfo", "Constructor");
  ORV_TRACE_RESULT(true);
}

CORVProductRegistryInfo::CORVProductRegistryInfo(const CORVProductRegistryInfo& other)
    : m_strKey(other.m_strKey),
      m_strVersionValue(other.m_strVersionValue),
      m_strInstallPathValue(other.m_strInstallPathValue) {
  ORV_TRACE("CORVProductRegistryInfo", "Copy Constructor");
  ORV_TRACE_RESULT(true);
}

CORVProductRegistryInfo::~CORVProductRegistryInfo() {
  ORV_TRACE("CORVProductRegistryInfo", "Destructor");
  ORV_TRACE_RESULT(true);
}

CORVProductRegistryInfo& CORVProductRegistryInfo::operator=(const CORVProductRegistryInfo& other) {
  ORV_TRACE("CORVProductRegistryInfo", "operator=");
  try {
    m_strKey = other.m_strKey;
    m_strVersionValue = other.m_strVersionValue;
    m_strInstallPathValue = other.m_strInstallPathValue;
    ORV_TRACE_RESULT(true);
  }
  ORV_CATCH_LOG()
  return *this;
}

CORVProductRegistryInfo& CORVProductRegistryInfo::operator=(const CORVProductRegistryInfo* pOther) {
  return pOther == nullptr ? *this : (*this = *pOther);
}

bool CORVProductRegistryInfo::operator==(const CORVProductRegistryInfo& other) const {
  ORV_TRACE("CORVProductRegistryInfo", "operator==");
  const bool equal = m_strInstallPathValue == other.m_strInstallPathValue && m_strKey == other.m_strKey &&
                     m_strVersionValue == other.m_strVersionValue;
  ORV_TRACE_LOGICAL_RESULT(equal);
  return equal;
}

bool CORVProductRegistryInfo::operator!=(const CORVProductRegistryInfo& other) const {
  ORV_TRACE("CORVProductRegistryInfo", "operator!=");
  const bool different = !(*this == other);
  ORV_TRACE_LOGICAL_RESULT(different);
  return different;
}
