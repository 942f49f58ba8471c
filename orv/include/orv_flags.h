// CORVFlags: a 32-bit set of option bits.
#pragma once

#include "orv_win32.h"

class ORV_API CORVFlags {
 public:
  CORVFlags(ULONG ulFlags);

  // The two flag words differ.
  bool operator!=(const CORVFlags& other) const;
  // Every bit of ulMask is set; true for a mask of 0.
  bool hasFlags(ULONG ulMask) const;

  ULONG getFlags() const { return m_ulFlags; }

 private:
  ULONG m_ulFlags;
};
