#include "orv_windowsprocess.h"

#include "orv_catch.h"
#include "orv_trace_scope.h"

CORVWindowsProcess::CORVWindowsProcess() { ORV_TRACE("CORVWindowsProcess", "Constructor"); }

CORVWindowsProcess::~CORVWindowsProcess() { ORV_TRACE("CORVWindowsProcess", "Destructor ~CORVWindowsProcess"); }

bool CORVWindowsProcess::setPrivilege(const CORVWCharString& strPrivilege, bool bEnable, HANDLE& hToken) {
  ORV_TRACE("CORVWindowsProcess", "setPrivilege");
  bool passed = false;
  HANDLE localToken = nullptr;
  try {
    HANDLE token = hToken;
    if (token == nullptr) {
      if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &localToken)) {
        localToken = nullptr;
        throw CORVOpenProcessTokenException(ORV_W("GetCurrentProcess()"), GetLastError(), ORV_SOURCE_FILE, __LINE__,
                                            ORV_OUTPUT_TEXT, true);
      }
      token = localToken;
    }
    LUID luid{};
    if (!LookupPrivilegeValueW(nullptr, strPrivilege.getTextOrEmpty(), &luid))
      throw CORVLookupPrivilegeValueException(strPrivilege.getBuffer(), GetLastError(), ORV_SOURCE_FILE, __LINE__,
                                              ORV_OUTPUT_TEXT, true);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid = luid;
    privileges.Privileges[0].Attributes = bEnable ? SE_PRIVILEGE_ENABLED : 0;
    if (!AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr))
      throw CORVAdjustTokenPrivilegesException(ORV_W("hToken"), GetLastError(), ORV_SOURCE_FILE, __LINE__,
                                               ORV_OUTPUT_TEXT, true);
    passed = true;
  }
  ORV_CATCH_THEN(GetLastError(), __LINE__, passed = false)
  if (localToken != nullptr && !CloseHandle(localToken))
    CCloseHandleWarning(ORV_W("hLocalToken"), GetLastError(), ORV_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true);
  ORV_TRACE_RESULT(passed);
  return passed;
}
