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

namespace orv_posix {

namespace {

constexpr int kMaxLockAttempts = 1000;
constexpr std::chrono::seconds kLockPatience(30);

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes and reports the result: a failed close can lose written data.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

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

// Non-blocking, so that a FIFO in the file's place cannot stall the call;
// anything but a regular file is refused as Windows refuses a folder.
int openRegularFile(const std::string& path, int flags, struct stat& info) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return -1;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return -1;
  }
  return fd;
}

bool readAll(int fd, const struct stat& info, std::string& bytes) {
  if (static_cast<unsigned long long>(info.st_size) > kMaxProfileFileBytes) return failWith(ERROR_NOT_ENOUGH_MEMORY);
  bytes.clear();
  bytes.reserve(static_cast<size_t>(info.st_size));
  char chunk[65536];
  for (off_t at = 0;;) {
    const ssize_t got = ::pread(fd, chunk, sizeof(chunk), at);
    if (got < 0) {
      if (errno == EINTR) continue;
      return failWith(ERROR_READ_FAULT);
    }
    if (got == 0) return true;
    // The file may have grown since fstat.
    if (bytes.size() + static_cast<size_t>(got) > kMaxProfileFileBytes) return failWith(ERROR_NOT_ENOUGH_MEMORY);
    bytes.append(chunk, static_cast<size_t>(got));
    at += got;
  }
}

bool writeAll(int fd, const std::string& bytes) {
  for (size_t written = 0; written < bytes.size();) {
    const ssize_t put = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    written += static_cast<size_t>(put);
  }
  return true;
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
bool lockCurrentFile(const std::string& path, bool create, Descriptor& locked, struct stat& info) {
  for (int attempt = 0; attempt < kMaxLockAttempts; ++attempt) {
    locked.reset(openRegularFile(path, O_RDWR | (create ? O_CREAT : 0), info));
    if (locked.get() < 0 || !lockWholeFile(locked.get())) return failWithErrno(path);
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

// Writes the bytes beside the target, flushes them to disk and renames them
// over it: a crash leaves the old file or the new one, never a mix.
bool replaceFile(const std::string& target, const struct stat& original, const std::string& bytes) {
  const size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temporary = folder + "." + name + ".XXXXXX";
  Descriptor out(::mkostemp(temporary.data(), O_CLOEXEC));
  if (out.get() < 0) return failWithErrno(target);
  bool written = writeAll(out.get(), bytes) && ::fchmod(out.get(), original.st_mode & 07777) == 0;
  if (written && (original.st_uid != ::geteuid() || original.st_gid != ::getegid()))
    (void)!::fchown(out.get(), original.st_uid, original.st_gid);  // only a privileged writer can keep the owner
  written = written && ::fsync(out.get()) == 0;
  written = out.close() && written;
  if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
    const DWORD error = win32ErrorFromErrno(errno, target);
    ::unlink(temporary.c_str());
    return failWith(error == ERROR_SUCCESS ? ERROR_WRITE_FAULT : error);
  }
  return true;
}

}  // namespace

// A relative name is taken from the current folder (Windows would look in
// the Windows folder).
bool readProfileFile(LPCWSTR fileName, std::string& bytes) {
  ErrnoKeeper keepErrno;
  std::string path;
  if (!pathOf(fileName, path)) return false;
  struct stat info {};
  Descriptor file(openRegularFile(path, O_RDONLY, info));
  if (file.get() < 0) return failWithErrno(path);
  return readAll(file.get(), info, bytes);
}

// A relative name is taken from the current folder (Windows would look in
// the Windows folder).
bool updateProfileFile(LPCWSTR fileName, bool createIfMissing, const std::function<bool(std::string&)>& edit) {
  ErrnoKeeper keepErrno;
  std::string path;
  if (!pathOf(fileName, path)) return false;
  Descriptor locked;
  struct stat info {};
  if (!lockCurrentFile(path, createIfMissing, locked, info)) {
    return !createIfMissing && GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  std::string bytes;
  if (!readAll(locked.get(), info, bytes)) return false;
  if (!edit(bytes)) return true;
  std::string target;
  return replacementTarget(path, target) && replaceFile(target, info, bytes);
}

}  // namespace orv_posix
