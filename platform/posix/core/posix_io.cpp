#include "core/posix_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace orv_posix {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) reset(other.release());
  return *this;
}

int FileDescriptor::release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void FileDescriptor::reset(int fd) {
  if (fd_ >= 0) {
    const int error = errno;
    ::close(fd_);
    errno = error;
  }
  fd_ = fd;
}

bool FileDescriptor::close() {
  const int fd = release();
  return fd < 0 || ::close(fd) == 0;  // never retried: Linux frees the descriptor even on EINTR
}

FileDescriptor openRegularFile(const std::string& path, int flags, struct stat* info) {
  FileDescriptor file(::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666));
  struct stat status {};
  if (!file.valid()) return file;
  if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    file.reset();
    errno = EISDIR;
    return file;
  }
  if (info != nullptr) *info = status;
  return file;
}

ssize_t readSome(int fd, void* buffer, size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd, buffer, size);
    if (got >= 0 || errno != EINTR) return got;
  }
}

bool readAll(int fd, std::string& bytes, size_t limit) {
  char chunk[65536];
  for (size_t taken = 0; taken <= limit;) {
    const ssize_t got = readSome(fd, chunk, sizeof chunk);
    if (got < 0) return false;
    if (got == 0) return true;
    bytes.append(chunk, static_cast<size_t>(got));
    taken += static_cast<size_t>(got);
  }
  return true;
}

bool writeAll(int fd, const void* data, size_t size, size_t* written) {
  const char* bytes = static_cast<const char*>(data);
  size_t done = 0;
  bool complete = true;
  while (done < size) {
    const ssize_t put = ::write(fd, bytes + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = EIO;
      complete = false;
      break;
    }
    done += static_cast<size_t>(put);
  }
  if (written != nullptr) *written = done;
  return complete;
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

namespace {

bool syncOpened(const std::string& path, int flags) {
  FileDescriptor file(::open(path.c_str(), flags | O_RDONLY | O_CLOEXEC));
  if (!file.valid()) return false;
  return ::fsync(file.get()) == 0;  // the destructor's close keeps fsync's errno
}

}  // namespace

bool syncFile(const std::string& path) { return syncOpened(path, 0); }

bool syncFolder(const std::string& folder) { return syncOpened(folder, O_DIRECTORY); }

bool makeFolders(const std::string& folder, mode_t mode) {
  std::vector<std::string> missing;
  for (std::string at = folder; !at.empty();) {
    struct stat info {};
    if (::stat(at.c_str(), &info) == 0) {
      if (S_ISDIR(info.st_mode)) break;
      errno = ENOTDIR;
      return false;
    }
    if (errno != ENOENT) return false;
    missing.push_back(at);
    const size_t slash = at.find_last_of('/');
    at = slash == std::string::npos || slash == 0 ? std::string() : at.substr(0, slash);
  }
  for (auto at = missing.rbegin(); at != missing.rend(); ++at) {
    if (::mkdir(at->c_str(), mode) == 0) {
      if (::chmod(at->c_str(), mode) != 0) return false;
      continue;
    }
    // Another process may have made it meanwhile.
    struct stat info {};
    if (errno != EEXIST) return false;
    if (::stat(at->c_str(), &info) != 0) return false;
    if (!S_ISDIR(info.st_mode)) {
      errno = ENOTDIR;
      return false;
    }
  }
  return true;
}

bool replaceFileAtomically(const std::string& path, const std::string& bytes, const ReplacementAttributes& attributes) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temporary = folder + "." + name + ".XXXXXX";
  FileDescriptor out(::mkostemp(temporary.data(), O_CLOEXEC));  // made 0600
  if (!out.valid()) return false;
  bool written = writeAll(out.get(), bytes) && ::fchmod(out.get(), attributes.mode & 07777) == 0;
  if (written && attributes.keepOwner && (attributes.owner != ::geteuid() || attributes.group != ::getegid()))
    (void)!::fchown(out.get(), attributes.owner, attributes.group);
  written = written && ::fsync(out.get()) == 0 && out.close();
  if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    errno = error;
    return false;  // an open `out` closes keeping errno
  }
  return syncFolder(folderOf(path));
}

}  // namespace orv_posix
