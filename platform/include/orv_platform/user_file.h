// Files that one user's programs share and no other user may read or write:
// a folder and files made owner-only whatever the process's umask, a check
// that refuses what another user owns or may write, an exclusive lock that
// holds across processes, and a whole-file replace that a reader never sees
// half done. One interface, one small implementation per OS
// (posix/files/user_file.cpp, windows/user_file.cpp). Paths are UTF-8.
// The checks return why a path cannot be used, or an empty text when it can.
#pragma once

#include <memory>
#include <string>

#include "orv_api.h"

namespace orv_platform {

class ORV_API FileLock {
 public:
  // Waits until this process holds the lock file `path` (made, owner-only,
  // when missing). Null when the file cannot be opened or fails the same
  // test as checkPrivateFile; `problem`, when given, then says why.
  static std::unique_ptr<FileLock> acquire(const std::string& path, std::string* problem = nullptr);
  virtual ~FileLock() = default;  // releases the lock
};

// Makes the folder `path` (and missing parents) that only its owner may
// enter. A folder that exists already must be this user's; one that group
// or others may write is made 0700.
ORV_API std::string makePrivateFolder(const std::string& path);

// An existing file must be a plain file (not a link), this user's, and
// writable by no one else; its read bits for others are cleared. A missing
// file passes, with `exists` false.
ORV_API std::string checkPrivateFile(const std::string& path, bool& exists);
// The same check; `identity` then tells the file checked from any other that
// takes its place at `path` later (its volume and file number), so that a
// caller holding the file open can see it replaced. Empty when it is missing.
ORV_API std::string checkPrivateFile(const std::string& path, bool& exists, std::string& identity);

// Makes `path` an empty owner-only file when it is missing, then checks it
// as checkPrivateFile does.
ORV_API std::string makePrivateFile(const std::string& path);

// Writes `bytes` to a new file beside `path` that only its owner may read
// and write, flushes it to disk and moves it over `path` in one step; the
// move itself is flushed too, so a replace that returned survives a crash.
ORV_API bool replaceFile(const std::string& path, const std::string& bytes);

// The folder of this user's application data: $XDG_DATA_HOME, else
// ~/.local/share on Linux; %LOCALAPPDATA% on Windows. Empty when unknown.
ORV_API std::string userDataFolder();

}  // namespace orv_platform
