#include "orv_windows_os_info.h"

#include "orv_catch.h"
#include "orv_environment_variable.h"
#include "orv_exceptions.h"
#include "orv_registry_dword.h"
#include "orv_trace_scope.h"

// Defined here too, so that orv.dll exports them to callers that bind them
// to a reference (a class's inline constants are not exported on their own).
constexpr BYTE CORVWindowsOSInfo::kPlatform32;
constexpr BYTE CORVWindowsOSInfo::kPlatform64;

namespace {
// The shell's IsOS, exported by ordinal only.
constexpr WORD kIsOSOrdinal = 437;
typedef BOOL(WINAPI* IsOSFunction)(DWORD);
}  // namespace

CORVWindowsOSInfo::CORVWindowsOSInfo()
    : m_bOSFeature18(false), m_bOSFeature37(false), m_bPE(false), m_ulServicePack(0), m_dVersion(0.0) {
  ORV_TRACE("CORVWindowsOSInfo", "CORVWindowsOSInfo");
  m_bPE = performPECheck();

  bool answer = false;
  if (performOSQueryFunction(18, answer)) {
    m_bOSFeature18 = answer;
    if (performOSQueryFunction(37, answer)) m_bOSFeature37 = answer;
  }

  CORVRegistryDword csdVersion(HKEY_LOCAL_MACHINE, ORV_W("SYSTEM\\CurrentControlSet\\Control\\Windows"),
                               ORV_W("CSDVersion"), KEY_READ, false, 0);
  DWORD servicePack = 0;
  if (csdVersion.getValue(servicePack, false)) m_ulServicePack = servicePack >> 8;

  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
  if (!GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&version))) {
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    if (!GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&version)))
      ORV_THROW_IN_PLACE(CORVWindowsOSInfoInitNeededException, ORV_NO_ERROR_CODE, __LINE__);
  }
  m_dVersion = static_cast<double>(version.dwMinorVersion) / 10.0 + static_cast<double>(version.dwMajorVersion);
  ORV_TRACE_RESULT(true);
}

CORVWindowsOSInfo::~CORVWindowsOSInfo() {
  ORV_TRACE("CORVWindowsOSInfo", "~CORVWindowsOSInfo");
  ORV_TRACE_RESULT(true);
}

BYTE CORVWindowsOSInfo::getPlatform() {
  ORV_TRACE("CORVWindowsOSInfo", "getPlatform");
  SYSTEM_INFO info = {};
  GetNativeSystemInfo(&info);
  const bool is64Bit = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64 ||
                       info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                       info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA32_ON_WIN64;
  ORV_TRACE_RESULT(true);
  return is64Bit ? kPlatform64 : kPlatform32;
}

bool CORVWindowsOSInfo::performOSQueryFunction(DWORD feature, bool& answer) {
  ORV_TRACE("CORVWindowsOSInfo", "performOSQueryFunction");
  bool asked = false;
  try {
    HMODULE shell = LoadLibraryExW(ORV_W("shlwapi.dll"), nullptr, 0);
    if (shell != nullptr) {
      // Through a pointer without parameters, the one cast between function
      // types that the compiler does not question.
      const auto isOS = reinterpret_cast<IsOSFunction>(
          reinterpret_cast<void (*)()>(GetProcAddress(shell, MAKEINTRESOURCEA(kIsOSOrdinal))));
      if (isOS != nullptr) {
        answer = isOS(feature) != FALSE;
        asked = true;
      }
      FreeLibrary(shell);
    }
  }
  ORV_CATCH_THEN(GetLastError(), __LINE__, asked = false)
  ORV_TRACE_RESULT(asked);
  return asked;
}

bool CORVWindowsOSInfo::performPECheck() {
  ORV_TRACE("CORVWindowsOSInfo", "performPECheck");
  bool isPE = false;
  try {
    CORVEnvironmentVariable drive(CORVWCharString(ORV_W("ORVDrive")));
    CORVWCharString value;
    isPE = drive.getValue(value) && value.getLength() != 0;
  }
  ORV_CATCH_THEN(GetLastError(), __LINE__, isPE = false)
  ORV_TRACE_RESULT(isPE);
  return isPE;
}
