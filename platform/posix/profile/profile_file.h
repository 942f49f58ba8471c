// The bytes of a profile file: read whole, and replaced whole and atomically
// under a lock, so that readers never see half a file and writers in other
// threads or processes never lose each other's updates.
#pragma once

#include <functional>
#include <string>

#include "orv_win32.h"

namespace orv_posix {

// Larger files are refused rather than read into memory.
constexpr size_t kMaxProfileFileBytes = 16u << 20;

// False with the last error set when the file cannot be read.
bool readProfileFile(LPCWSTR fileName, std::string& bytes);

// Locks the file, hands its bytes to edit and, when edit reports a change,
// replaces the file with the edited bytes. A missing file is created only
// when createIfMissing is set; otherwise the edit sees no call and the
// result is true. False with the last error set on failure; the file is
// then as it was.
bool updateProfileFile(LPCWSTR fileName, bool createIfMissing, const std::function<bool(std::string&)>& edit);

}  // namespace orv_posix
