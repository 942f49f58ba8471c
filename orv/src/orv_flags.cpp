#include "orv_flags.h"

#include "orv_trace_scope.h"

CORVFlags::CORVFlags(ULONG ulFlags) : m_ulFlags(ulFlags) {
  ORV_TRACE_AT("CORVFlags", "CORVFlags", 45);
  ORV_TRACE_RESULT(true);
}

bool CORVFlags::operator!=(const CORVFlags& other) const {
  ORV_TRACE_AT("CORVFlags", "operator!=", 131);
  const bool bDiffer = m_ulFlags != other.m_ulFlags;
  ORV_TRACE_LOGICAL_RESULT(bDiffer);
  return bDiffer;
}

bool CORVFlags::hasFlags(ULONG ulMask) const {
  ORV_TRACE_AT("CORVFlags", "hasFlags", 281);
  const bool bHas = (m_ulFlags & ulMask) == ulMask;
  ORV_TRACE_LOGICAL_RESULT(bHas);
  return bHas;
}
