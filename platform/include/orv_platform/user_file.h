// A file that one user's programs share and no other user may read: an
// exclusive lock that holds across processes, and a whole-file replace that
// a reader never sees half done. One interface, one small implementation per
// OS (posix/user_file.cpp, windows/user_file.cpp). Paths are UTF-8.
#pragma once

#include <memory>
#include <string>

#include "orv_api.h"

namespace orv_platform {

class ORV_API FileLock {
 public:
  // Waits until this process holds the lock file `path` (made, readable by
  // its owner alone, when missing). Null when the file cannot be opened.
  static std::unique_ptr<FileLock> acquire(const std::string& path);
  virtual ~FileLock() = default;  // releases the lock
};

// Writes `bytes` to a new file beside `path` that only its owner may read
// and write, flushes it to disk and moves it over `path` in one step.
ORV_API bool replaceFile(const std::string& path, const std::string& bytes);

// The folder of this user's application data: $XDG_DATA_HOME, else
// ~/.local/share on Linux; %LOCALAPPDATA% on Windows. Empty when unknown.
ORV_API std::string userDataFolder();

}  // namespace orv_platform
