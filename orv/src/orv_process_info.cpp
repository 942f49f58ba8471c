#include "orv_process_info.h"

#include "orv_catch.h"
#include "orv_trace_scope.h"

namespace {

bool isMissing(HANDLE handle) { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }

}  // namespace

CORVProcessInfo::CORVProcessInfo() { ORV_TRACE("CORVProcessInfo", "CORVProcessInfo()"); }

CORVProcessInfo::~CORVProcessInfo() { ORV_TRACE("CORVProcessInfo", "~CORVProcessInfo"); }

bool CORVProcessInfo::findProcessIdByName(const CORVWCharString& strName, DWORD& dwProcessId) {
  ORV_TRACE("CORVProcessInfo", "findProcessIdByName");
  bool passed = false;
  HANDLE snapshot = INVALID_HANDLE_VALUE;
  try {
    snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (isMissing(snapshot)) ORV_THROW_IN_PLACE(CORVProcessInvalidHandleException, ORV_NO_ERROR_CODE, __LINE__);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    if (!Process32FirstW(snapshot, &entry)) ORV_THROW_IN_PLACE(CORVProcessWindowsException, GetLastError(), __LINE__);
    const WCHAR* const wanted = strName.getTextOrEmpty();
    bool matched = false;
    DWORD lastMatch = 0;
    do {
      entry.szExeFile[MAX_PATH - 1] = 0;
      if (_wcsicmp(entry.szExeFile, wanted) == 0) {
        lastMatch = entry.th32ProcessID;
        matched = true;
      }
    } while (Process32NextW(snapshot, &entry));
    if (matched) dwProcessId = lastMatch;
    passed = true;
  }
  ORV_CATCH_THEN(errno, __LINE__, passed = false)
  if (!isMissing(snapshot)) closeProcess(false, snapshot);
  ORV_TRACE_RESULT(passed);
  return passed;
}

bool CORVProcessInfo::closeProcess(const bool& bRemoveDebugPrivilege, HANDLE& hProcess) {
  ORV_TRACE("CORVProcessInfo", "closeProcess");
  bool passed = false;
  try {
    if (isMissing(hProcess)) ORV_THROW_IN_PLACE(CORVProcessInvalidHandleException, ORV_NO_ERROR_CODE, __LINE__);
    if (bRemoveDebugPrivilege) setPrivilege(ORV_W("SeDebugPrivilege"), SE_PRIVILEGE_REMOVED);
    if (!CloseHandle(hProcess)) ORV_THROW_IN_PLACE(CORVProcessWindowsException, GetLastError(), __LINE__);
    hProcess = nullptr;
    passed = true;
  }
  ORV_CATCH_THEN(errno, __LINE__, passed = false)
  ORV_TRACE_RESULT(passed);
  return passed;
}

bool CORVProcessInfo::setPrivilege(const CORVWCharString& strPrivilege, const DWORD& dwAttributes) {
  ORV_TRACE("CORVProcessInfo", "setPrivilege");
  bool passed = false;
  HANDLE token = nullptr;
  try {
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
      token = nullptr;
      ORV_THROW_IN_PLACE(CORVProcessPrivelgeException, GetLastError(), __LINE__);
    }
    LUID luid{};
    if (!LookupPrivilegeValueW(nullptr, strPrivilege.getTextOrEmpty(), &luid))
      ORV_THROW_IN_PLACE(CORVProcessPrivelgeException, GetLastError(), __LINE__);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid = luid;
    privileges.Privileges[0].Attributes = dwAttributes;
    if (!AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr))
      ORV_THROW_IN_PLACE(CORVProcessPrivelgeException, GetLastError(), __LINE__);
    passed = true;
  }
  ORV_CATCH_THEN(errno, __LINE__, passed = false)
  if (token != nullptr) CloseHandle(token);
  ORV_TRACE_RESULT(passed);
  return passed;
}
