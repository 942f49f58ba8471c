#include "orv_platform/user_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/posix_io.h"

namespace orv_platform {
namespace {

using orv_posix::FileDescriptor;

class PosixFileLock : public FileLock {
 public:
  explicit PosixFileLock(FileDescriptor file) : file_(std::move(file)) {}

 private:
  FileDescriptor file_;  // closing it releases the flock
};

std::string failure(const std::string& path, const std::string& what) { return path + ": " + what; }

std::string octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// Another user, or a group or others who may write, could change what this
// user's programs read from the file or folder; neither is used.
std::string ownershipProblem(const std::string& path, const struct stat& info) {
  if (info.st_uid != ::geteuid())
    return failure(path, "belongs to user " + std::to_string(info.st_uid) + ", not to this user");
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return failure(path, "may be written by group or others (mode " + octal(info.st_mode) + ")");
  return std::string();
}

// The checks of a private file on an open descriptor, so that what was
// checked is what is used; read bits for others are then cleared.
std::string checkOpenFile(int fd, const std::string& path, struct stat& info) {
  if (::fstat(fd, &info) != 0) return failure(path, std::strerror(errno));
  if (!S_ISREG(info.st_mode)) return failure(path, "is not a plain file");
  std::string problem = ownershipProblem(path, info);
  if (problem.empty() && (info.st_mode & 0777) != 0600 && ::fchmod(fd, 0600) != 0)
    problem = failure(path, std::string("cannot be made owner-only: ") + std::strerror(errno));
  return problem;
}

std::string checkOpenFile(int fd, const std::string& path) {
  struct stat info {};
  return checkOpenFile(fd, path, info);
}

std::string openProblem(const std::string& path, int error) {
  return failure(path, error == ELOOP ? std::string("is a symbolic link") : std::strerror(error));
}

}  // namespace

std::unique_ptr<FileLock> FileLock::acquire(const std::string& path, std::string* problem) {
  FileDescriptor file(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!file.valid()) {
    if (problem != nullptr) *problem = openProblem(path, errno);
    return nullptr;
  }
  const std::string refused = checkOpenFile(file.get(), path);
  if (!refused.empty()) {
    if (problem != nullptr) *problem = refused;
    return nullptr;
  }
  int locked;
  do {
    locked = ::flock(file.get(), LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    if (problem != nullptr) *problem = failure(path, std::strerror(errno));
    return nullptr;
  }
  return std::make_unique<PosixFileLock>(std::move(file));
}

std::string makePrivateFolder(const std::string& path) {
  if (path.empty()) return "no folder named";
  // Made already on every use but the first: one look then.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno != ENOENT || !orv_posix::makeFolders(path, 0700) || ::stat(path.c_str(), &info) != 0)
      return failure(path, std::strerror(errno));
  }
  if (!S_ISDIR(info.st_mode)) return failure(path, "is not a folder");
  if (info.st_uid != ::geteuid()) return ownershipProblem(path, info);
  // The user's own folder, made group-writable under a looser umask before,
  // is closed; each file in it is still checked on its own.
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && ::chmod(path.c_str(), 0700) != 0)
    return failure(path, std::string("cannot be made owner-only: ") + std::strerror(errno));
  return std::string();
}

std::string checkPrivateFile(const std::string& path, bool& exists, std::string& identity) {
  exists = false;
  identity.clear();
  // One look at the path when the file is as it should be; one whose modes
  // need mending is opened, so that what is mended is what was checked.
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT ? std::string() : openProblem(path, errno);
  exists = true;
  if (S_ISLNK(info.st_mode)) return openProblem(path, ELOOP);
  if (!S_ISREG(info.st_mode)) return failure(path, "is not a plain file");
  std::string problem = ownershipProblem(path, info);
  if (problem.empty() && (info.st_mode & 0777) != 0600) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid()) return openProblem(path, errno);
    problem = checkOpenFile(file.get(), path, info);
  }
  if (problem.empty()) identity = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  return problem;
}

std::string checkPrivateFile(const std::string& path, bool& exists) {
  std::string identity;
  return checkPrivateFile(path, exists, identity);
}

std::string makePrivateFile(const std::string& path) {
  const FileDescriptor file(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (file.valid()) return checkOpenFile(file.get(), path);  // sets 0600 past the umask
  if (errno != EEXIST) return openProblem(path, errno);
  bool exists = false;
  const std::string problem = checkPrivateFile(path, exists);
  return problem.empty() && !exists ? failure(path, "vanished while it was made") : problem;
}

bool replaceFile(const std::string& path, const std::string& bytes) {
  orv_posix::ReplacementAttributes ownerOnly;
  ownerOnly.mode = 0600;
  return orv_posix::replaceFileAtomically(path, bytes, ownerOnly);
}

std::string userDataFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') return dataHome;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/share";
  return std::string();
}

}  // namespace orv_platform
