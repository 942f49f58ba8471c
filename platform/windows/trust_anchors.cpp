#include "orv_platform/trust_anchors.h"

// Windows keeps its trust in the system's certificate stores, which only
// administrators change: nothing is ever ignored here.
std::vector<std::basic_string<WCHAR>> orv_platform::takeIgnoredTrustAnchors() { return {}; }
