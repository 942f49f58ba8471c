#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <string>

#include "core/posix_io.h"
#include "files/held_file.h"
#include "orv_platform/text_encoding.h"
#include "orv_win32.h"

namespace {

// A path with a lone surrogate names no file here: U+FFFD in its place would
// load another library.
std::string toUtf8Path(LPCWSTR path) {
  if (path == nullptr) return std::string();
  return orv_platform::utf8Of(path, std::char_traits<WCHAR>::length(path), orv_platform::InvalidText::kFail);
}

// Windows looks for a bare "name.dll" in its own system folders, which do
// not exist here; such a name never names an ELF library, and asking the
// dynamic loader to search for it costs about half a millisecond per call.
bool isBareWindowsLibraryName(const std::string& path) {
  static const std::string kSuffix = ".dll";
  if (path.find('/') != std::string::npos || path.size() < kSuffix.size()) return false;
  for (size_t i = 0; i < kSuffix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(path[path.size() - kSuffix.size() + i])) != kSuffix[i]) return false;
  return true;
}

int nameIsLoaded(dl_phdr_info* info, size_t, void* name) {
  return info->dlpi_name != nullptr && std::strcmp(info->dlpi_name, static_cast<const char*>(name)) == 0;
}

std::string descriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// The file behind a descriptor, loaded by its /proc name. The loader takes a
// name it has loaded before for the same library without looking at the
// file, so the descriptor is first moved to a number whose name no loaded
// library carries.
void* loadThroughDescriptor(orv_posix::FileDescriptor file) {
  for (int tries = 0; tries < 64; ++tries) {
    std::string name = descriptorPath(file.get());
    if (dl_iterate_phdr(nameIsLoaded, name.data()) == 0) return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    file = orv_posix::FileDescriptor(fcntl(file.get(), F_DUPFD_CLOEXEC, file.get() + 1));
    if (!file.valid()) return nullptr;
  }
  return nullptr;
}

}  // namespace

// A file that this process holds open without write or delete sharing
// cannot be replaced on Windows while it is held, so what loads is the file
// that was opened; here the path may have been given another file since, and
// the held file itself is loaded.
HMODULE LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD) {
  if (lpLibFileName == nullptr || hFile != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::string path = toUtf8Path(lpLibFileName);
  if (path.empty() || isBareWindowsLibraryName(path)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  const int held = orv_posix::duplicateHeldFile(path);
  void* module =
      held >= 0 ? loadThroughDescriptor(orv_posix::FileDescriptor(held)) : dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) SetLastError(ERROR_MOD_NOT_FOUND);
  return static_cast<HMODULE>(module);
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (hModule == nullptr || lpProcName == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (IS_INTRESOURCE(lpProcName)) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  void* symbol = dlsym(hModule, lpProcName);
  if (symbol == nullptr) SetLastError(ERROR_PROC_NOT_FOUND);
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE hLibModule) {
  if (hLibModule == nullptr || dlclose(hLibModule) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
