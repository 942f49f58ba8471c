#include "posix_error.h"

#include <sys/stat.h>

#include <cerrno>

#include "orv_platform/text_encoding.h"

namespace orv_posix {

namespace {

bool folderExists(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return true;  // relative to the current folder
  const std::string folder = slash == 0 ? std::string("/") : path.substr(0, slash);
  struct stat info {};
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

DWORD win32ErrorFromErrno(int error, const std::string& path) {
  switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return (!path.empty() && !folderExists(path)) ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case EBUSY: return ERROR_SHARING_VIOLATION;
    case ELOOP: return ERROR_BAD_PATHNAME;
    default: return ERROR_ACCESS_DENIED;
  }
}

bool utf8PathOf(LPCWSTR path, std::string& utf8) {
  if (path == nullptr) return false;
  return orv_platform::fromUtf16(path, std::char_traits<WCHAR>::length(path), utf8, orv_platform::InvalidText::kFail);
}

ErrnoKeeper::ErrnoKeeper() : saved_(errno) {}

ErrnoKeeper::~ErrnoKeeper() { errno = saved_; }

}  // namespace orv_posix
