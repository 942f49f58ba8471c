// CORVEnvironmentVariable: one environment variable of the running process,
// by name.
#pragma once

#include "orv_wchar_string.h"

class ORV_API CORVEnvironmentVariable {
 public:
  // Throws CORVBufferInitException when the name cannot be copied.
  explicit CORVEnvironmentVariable(const CORVWCharString& strName);

  // out receives the current value. False, with out unchanged, when the
  // variable is not set, is set to the empty text, or the name is empty.
  bool getValue(CORVWCharString& out) const;

 private:
  CORVWCharString m_strName;
};
