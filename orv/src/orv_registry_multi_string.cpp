#include "orv_registry_multi_string.h"

#include "orv_catch.h"
#include "orv_exceptions.h"

CORVRegistryMultiString::CORVRegistryMultiString(HKEY hRootKey, const CORVWCharString& szKeyName,
                                                 const CORVWCharString& szValueName, REGSAM samDesired,
                                                 bool bCreateIfMissing, DWORD dwOptions)
    : CORVRegistryValue(hRootKey, szKeyName, szValueName, samDesired, bCreateIfMissing, dwOptions), m_bValid(false) {}

bool CORVRegistryMultiString::toBytes(CORVWCharStringList& list, CORVBuffer<BYTE>& out) {
  try {
    if (list.getCount() == 0) return out.free();
    // Every element with its terminator, and the closing 0.
    ULONGLONG units = 1;
    list.moveFirst();
    for (const CORVWCharString* element = list.getCurrentData(); element != nullptr;
         element = list.moveNext() ? list.getCurrentData() : nullptr) {
      if (element->getLength() != 0) units += element->getLength() + 1;
    }
    if (units > 0x7FFFFFFFull)
      throw CORVMemAllocException(ORV_W("lpData"), ORV_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    CORVBuffer<WCHAR> layout(static_cast<ULONG>(units));
    ULONG position = 0;
    list.moveFirst();
    for (const CORVWCharString* element = list.getCurrentData(); element != nullptr;
         element = list.moveNext() ? list.getCurrentData() : nullptr) {
      const ULONG length = element->getLength();
      if (length == 0) continue;
      for (ULONG i = 0; i < length; ++i) layout[position++] = element->getBuffer()[i];
      ++position;  // the terminator, zero already
    }
    out = CORVBuffer<BYTE>(layout);
    return true;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryMultiString::fromBytes(const CORVBuffer<BYTE>& data, CORVWCharStringList& list) {
  try {
    list.clear();
    const CORVBuffer<WCHAR> units(data);
    const WCHAR* const text = units.getBuffer();
    const ULONG count = units.getNumElems();
    INT tag = 0;
    for (ULONG start = 0; start < count;) {
      ULONG end = start;
      while (end < count && text[end] != 0) ++end;
      // An empty string closes the list.
      if (end == start) break;
      if (!list.addTail(CORVWCharString(CORVBuffer<WCHAR>(text + start, end - start)), tag++)) return false;
      start = end + 1;
    }
    return true;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryMultiString::readRegistry() {
  try {
    ULONG maxDataLength = 0;
    if (!getMaxValueDataLength(maxDataLength) || !openIfClosed()) return false;
    CloseAtEnd closer(*this);
    CORVBuffer<BYTE> data(maxDataLength);
    DWORD size = maxDataLength;
    const LSTATUS status = queryValue(data.getBuffer(), size);
    if (status == ERROR_SUCCESS) {
      // Without a buffer the query only reports a size.
      if (size > data.getNumElems()) return false;
      if (size < data.getNumElems()) data.resize(size);
      m_bValid = fromBytes(data, m_list);
      return m_bValid;
    }
    if (status == ERROR_FILE_NOT_FOUND && m_bCreateIfMissing) return setValue(CORVWCharStringList(), false);
    return false;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryMultiString::writeRegistry() {
  try {
    CORVBuffer<BYTE> data;
    if (!toBytes(m_list, data)) return false;
    return writeValue(REG_MULTI_SZ, data.getBuffer(), data.getNumElems(), ORV_W("CORVRegistryMultiString"), m_bValid);
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryMultiString::getValue(CORVWCharStringList& out, bool bUseCache) {
  try {
    return answerFromCache(bUseCache, m_bValid, m_list, out);
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryMultiString::setValue(const CORVWCharStringList& value, bool bCacheOnly) {
  try {
    m_list = value;
    return bCacheOnly || writeRegistry();
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryMultiString::enumValues(CORVRegistryMultiStringValueList& list) {
  try {
    return enumValuesOfType(list, REG_MULTI_SZ, [](const CORVRegistryValent& value) {
      CORVRegistryMultiStringValue record;
      record.m_name = value.m_name;
      fromBytes(value.m_data, record.m_value);
      return record;
    });
  }
  ORV_CATCH_RETURN(false)
}
