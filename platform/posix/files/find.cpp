// FindFirstFileW, FindNextFileW, FindClose and GetFileAttributesW over
// opendir and stat, with Windows' results.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <string>

#include "core/kernel_object.h"
#include "orv_win32.h"
#include "core/posix_error.h"
#include "orv_platform/text_encoding.h"

namespace {

using orv_posix::ErrnoKeeper;
using orv_posix::utf8PathOf;
using orv_posix::win32ErrorFromErrno;

// Names that are not UTF-8 show U+FFFD, as Windows shows undecodable names.
std::u16string utf16FromUtf8(const std::string& name) {
  return orv_platform::utf16Of(name, orv_platform::InvalidText::kReplace);
}

constexpr WCHAR kAnyRun = u'*';
constexpr WCHAR kAnyUnit = u'?';

bool hasWildcards(const std::u16string& text) { return text.find_first_of(u"*?") != std::u16string::npos; }

// '*' takes any run, '?' one unit. Greedy with one backtrack point, so the
// cost stays linear in the pattern times the name.
bool wildcardMatch(const std::u16string& pattern, const std::u16string& name) {
  size_t p = 0, n = 0, star = std::u16string::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == kAnyUnit || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == kAnyRun) {
      star = p++;
      resume = n;
    } else if (star != std::u16string::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == kAnyRun) ++p;
  return p == pattern.size();
}

bool isDotEntry(const std::string& name) { return name == "." || name == ".."; }

DWORD attributesOf(const struct stat& target, bool isLink, const std::string& name) {
  DWORD attributes = S_ISDIR(target.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if ((target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  if (!name.empty() && name[0] == '.' && !isDotEntry(name)) attributes |= FILE_ATTRIBUTE_HIDDEN;
  if (isLink) attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  return attributes;
}

// 100-nanosecond intervals since 1601-01-01, as FILETIME counts.
FILETIME fileTimeOf(const struct timespec& when) {
  constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
  const uint64_t ticks =
      static_cast<uint64_t>((when.tv_sec + kSecondsFrom1601To1970) * 10000000LL + when.tv_nsec / 100);
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

// Follows a link for the entry's facts; a dangling link is reported as itself.
bool statEntry(int folder, const char* name, struct stat& target, bool& isLink) {
  struct stat own {};
  if (fstatat(folder, name, &own, AT_SYMLINK_NOFOLLOW) != 0) return false;
  isLink = S_ISLNK(own.st_mode);
  if (!isLink || fstatat(folder, name, &target, 0) != 0) target = own;
  return true;
}

bool fillFindData(const std::u16string& name, const struct stat& target, bool isLink, const std::string& utf8Name,
                  WIN32_FIND_DATAW& data) {
  if (name.empty() || name.size() >= MAX_PATH) return false;
  data = WIN32_FIND_DATAW{};
  data.dwFileAttributes = attributesOf(target, isLink, utf8Name);
  data.ftCreationTime = fileTimeOf(target.st_mtim);  // Linux keeps no creation time in stat
  data.ftLastAccessTime = fileTimeOf(target.st_atim);
  data.ftLastWriteTime = fileTimeOf(target.st_mtim);
  if (!S_ISDIR(target.st_mode)) {
    const uint64_t size = static_cast<uint64_t>(target.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  }
  name.copy(data.cFileName, name.size());
  return true;
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

// One search: a folder read entry by entry, or a single named entry already
// delivered by FindFirstFileW.
class DirectorySearch : public orv_posix::KernelObject {
 public:
  DirectorySearch() = default;
  DirectorySearch(DIR* folder, std::u16string pattern, bool isRoot)
      : folder_(folder), pattern_(std::move(pattern)), isRoot_(isRoot) {}

  bool next(WIN32_FIND_DATAW& data) {
    if (!folder_) return false;
    while (dirent* entry = readdir(folder_.get())) {
      const std::string name = entry->d_name;
      if (isRoot_ && isDotEntry(name)) continue;
      const std::u16string wideName = utf16FromUtf8(name);
      if (!wildcardMatch(pattern_, wideName)) continue;
      struct stat target {};
      bool isLink = false;
      // An entry removed since the folder was read is passed over.
      if (!statEntry(dirfd(folder_.get()), entry->d_name, target, isLink)) continue;
      if (fillFindData(wideName, target, isLink, name, data)) return true;
    }
    return false;
  }

 private:
  std::unique_ptr<DIR, DirCloser> folder_;
  std::u16string pattern_;
  bool isRoot_ = false;
};

HANDLE failSearch(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

// The entry's own name: "dir" for "/a/dir/", "/" for the root.
std::string lastComponent(const std::string& path) {
  const size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return "/";
  const size_t slash = path.find_last_of('/', end);
  const size_t start = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(start, end + 1 - start);
}

bool isRootFolder(const std::string& folder) { return folder.find_first_not_of('/') == std::string::npos; }

}  // namespace

HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
  ErrnoKeeper keepErrno;
  if (lpFileName == nullptr || lpFindFileData == nullptr) return failSearch(ERROR_INVALID_PARAMETER);
  std::string path;
  if (!utf8PathOf(lpFileName, path)) return failSearch(ERROR_INVALID_NAME);
  if (path.empty()) return failSearch(ERROR_PATH_NOT_FOUND);

  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return failSearch(ERROR_FILE_NOT_FOUND);
  if (hasWildcards(utf16FromUtf8(folder))) return failSearch(ERROR_INVALID_NAME);

  std::u16string pattern = utf16FromUtf8(name);
  if (!hasWildcards(pattern)) {
    struct stat target {};
    bool isLink = false;
    if (!statEntry(AT_FDCWD, path.c_str(), target, isLink)) return failSearch(win32ErrorFromErrno(errno, path));
    if (!fillFindData(pattern, target, isLink, name, *lpFindFileData)) return failSearch(ERROR_FILENAME_EXCED_RANGE);
    return orv_posix::registerHandle(std::make_shared<DirectorySearch>());
  }

  if (pattern == u"*.*") pattern.erase(1);  // Windows: "*.*" matches names without a dot too
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) {
    const int error = errno;
    return failSearch(error == ENOENT || error == ENOTDIR ? ERROR_PATH_NOT_FOUND : win32ErrorFromErrno(error));
  }
  auto search = std::make_shared<DirectorySearch>(listing, std::move(pattern), isRootFolder(folder));
  if (!search->next(*lpFindFileData)) return failSearch(ERROR_FILE_NOT_FOUND);
  return orv_posix::registerHandle(std::move(search));
}

BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
  ErrnoKeeper keepErrno;
  std::shared_ptr<DirectorySearch> search = orv_posix::lookupHandleAs<DirectorySearch>(hFindFile);
  if (!search) return FALSE;
  if (lpFindFileData == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!search->next(*lpFindFileData)) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  return TRUE;
}

BOOL FindClose(HANDLE hFindFile) {
  if (!orv_posix::lookupHandleAs<DirectorySearch>(hFindFile)) return FALSE;
  return CloseHandle(hFindFile);
}

DWORD GetFileAttributesW(LPCWSTR lpFileName) {
  ErrnoKeeper keepErrno;
  std::string path;
  if (lpFileName == nullptr || !utf8PathOf(lpFileName, path)) {
    SetLastError(lpFileName == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_NAME);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  struct stat target {};
  bool isLink = false;
  if (!statEntry(AT_FDCWD, path.c_str(), target, isLink)) {
    SetLastError(win32ErrorFromErrno(errno, path));
    return INVALID_FILE_ATTRIBUTES;
  }
  return attributesOf(target, isLink, lastComponent(path));
}
