#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "orv_win32.h"

namespace {

struct KernelRelease {
  DWORD major = 0;
  DWORD minor = 0;
  DWORD patch = 0;
};

// "6.1.0-18-amd64": the leading numbers; a missing one stays 0.
KernelRelease parseRelease(const char* release) {
  KernelRelease parsed;
  DWORD* fields[] = {&parsed.major, &parsed.minor, &parsed.patch};
  const char* cursor = release;
  for (DWORD* field : fields) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(cursor, &end, 10);
    if (end == cursor) break;
    *field = static_cast<DWORD>(value);
    if (*end != '.') break;
    cursor = end + 1;
  }
  return parsed;
}

struct Architecture {
  const char* machine;
  WORD code;
  DWORD processorType;
};

// uname's machine names and Windows' codes for them.
constexpr Architecture kArchitectures[] = {
    {"x86_64", PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_AMD_X8664},
    {"amd64", PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_AMD_X8664},
    {"i386", PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_INTEL_386},
    {"i486", PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_INTEL_486},
    {"i586", PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_INTEL_PENTIUM},
    {"i686", PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_INTEL_PENTIUM},
    {"ia64", PROCESSOR_ARCHITECTURE_IA64, PROCESSOR_INTEL_IA64},
    {"aarch64", PROCESSOR_ARCHITECTURE_ARM64, PROCESSOR_ARM},
    {"arm64", PROCESSOR_ARCHITECTURE_ARM64, PROCESSOR_ARM},
};

Architecture architectureOf(const char* machine) {
  for (const Architecture& known : kArchitectures) {
    if (std::strcmp(machine, known.machine) == 0) return known;
  }
  if (std::strncmp(machine, "arm", 3) == 0) return {machine, PROCESSOR_ARCHITECTURE_ARM, PROCESSOR_ARM};
  return {machine, PROCESSOR_ARCHITECTURE_UNKNOWN, 0};
}

}  // namespace

BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation) {
  if (lpVersionInformation == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD size = lpVersionInformation->dwOSVersionInfoSize;
  // Windows accepts exactly the two structure sizes.
  if (size != sizeof(OSVERSIONINFOW) && size != sizeof(OSVERSIONINFOEXW)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  utsname names;
  if (uname(&names) != 0) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  const KernelRelease release = parseRelease(names.release);
  lpVersionInformation->dwMajorVersion = release.major;
  lpVersionInformation->dwMinorVersion = release.minor;
  lpVersionInformation->dwBuildNumber = release.patch;
  lpVersionInformation->dwPlatformId = VER_PLATFORM_WIN32_NT;
  std::memset(lpVersionInformation->szCSDVersion, 0, sizeof(lpVersionInformation->szCSDVersion));
  if (size == sizeof(OSVERSIONINFOEXW)) {
    auto* extended = reinterpret_cast<LPOSVERSIONINFOEXW>(lpVersionInformation);
    extended->wServicePackMajor = 0;
    extended->wServicePackMinor = 0;
    extended->wSuiteMask = 0;
    extended->wProductType = VER_NT_WORKSTATION;
    extended->wReserved = 0;
  }
  return TRUE;
}

void GetNativeSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
  if (lpSystemInfo == nullptr) return;
  std::memset(lpSystemInfo, 0, sizeof(*lpSystemInfo));
  utsname names;
  const Architecture architecture =
      uname(&names) == 0 ? architectureOf(names.machine) : Architecture{"", PROCESSOR_ARCHITECTURE_UNKNOWN, 0};
  lpSystemInfo->wProcessorArchitecture = architecture.code;
  lpSystemInfo->dwProcessorType = architecture.processorType;

  const long pageSize = sysconf(_SC_PAGESIZE);
  lpSystemInfo->dwPageSize = pageSize > 0 ? static_cast<DWORD>(pageSize) : 4096u;
  // Windows reserves address space in 64 KiB units and keeps the first 64 KiB unmapped.
  lpSystemInfo->dwAllocationGranularity = 65536u;
  lpSystemInfo->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(0x10000u));
  lpSystemInfo->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(
      sizeof(void*) == 8 ? static_cast<ULONG_PTR>(0x7FFFFFFEFFFFull) : static_cast<ULONG_PTR>(0x7FFEFFFFu));

  const long processors = sysconf(_SC_NPROCESSORS_ONLN);
  const DWORD count = processors > 0 ? static_cast<DWORD>(processors) : 1u;
  lpSystemInfo->dwNumberOfProcessors = count;
  const DWORD maskBits = static_cast<DWORD>(sizeof(DWORD_PTR) * 8);
  lpSystemInfo->dwActiveProcessorMask =
      count >= maskBits ? ~static_cast<DWORD_PTR>(0) : ((static_cast<DWORD_PTR>(1) << count) - 1);
}
