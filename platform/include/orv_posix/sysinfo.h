// Operating-system facts: the version query and the native system information.
#pragma once

#include "orv_posix/base.h"

struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
};
typedef OSVERSIONINFOW* POSVERSIONINFOW;
typedef OSVERSIONINFOW* LPOSVERSIONINFOW;

// Windows declares the extended structure on its own; deriving keeps its layout.
struct OSVERSIONINFOEXW : OSVERSIONINFOW {
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
};
typedef OSVERSIONINFOEXW* POSVERSIONINFOEXW;
typedef OSVERSIONINFOEXW* LPOSVERSIONINFOEXW;

#define VER_PLATFORM_WIN32_NT 2u
#define VER_NT_WORKSTATION 1u

#define PROCESSOR_ARCHITECTURE_INTEL 0u
#define PROCESSOR_ARCHITECTURE_MIPS 1u
#define PROCESSOR_ARCHITECTURE_ALPHA 2u
#define PROCESSOR_ARCHITECTURE_PPC 3u
#define PROCESSOR_ARCHITECTURE_SHX 4u
#define PROCESSOR_ARCHITECTURE_ARM 5u
#define PROCESSOR_ARCHITECTURE_IA64 6u
#define PROCESSOR_ARCHITECTURE_ALPHA64 7u
#define PROCESSOR_ARCHITECTURE_MSIL 8u
#define PROCESSOR_ARCHITECTURE_AMD64 9u
#define PROCESSOR_ARCHITECTURE_IA32_ON_WIN64 10u
#define PROCESSOR_ARCHITECTURE_NEUTRAL 11u
#define PROCESSOR_ARCHITECTURE_ARM64 12u
#define PROCESSOR_ARCHITECTURE_UNKNOWN 0xFFFFu

#define PROCESSOR_INTEL_386 386u
#define PROCESSOR_INTEL_486 486u
#define PROCESSOR_INTEL_PENTIUM 586u
#define PROCESSOR_INTEL_IA64 2200u
#define PROCESSOR_AMD_X8664 8664u
#define PROCESSOR_ARM 0u

struct SYSTEM_INFO {
  union {
    DWORD dwOemId;
    struct {
      WORD wProcessorArchitecture;
      WORD wReserved;
    };
  };
  DWORD dwPageSize;
  LPVOID lpMinimumApplicationAddress;
  LPVOID lpMaximumApplicationAddress;
  DWORD_PTR dwActiveProcessorMask;
  DWORD dwNumberOfProcessors;
  DWORD dwProcessorType;
  DWORD dwAllocationGranularity;
  WORD wProcessorLevel;
  WORD wProcessorRevision;
};
typedef SYSTEM_INFO* LPSYSTEM_INFO;

// The size field must be that of OSVERSIONINFOW or OSVERSIONINFOEXW, as on
// Windows. The kernel's release "major.minor.patch" gives the version; the
// platform is reported as NT, the build number is the patch level.
BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation);
// The machine's architecture with Windows' codes, whatever the process's own.
void GetNativeSystemInfo(LPSYSTEM_INFO lpSystemInfo);
