#include "orv_trace_scope.h"

// Tracing writes nothing until the log framework is in place; the scope
// already has its final shape so that traced methods need no change then.
CORVTraceScope::CORVTraceScope(const WCHAR*, const WCHAR*, const WCHAR*, ULONG, USHORT, bool, bool) {}

CORVTraceScope::~CORVTraceScope() = default;

void CORVTraceScope::setResult(bool) {}

void CORVTraceScope::setLogicalResult(bool) {}
