#include "orv_platform/user_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace orv_platform {
namespace {

class PosixFileLock : public FileLock {
 public:
  explicit PosixFileLock(int fd) : fd_(fd) {}
  ~PosixFileLock() override { ::close(fd_); }  // closing releases the flock

 private:
  int fd_;
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

bool writeAll(int fd, const std::string& bytes) {
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t result = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) return false;
    written += static_cast<size_t>(result);
  }
  return true;
}

// A rename is only on disk once its folder is.
bool syncFolder(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

}  // namespace

std::unique_ptr<FileLock> FileLock::acquire(const std::string& path, std::string* problem) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    if (problem != nullptr) *problem = openProblem(path, errno);
    return nullptr;
  }
  const std::string refused = checkOpenFile(fd, path);
  if (!refused.empty()) {
    if (problem != nullptr) *problem = refused;
    ::close(fd);
    return nullptr;
  }
  int locked;
  do {
    locked = ::flock(fd, LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    if (problem != nullptr) *problem = failure(path, std::strerror(errno));
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixFileLock>(fd);
}

std::string makePrivateFolder(const std::string& path) {
  if (path.empty()) return "no folder named";
  std::error_code error;
  std::vector<std::filesystem::path> missing;
  for (std::filesystem::path folder(path); !folder.empty() && !std::filesystem::exists(folder, error) && !error;
       folder = folder.parent_path()) {
    missing.push_back(folder);
    if (folder == folder.parent_path()) break;
  }
  // Made 0700 whatever the umask: mkdir's mode is masked, chmod's is not.
  for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
    if (::mkdir(folder->c_str(), 0700) == 0) {
      if (::chmod(folder->c_str(), 0700) != 0) return failure(folder->string(), std::strerror(errno));
    } else if (errno != EEXIST) {
      return failure(folder->string(), std::strerror(errno));
    }
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return failure(path, std::strerror(errno));
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
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? std::string() : openProblem(path, errno);
  exists = true;
  struct stat info {};
  const std::string problem = checkOpenFile(fd, path, info);
  ::close(fd);
  if (problem.empty()) identity = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  return problem;
}

std::string checkPrivateFile(const std::string& path, bool& exists) {
  std::string identity;
  return checkPrivateFile(path, exists, identity);
}

std::string makePrivateFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) {
    const std::string problem = checkOpenFile(fd, path);  // sets 0600 past the umask
    ::close(fd);
    return problem;
  }
  if (errno != EEXIST) return openProblem(path, errno);
  bool exists = false;
  const std::string problem = checkPrivateFile(path, exists);
  return problem.empty() && !exists ? failure(path, "vanished while it was made") : problem;
}

bool replaceFile(const std::string& path, const std::string& bytes) {
  std::vector<char> temporary(path.begin(), path.end());
  const std::string suffix = ".XXXXXX";
  temporary.insert(temporary.end(), suffix.begin(), suffix.end());
  temporary.push_back('\0');
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);  // mode 0600
  if (fd < 0) return false;
  const bool written = ::fchmod(fd, 0600) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temporary.data(), path.c_str()) != 0) {
    ::unlink(temporary.data());
    return false;
  }
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  return syncFolder(folder.empty() ? std::string(".") : folder.string());
}

std::string userDataFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') return dataHome;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/share";
  return std::string();
}

}  // namespace orv_platform
