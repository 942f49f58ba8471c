#include "profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <memory>
#include <thread>

#include "core/posix_error.h"
#include "core/posix_io.h"

namespace orv_posix {

namespace {

constexpr int kMaxLockAttempts = 1000;
constexpr std::chrono::seconds kLockPatience(30);

bool failWith(DWORD error) {
  SetLastError(error);
  return false;
}

bool failWithErrno(const std::string& path) { return failWith(win32ErrorFromErrno(errno, path)); }

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool pathOf(LPCWSTR fileName, std::string& path) {
  if (fileName == nullptr) return failWith(ERROR_INVALID_PARAMETER);
  if (!utf8PathOf(fileName, path) || path.empty()) return failWith(ERROR_PATH_NOT_FOUND);
  return true;
}

// Reads from the start of a freshly opened file.
bool readWhole(int fd, const struct stat& info, std::string& bytes) {
  if (static_cast<unsigned long long>(info.st_size) > kMaxProfileFileBytes) return failWith(ERROR_NOT_ENOUGH_MEMORY);
  bytes.clear();
  bytes.reserve(static_cast<size_t>(info.st_size));
  if (!readAll(fd, bytes, kMaxProfileFileBytes)) return failWith(ERROR_READ_FAULT);
  // The file may have grown since fstat.
  return bytes.size() <= kMaxProfileFileBytes || failWith(ERROR_NOT_ENOUGH_MEMORY);
}

// Takes the exclusive lock within kLockPatience; a holder that keeps it
// longer makes the call fail as a sharing violation rather than hang.
bool lockWholeFile(int fd) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
  auto pause = std::chrono::milliseconds(1);
  while (fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EACCES) return false;
    if (std::chrono::steady_clock::now() >= deadline) {
      errno = EBUSY;
      return false;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(16));
  }
  return true;
}

// Locks the file that the path names now. A writer that got the lock
// before us may have replaced the file meanwhile: the lock we hold is then
// on the old file, and we start again. Open file description locks exclude
// other threads of this process too.
bool lockCurrentFile(const std::string& path, bool create, FileDescriptor& locked, struct stat& info) {
  for (int attempt = 0; attempt < kMaxLockAttempts; ++attempt) {
    locked = openRegularFile(path, O_RDWR | (create ? O_CREAT : 0), &info);
    if (!locked.valid() || !lockWholeFile(locked.get())) return failWithErrno(path);
    struct stat current {};
    const bool found = ::stat(path.c_str(), &current) == 0;
    if (found && sameFile(current, info)) return true;
    if (!found && errno == ENOENT && !create) return failWith(ERROR_FILE_NOT_FOUND);
  }
  return failWith(ERROR_SHARING_VIOLATION);  // replaced over and over by others
}

// The file that a rename must replace: a symbolic link stays a link, and
// the file it points to receives the new contents.
bool replacementTarget(const std::string& path, std::string& target) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0) return failWithErrno(path);
  if (!S_ISLNK(link.st_mode)) {
    target = path;
    return true;
  }
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
  if (!resolved) return failWithErrno(path);
  target = resolved.get();
  return true;
}

// A crash leaves the old file or the new one, never a mix; the new one keeps
// the old one's mode, and its owner where the writer may give it.
bool replaceFile(const std::string& target, const struct stat& original, const std::string& bytes) {
  ReplacementAttributes attributes;
  attributes.mode = original.st_mode & 07777;
  attributes.keepOwner = true;
  attributes.owner = original.st_uid;
  attributes.group = original.st_gid;
  if (replaceFileAtomically(target, bytes, attributes)) return true;
  const DWORD error = win32ErrorFromErrno(errno, target);
  return failWith(error == ERROR_SUCCESS ? ERROR_WRITE_FAULT : error);
}

}  // namespace

// A relative name is taken from the current folder (Windows would look in
// the Windows folder).
bool readProfileFile(LPCWSTR fileName, std::string& bytes) {
  ErrnoKeeper keepErrno;
  std::string path;
  if (!pathOf(fileName, path)) return false;
  struct stat info {};
  const FileDescriptor file = openRegularFile(path, O_RDONLY, &info);
  if (!file.valid()) return failWithErrno(path);
  return readWhole(file.get(), info, bytes);
}

// A relative name is taken from the current folder (Windows would look in
// the Windows folder).
bool updateProfileFile(LPCWSTR fileName, bool createIfMissing, const std::function<bool(std::string&)>& edit) {
  ErrnoKeeper keepErrno;
  std::string path;
  if (!pathOf(fileName, path)) return false;
  FileDescriptor locked;
  struct stat info {};
  if (!lockCurrentFile(path, createIfMissing, locked, info)) {
    return !createIfMissing && GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  std::string bytes;
  if (!readWhole(locked.get(), info, bytes)) return false;
  if (!edit(bytes)) return true;
  std::string target;
  return replacementTarget(path, target) && replaceFile(target, info, bytes);
}

}  // namespace orv_posix
