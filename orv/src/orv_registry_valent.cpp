#include "orv_registry_valent.h"

CORVRegistryValent::CORVRegistryValent(const CORVWCharString& name, DWORD type, const BYTE* pData, ULONG ulNumBytes)
    : m_name(name), m_data(pData, pData == nullptr ? 0 : ulNumBytes), m_type(type) {}

bool CORVRegistryValent::operator==(const CORVRegistryValent& other) const {
  return m_type == other.m_type && m_name == other.m_name && m_data == other.m_data;
}

CORVWCharString CORVRegistryValent::getText() const { return CORVWCharString(CORVBuffer<WCHAR>(m_data)); }

DWORD CORVRegistryValent::getDword() const {
  if (m_data.getNumElems() < 4) return 0;
  const BYTE* const bytes = m_data.getBuffer();
  return static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 | static_cast<DWORD>(bytes[2]) << 16 |
         static_cast<DWORD>(bytes[3]) << 24;
}
