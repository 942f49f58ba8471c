// CORVRegistryValent: one value of a key as the registry holds it: its name,
// its type and its raw bytes. CORVRegistryKey::getValues lists them; the
// typed value classes pick their own type out of such a list.
#pragma once

#include "orv_buffer.h"
#include "orv_wchar_string.h"
#include "orv_win32.h"

class ORV_API CORVRegistryValent {
 public:
  CORVRegistryValent() = default;
  // ulNumBytes bytes at pData (null or 0 gives no data).
  CORVRegistryValent(const CORVWCharString& name, DWORD type, const BYTE* pData, ULONG ulNumBytes);

  // Type, name and data all equal.
  bool operator==(const CORVRegistryValent& other) const;
  bool operator!=(const CORVRegistryValent& other) const { return !(*this == other); }

  // The data read as UTF-16 text up to its first 0 (an odd last byte fills
  // the low half of the last code unit).
  CORVWCharString getText() const;
  // The first four bytes, little-endian; 0 when there are fewer.
  DWORD getDword() const;

  CORVWCharString m_name;
  CORVBuffer<BYTE> m_data;
  DWORD m_type = REG_NONE;
};
