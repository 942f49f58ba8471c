#include "orv_platform/user_file.h"

#include <windows.h>
#include <sddl.h>

#include <atomic>
#include <string>

#include "orv_platform/text_encoding.h"

namespace orv_platform {
namespace {

// A protected access list that lets the file's owner alone in. When it
// cannot be built the file takes its folder's list, which in the user's
// profile is the user's own.
class OwnerOnly {
 public:
  OwnerOnly() {
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;OW)", SDDL_REVISION_1, &descriptor_,
                                                             nullptr)) {
      attributes_.nLength = sizeof attributes_;
      attributes_.lpSecurityDescriptor = descriptor_;
      attributes_.bInheritHandle = FALSE;
    }
  }
  ~OwnerOnly() {
    if (descriptor_ != nullptr) LocalFree(descriptor_);
  }
  OwnerOnly(const OwnerOnly&) = delete;
  OwnerOnly& operator=(const OwnerOnly&) = delete;
  SECURITY_ATTRIBUTES* attributes() { return descriptor_ != nullptr ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

class WindowsFileLock : public FileLock {
 public:
  explicit WindowsFileLock(HANDLE file) : file_(file) {}
  ~WindowsFileLock() override {
    OVERLAPPED whole{};
    UnlockFileEx(file_, 0, MAXDWORD, MAXDWORD, &whole);
    CloseHandle(file_);
  }

 private:
  HANDLE file_;
};

std::string failure(const std::string& path, const std::string& what) { return path + ": " + what; }

std::string errorText(DWORD error) { return "Windows error " + std::to_string(error); }

}  // namespace

// The owner-only access list is set when the file is made; the checks below
// refuse what is not a plain file (links and other reparse points, folders).
// The profile folder where these files live is the user's own.
std::string checkPrivateFile(const std::string& path, bool& exists) {
  exists = false;
  const DWORD attributes = GetFileAttributesW(utf16Of(path, InvalidText::kReplace).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? std::string()
                                                                          : failure(path, errorText(error));
  }
  exists = true;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return failure(path, "is a link");
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return failure(path, "is not a plain file");
  return std::string();
}

std::string checkPrivateFile(const std::string& path, bool& exists, std::string& identity) {
  identity.clear();
  std::string problem = checkPrivateFile(path, exists);
  if (!problem.empty() || !exists) return problem;
  // Only the attributes are read: the file stays shared with its writers.
  HANDLE file = CreateFileW(utf16Of(path, InvalidText::kReplace).c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return failure(path, errorText(GetLastError()));
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileInformationByHandle(file, &information))
    identity =
        std::to_string(information.dwVolumeSerialNumber) + ":" +
        std::to_string((static_cast<unsigned long long>(information.nFileIndexHigh) << 32) | information.nFileIndexLow);
  else
    problem = failure(path, errorText(GetLastError()));
  CloseHandle(file);
  return problem;
}

std::string makePrivateFile(const std::string& path) {
  OwnerOnly security;
  HANDLE file = CreateFileW(utf16Of(path, InvalidText::kReplace).c_str(), GENERIC_WRITE, 0, security.attributes(),
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return std::string();
  }
  const DWORD error = GetLastError();
  if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return failure(path, errorText(error));
  bool exists = false;
  const std::string problem = checkPrivateFile(path, exists);
  return problem.empty() && !exists ? failure(path, "vanished while it was made") : problem;
}

std::string makePrivateFolder(const std::string& path) {
  if (path.empty()) return "no folder named";
  const std::wstring wide = utf16Of(path, InvalidText::kReplace);
  // Each missing folder from the outermost in, owner-only.
  for (size_t end = 0; end != std::wstring::npos;) {
    end = wide.find_first_of(L"\\/", end + 1);
    const std::wstring folder = wide.substr(0, end);
    if (folder.empty() || folder.back() == L':') continue;
    if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
    OwnerOnly security;
    if (!CreateDirectoryW(folder.c_str(), security.attributes()) && GetLastError() != ERROR_ALREADY_EXISTS)
      return failure(utf8Of(folder, InvalidText::kReplace), errorText(GetLastError()));
  }
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return failure(path, errorText(GetLastError()));
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return failure(path, "is not a folder");
  return std::string();
}

std::unique_ptr<FileLock> FileLock::acquire(const std::string& path, std::string* problem) {
  bool exists = false;
  const std::string refused = checkPrivateFile(path, exists);
  if (!refused.empty()) {
    if (problem != nullptr) *problem = refused;
    return nullptr;
  }
  OwnerOnly security;
  HANDLE file = CreateFileW(utf16Of(path, InvalidText::kReplace).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, security.attributes(), OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (problem != nullptr) *problem = failure(path, errorText(GetLastError()));
    return nullptr;
  }
  OVERLAPPED whole{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    if (problem != nullptr) *problem = failure(path, errorText(GetLastError()));
    CloseHandle(file);
    return nullptr;
  }
  return std::make_unique<WindowsFileLock>(file);
}

bool replaceFile(const std::string& path, const std::string& bytes) {
  static std::atomic<unsigned> counter{0};
  const std::wstring target = utf16Of(path, InvalidText::kReplace);
  const std::wstring temporary =
      target + L"." + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(++counter) + L".tmp";
  OwnerOnly security;
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, security.attributes(), CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool written = true;
  for (size_t done = 0; written && done < bytes.size();) {
    const DWORD chunk = static_cast<DWORD>(bytes.size() - done > (1u << 30) ? (1u << 30) : bytes.size() - done);
    DWORD wrote = 0;
    written = WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr) && wrote == chunk;
    done += wrote;
  }
  written = written && FlushFileBuffers(file);
  const bool closed = CloseHandle(file) != FALSE;
  if (!written || !closed ||
      !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

std::string userDataFolder() {
  wchar_t folder[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return utf8Of(folder, length, InvalidText::kReplace);
}

}  // namespace orv_platform
