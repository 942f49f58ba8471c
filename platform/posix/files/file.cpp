// Files, folders and the executable's path with kernel32's results.
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/kernel_object.h"
#include "core/posix_io.h"
#include "files/held_file.h"
#include "orv_win32.h"
#include "core/posix_error.h"
#include "orv_platform/text_encoding.h"

namespace {

using orv_posix::ErrnoKeeper;
using orv_posix::FileDescriptor;
using orv_posix::utf8PathOf;
using orv_posix::win32ErrorFromErrno;

class FileObject : public orv_posix::KernelObject {
 public:
  explicit FileObject(FileDescriptor file) : file_(std::move(file)) {}
  int fd() const { return file_.get(); }

 private:
  FileDescriptor file_;
};

// The files opened without write or delete sharing, by the path they were
// opened under (see held_file.h).
struct HeldFiles {
  struct Entry {
    std::string path;
    std::weak_ptr<FileObject> file;
  };
  std::mutex lock;
  std::vector<Entry> entries;
};

HeldFiles& heldFiles() {
  static HeldFiles* held = new HeldFiles();  // outlives static destructors
  return *held;
}

void rememberHeldFile(const std::string& path, const std::shared_ptr<FileObject>& file) {
  HeldFiles& held = heldFiles();
  std::lock_guard<std::mutex> guard(held.lock);
  held.entries.erase(std::remove_if(held.entries.begin(), held.entries.end(),
                                    [](const HeldFiles::Entry& entry) { return entry.file.expired(); }),
                     held.entries.end());
  held.entries.push_back(HeldFiles::Entry{path, file});
}

int duplicateOf(const FileObject& file) { return fcntl(file.fd(), F_DUPFD_CLOEXEC, 0); }

BOOL failWith(DWORD error) {
  SetLastError(error);
  return FALSE;
}

int accessFlags(DWORD access) {
  const bool all = (access & GENERIC_ALL) != 0;
  const bool reads = all || (access & (GENERIC_READ | FILE_READ_DATA)) != 0;
  const bool overwrites = all || (access & (GENERIC_WRITE | FILE_WRITE_DATA)) != 0;
  const bool appends = !overwrites && (access & FILE_APPEND_DATA) != 0;
  int flags = (reads && (overwrites || appends)) ? O_RDWR : (overwrites || appends) ? O_WRONLY : O_RDONLY;
  if (appends) flags |= O_APPEND;
  return flags | O_CLOEXEC;
}

// Opens without creating first, so that the caller learns whether the file
// was there (OPEN_ALWAYS and CREATE_ALWAYS report it); -1 with errno set.
int openWithDisposition(const std::string& path, int flags, DWORD disposition, bool& existed) {
  existed = false;
  switch (disposition) {
    case CREATE_NEW: return ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
    case OPEN_EXISTING: existed = true; return ::open(path.c_str(), flags);
    case TRUNCATE_EXISTING: existed = true; return ::open(path.c_str(), flags | O_TRUNC);
    case OPEN_ALWAYS:
    case CREATE_ALWAYS:
      for (int attempt = 0; attempt < 100; ++attempt) {
        const int extra = disposition == CREATE_ALWAYS ? O_TRUNC : 0;
        int fd = ::open(path.c_str(), flags | extra);
        if (fd >= 0 || errno != ENOENT) {
          existed = fd >= 0;
          return fd;
        }
        fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
      }
      return -1;  // errno is EEXIST: another process keeps creating and deleting it
    default: errno = EINVAL; return -1;
  }
}

DWORD noModuleFileName(DWORD error) {
  SetLastError(error);
  return 0;
}

std::shared_ptr<FileObject> fileOf(HANDLE handle) { return orv_posix::lookupHandleAs<FileObject>(handle); }

}  // namespace

int orv_posix::duplicateFileDescriptor(HANDLE handle) {
  std::shared_ptr<FileObject> file = orv_posix::lookupHandleAs<FileObject>(handle);
  return file ? duplicateOf(*file) : -1;
}

int orv_posix::duplicateHeldFile(const std::string& path) {
  HeldFiles& held = heldFiles();
  std::lock_guard<std::mutex> guard(held.lock);
  for (const HeldFiles::Entry& entry : held.entries) {
    std::shared_ptr<FileObject> file = entry.file.lock();
    if (file && entry.path == path) return duplicateOf(*file);
  }
  return -1;
}

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
  ErrnoKeeper keepErrno;
  std::string path;
  if (!utf8PathOf(lpFileName, path) || path.empty()) {
    SetLastError(lpFileName == nullptr ? ERROR_INVALID_PARAMETER : ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  int flags = accessFlags(dwDesiredAccess);
  if (dwCreationDisposition == TRUNCATE_EXISTING && (flags & O_ACCMODE) == O_RDONLY) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  bool existed = false;
  FileDescriptor opened(openWithDisposition(path, flags, dwCreationDisposition, existed));
  if (!opened.valid()) {
    const int error = errno;
    SetLastError(error == EEXIST ? ERROR_FILE_EXISTS : win32ErrorFromErrno(error, path));
    return INVALID_HANDLE_VALUE;
  }
  // Opening a folder for writing fails by itself (EISDIR); only reading needs the check.
  struct stat info {};
  if ((flags & O_ACCMODE) == O_RDONLY && (dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) == 0 &&
      fstat(opened.get(), &info) == 0 && S_ISDIR(info.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  auto file = std::make_shared<FileObject>(std::move(opened));
  const DWORD replaceSharing = FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  if ((flags & O_ACCMODE) == O_RDONLY && (dwShareMode & replaceSharing) == 0) rememberHeldFile(path, file);
  HANDLE handle = orv_posix::registerHandle(file);
  const bool reportsExisting = dwCreationDisposition == OPEN_ALWAYS || dwCreationDisposition == CREATE_ALWAYS;
  SetLastError(reportsExisting && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped) {
  ErrnoKeeper keepErrno;
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToWrite != 0))
    return failWith(ERROR_INVALID_PARAMETER);
  std::shared_ptr<FileObject> file = fileOf(hFile);
  if (!file) return FALSE;
  // One write call, so that appends of several processes never interleave;
  // only a short write (a full disk, a signal) goes round again.
  size_t written = 0;
  const bool complete = orv_posix::writeAll(file->fd(), lpBuffer, nNumberOfBytesToWrite, &written);
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = static_cast<DWORD>(written);
  if (!complete) return failWith(errno == EBADF ? ERROR_ACCESS_DENIED : win32ErrorFromErrno(errno));
  return TRUE;
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped) {
  ErrnoKeeper keepErrno;
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToRead != 0))
    return failWith(ERROR_INVALID_PARAMETER);
  std::shared_ptr<FileObject> file = fileOf(hFile);
  if (!file) return FALSE;
  const ssize_t result = orv_posix::readSome(file->fd(), lpBuffer, nNumberOfBytesToRead);
  if (result < 0) return failWith(errno == EBADF ? ERROR_ACCESS_DENIED : win32ErrorFromErrno(errno));
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = static_cast<DWORD>(result);
  return TRUE;
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
  ErrnoKeeper keepErrno;
  std::shared_ptr<FileObject> file = fileOf(hFile);
  if (!file) return INVALID_SET_FILE_POINTER;
  static const int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (dwMoveMethod > FILE_END) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  // Without the high part the distance is a signed 32-bit value.
  const int64_t distance =
      lpDistanceToMoveHigh == nullptr
          ? static_cast<int64_t>(lDistanceToMove)
          : static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
                                 static_cast<uint32_t>(lDistanceToMove));
  const off_t target = ::lseek(file->fd(), static_cast<off_t>(distance), kWhence[dwMoveMethod]);
  if (target < 0) {
    SetLastError(errno == EINVAL ? ERROR_NEGATIVE_SEEK : win32ErrorFromErrno(errno));
    return INVALID_SET_FILE_POINTER;
  }
  if (lpDistanceToMoveHigh == nullptr && target > static_cast<off_t>(UINT32_MAX - 1)) {
    ::lseek(file->fd(), static_cast<off_t>(-distance), SEEK_CUR);  // the pointer stays where it was
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (lpDistanceToMoveHigh != nullptr) *lpDistanceToMoveHigh = static_cast<LONG>(target >> 32);
  const DWORD low = static_cast<DWORD>(target & 0xFFFFFFFF);
  if (low == INVALID_SET_FILE_POINTER) SetLastError(ERROR_SUCCESS);  // tells a real position from a failure
  return low;
}

BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags) {
  ErrnoKeeper keepErrno;
  std::string from;
  std::string to;
  if (!utf8PathOf(lpExistingFileName, from) || !utf8PathOf(lpNewFileName, to) || from.empty() || to.empty())
    return failWith(ERROR_INVALID_PARAMETER);
  struct stat source {};
  if (lstat(from.c_str(), &source) != 0) return failWith(win32ErrorFromErrno(errno, from));
  struct stat target {};
  const bool targetExists = lstat(to.c_str(), &target) == 0;
  if (targetExists && (source.st_dev != target.st_dev || source.st_ino != target.st_ino)) {
    // Windows replaces files only, and only when asked to.
    if ((dwFlags & MOVEFILE_REPLACE_EXISTING) == 0) return failWith(ERROR_ALREADY_EXISTS);
    if (S_ISDIR(target.st_mode) || S_ISDIR(source.st_mode)) return failWith(ERROR_ACCESS_DENIED);
  }
  const bool writeThrough = (dwFlags & MOVEFILE_WRITE_THROUGH) != 0;
  if (writeThrough && S_ISREG(source.st_mode) && !orv_posix::syncFile(from))
    return failWith(win32ErrorFromErrno(errno, from));
  const int result = (dwFlags & MOVEFILE_REPLACE_EXISTING) != 0
                         ? ::rename(from.c_str(), to.c_str())
                         : ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
  if (result != 0) return failWith(errno == EEXIST ? ERROR_ALREADY_EXISTS : win32ErrorFromErrno(errno, to));
  if (writeThrough && !orv_posix::syncFolder(orv_posix::folderOf(to))) return failWith(win32ErrorFromErrno(errno, to));
  return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES) {
  ErrnoKeeper keepErrno;
  std::string path;
  if (!utf8PathOf(lpPathName, path) || path.empty()) return failWith(ERROR_PATH_NOT_FOUND);
  if (::mkdir(path.c_str(), 0777) != 0) {
    const int error = errno;
    return failWith(error == ENOENT ? ERROR_PATH_NOT_FOUND : win32ErrorFromErrno(error, path));
  }
  return TRUE;
}

BOOL DeleteFileW(LPCWSTR lpFileName) {
  ErrnoKeeper keepErrno;
  std::string path;
  if (!utf8PathOf(lpFileName, path) || path.empty()) return failWith(ERROR_PATH_NOT_FOUND);
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return failWith(ERROR_ACCESS_DENIED);
  if (::unlink(path.c_str()) != 0) return failWith(win32ErrorFromErrno(errno, path));
  return TRUE;
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  ErrnoKeeper keepErrno;
  std::string path;
  if (hModule == nullptr) {
    char target[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", target, sizeof(target));
    if (length <= 0 || static_cast<size_t>(length) >= sizeof(target)) return noModuleFileName(ERROR_FILE_NOT_FOUND);
    path.assign(target, static_cast<size_t>(length));
  } else {
    struct link_map* module = nullptr;
    if (dlinfo(hModule, RTLD_DI_LINKMAP, &module) != 0 || module == nullptr || module->l_name == nullptr)
      return noModuleFileName(ERROR_MOD_NOT_FOUND);
    path = module->l_name;
  }
  // Bytes that are not UTF-8 show U+FFFD, as Windows shows undecodable names.
  std::u16string wide;
  if (!orv_platform::toUtf16(path.data(), path.size(), wide, orv_platform::InvalidText::kReplace))
    return noModuleFileName(ERROR_NO_UNICODE_TRANSLATION);
  const DWORD length = static_cast<DWORD>(wide.size());
  if (lpFilename == nullptr || nSize == 0) return noModuleFileName(ERROR_INSUFFICIENT_BUFFER);
  if (length >= nSize) {
    wide.copy(lpFilename, nSize - 1);
    lpFilename[nSize - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
  }
  wide.copy(lpFilename, length + 1);
  return length;
}

namespace {

// The Win32 byte range as an open file description lock: a range reaching
// past the largest offset runs to the end of every file (l_len 0).
bool lockRangeOf(DWORD lengthLow, DWORD lengthHigh, const OVERLAPPED* overlapped, struct flock& lock) {
  const uint64_t offset = (static_cast<uint64_t>(overlapped->OffsetHigh) << 32) | overlapped->Offset;
  const uint64_t length = (static_cast<uint64_t>(lengthHigh) << 32) | lengthLow;
  constexpr uint64_t kLargestOffset = static_cast<uint64_t>(INT64_MAX);
  if (offset > kLargestOffset) return false;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(offset);
  lock.l_len = length > kLargestOffset - offset ? 0 : static_cast<off_t>(length);
  return true;
}

}  // namespace

BOOL LockFileEx(HANDLE hFile, DWORD dwFlags, DWORD, DWORD nNumberOfBytesToLockLow, DWORD nNumberOfBytesToLockHigh,
                LPOVERLAPPED lpOverlapped) {
  ErrnoKeeper keepErrno;
  if (lpOverlapped == nullptr) return failWith(ERROR_INVALID_PARAMETER);
  std::shared_ptr<FileObject> file = fileOf(hFile);
  if (!file) return FALSE;
  if (nNumberOfBytesToLockLow == 0 && nNumberOfBytesToLockHigh == 0) return TRUE;  // Windows locks nothing either
  struct flock lock {};
  if (!lockRangeOf(nNumberOfBytesToLockLow, nNumberOfBytesToLockHigh, lpOverlapped, lock))
    return failWith(ERROR_INVALID_PARAMETER);
  lock.l_type = (dwFlags & LOCKFILE_EXCLUSIVE_LOCK) != 0 ? F_WRLCK : F_RDLCK;
  const int command = (dwFlags & LOCKFILE_FAIL_IMMEDIATELY) != 0 ? F_OFD_SETLK : F_OFD_SETLKW;
  while (fcntl(file->fd(), command, &lock) != 0) {
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return failWith(ERROR_LOCK_VIOLATION);
    return failWith(errno == EBADF ? ERROR_ACCESS_DENIED : win32ErrorFromErrno(errno));
  }
  return TRUE;
}

BOOL UnlockFileEx(HANDLE hFile, DWORD, DWORD nNumberOfBytesToUnlockLow, DWORD nNumberOfBytesToUnlockHigh,
                  LPOVERLAPPED lpOverlapped) {
  ErrnoKeeper keepErrno;
  if (lpOverlapped == nullptr) return failWith(ERROR_INVALID_PARAMETER);
  std::shared_ptr<FileObject> file = fileOf(hFile);
  if (!file) return FALSE;
  if (nNumberOfBytesToUnlockLow == 0 && nNumberOfBytesToUnlockHigh == 0) return TRUE;
  struct flock lock {};
  if (!lockRangeOf(nNumberOfBytesToUnlockLow, nNumberOfBytesToUnlockHigh, lpOverlapped, lock))
    return failWith(ERROR_NOT_LOCKED);
  lock.l_type = F_UNLCK;
  if (fcntl(file->fd(), F_OFD_SETLK, &lock) != 0) return failWith(win32ErrorFromErrno(errno));
  return TRUE;
}
