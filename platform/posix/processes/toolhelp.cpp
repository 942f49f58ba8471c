// CreateToolhelp32Snapshot, Process32FirstW and Process32NextW over /proc.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/kernel_object.h"
#include "orv_win32.h"
#include "core/posix_error.h"
#include "orv_platform/text_encoding.h"
#include "core/posix_io.h"

namespace {

struct ProcessRecord {
  DWORD processId;
  std::u16string exeFile;
};

bool isProcessId(const char* name) {
  if (*name == '\0') return false;
  for (; *name != '\0'; ++name)
    if (*name < '0' || *name > '9') return false;
  return true;
}

std::string fileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

enum class ExeLink { Read, Unreadable, None };

// The executable's path as the kernel links it; an executable replaced or
// removed since the start is still the program that runs. Kernel threads
// and ended processes that are not reaped yet have no link at all.
ExeLink readExeLink(int proc, const std::string& pid, std::string& name) {
  char target[PATH_MAX];
  const ssize_t length = readlinkat(proc, (pid + "/exe").c_str(), target, sizeof target);
  if (length < 0) return errno == ENOENT ? ExeLink::None : ExeLink::Unreadable;
  if (length == 0 || static_cast<size_t>(length) >= sizeof target) return ExeLink::Unreadable;
  std::string path(target, static_cast<size_t>(length));
  static const std::string kDeleted = " (deleted)";
  if (path.size() > kDeleted.size() && path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
    path.resize(path.size() - kDeleted.size());
  name = fileNameOf(path);
  return name.empty() ? ExeLink::Unreadable : ExeLink::Read;
}

// The file name of the command line's first argument (a process of another
// user, whose link only its owner may read), up to its terminating zero: a
// program whose path holds spaces keeps its whole name, as Windows shows it.
std::string nameFromCommandLine(int proc, const std::string& pid) {
  const orv_posix::FileDescriptor commandLine(openat(proc, (pid + "/cmdline").c_str(), O_RDONLY | O_CLOEXEC));
  if (!commandLine.valid()) return std::string();
  std::string firstArgument;
  char buffer[512];
  // A path is at most PATH_MAX bytes; what goes beyond is no file name.
  while (firstArgument.size() < PATH_MAX) {
    const ssize_t length = orv_posix::readSome(commandLine.get(), buffer, sizeof buffer);
    if (length <= 0) break;
    const char* end = static_cast<const char*>(std::memchr(buffer, '\0', static_cast<size_t>(length)));
    firstArgument.append(buffer, end != nullptr ? static_cast<size_t>(end - buffer) : static_cast<size_t>(length));
    if (end != nullptr) break;
  }
  return fileNameOf(firstArgument);
}

std::u16string exeFileOf(const std::string& name) {
  std::u16string wide = orv_platform::utf16Of(name, orv_platform::InvalidText::kReplace);
  if (wide.size() >= MAX_PATH) wide.resize(MAX_PATH - 1);
  return wide;
}

bool readProcessList(std::vector<ProcessRecord>& processes) {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return false;
  const int procFd = dirfd(proc);
  while (dirent* entry = readdir(proc)) {
    if (!isProcessId(entry->d_name)) continue;
    const unsigned long id = std::strtoul(entry->d_name, nullptr, 10);
    if (id > 0xFFFFFFFFul) continue;
    const std::string pid = entry->d_name;
    std::string name;
    const ExeLink link = readExeLink(procFd, pid, name);
    if (link == ExeLink::None) continue;  // no program: Windows lists no such process either
    if (link == ExeLink::Unreadable) name = nameFromCommandLine(procFd, pid);
    processes.push_back(ProcessRecord{static_cast<DWORD>(id), exeFileOf(name)});
  }
  closedir(proc);
  return true;
}

class ProcessSnapshot : public orv_posix::KernelObject {
 public:
  explicit ProcessSnapshot(std::vector<ProcessRecord> processes) : processes_(std::move(processes)) {}

  BOOL entry(bool first, LPPROCESSENTRY32W out) {
    if (out == nullptr) return fail(ERROR_INVALID_PARAMETER);
    if (out->dwSize < sizeof(PROCESSENTRY32W)) return fail(ERROR_INSUFFICIENT_BUFFER);
    std::lock_guard<std::mutex> guard(lock_);
    if (first) next_ = 0;
    if (next_ >= processes_.size()) return fail(ERROR_NO_MORE_FILES);
    const ProcessRecord& process = processes_[next_++];
    const DWORD size = out->dwSize;
    *out = PROCESSENTRY32W{};
    out->dwSize = size;
    out->th32ProcessID = process.processId;
    process.exeFile.copy(out->szExeFile, process.exeFile.size());
    return TRUE;
  }

 private:
  static BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
  }

  std::mutex lock_;
  std::vector<ProcessRecord> processes_;
  size_t next_ = 0;
};

BOOL snapshotEntry(HANDLE hSnapshot, bool first, LPPROCESSENTRY32W lppe) {
  std::shared_ptr<ProcessSnapshot> snapshot = orv_posix::lookupHandleAs<ProcessSnapshot>(hSnapshot);
  if (!snapshot) return FALSE;
  return snapshot->entry(first, lppe);
}

}  // namespace

HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD) {
  orv_posix::ErrnoKeeper keepErrno;
  std::vector<ProcessRecord> processes;
  if ((dwFlags & TH32CS_SNAPPROCESS) != 0 && !readProcessList(processes)) {
    SetLastError(orv_posix::win32ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  return orv_posix::registerHandle(std::make_shared<ProcessSnapshot>(std::move(processes)));
}

BOOL Process32FirstW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe) { return snapshotEntry(hSnapshot, true, lppe); }

BOOL Process32NextW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe) { return snapshotEntry(hSnapshot, false, lppe); }
