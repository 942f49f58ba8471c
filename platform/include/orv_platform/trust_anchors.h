// Trust anchors that the signature checks refused to use: a trust folder or
// anchor file that someone other than root or the running user owns, or that
// a group or others may write. The library names each in its log.
#pragma once

#include <string>
#include <vector>

#include "orv_win32.h"

namespace orv_platform {

// The folders and files that the signature checks of this process ignored
// since the last call, each named once; empty on Windows, whose trust is the
// system's own.
std::vector<std::basic_string<WCHAR>> takeIgnoredTrustAnchors();

}  // namespace orv_platform
