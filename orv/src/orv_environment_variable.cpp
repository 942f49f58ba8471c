#include "orv_environment_variable.h"

#include "orv_catch.h"
#include "orv_exceptions.h"
#include "orv_trace_scope.h"

namespace {
// The largest value Windows holds, terminator included.
constexpr DWORD kMaxValueChars = 32767;
}  // namespace

CORVEnvironmentVariable::CORVEnvironmentVariable(const CORVWCharString& strName) : m_strName(strName) {
  ORV_TRACE_AT("CORVEnvironmentVariable", "CORVEnvironmentVariable", 28);
  ORV_TRACE_RESULT(true);
}

bool CORVEnvironmentVariable::getValue(CORVWCharString& out) const {
  ORV_TRACE_AT("CORVEnvironmentVariable", "getValue", 125);
  bool bFound = false;
  try {
    if (m_strName.getLength() == 0) ORV_THROW_IN_PLACE(CORVUnknownVariableNameException, ORV_NO_ERROR_CODE, 133);
    CORVBuffer<WCHAR> value(kMaxValueChars);
    const DWORD dwLength = GetEnvironmentVariableW(m_strName.getBuffer(), value.getBuffer(), kMaxValueChars);
    // A count not below the buffer is the size a longer value would need.
    if (dwLength != 0 && dwLength < kMaxValueChars) {
      CORVWCharString strValue(value);
      if (strValue.getLength() == dwLength) {
        out.swap(strValue);
        bFound = true;
      }
    }
  }
  // Anything else is logged here too rather than thrown: callers of the
  // library test results and do not catch.
  ORV_CATCH_THEN(ORV_NO_ERROR_CODE, 160, bFound = false)
  ORV_TRACE_LOGICAL_RESULT(bFound);
  return bFound;
}
