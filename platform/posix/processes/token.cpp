// The access token of the current process: the privileges of Windows, held
// in one process-wide token, so that every handle opened on it sees the same
// state.
#include <unistd.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "core/kernel_object.h"
#include "orv_win32.h"

namespace {

// Windows' privilege names and their well-known LUIDs (LowPart; HighPart 0).
struct PrivilegeName {
  const WCHAR* name;
  DWORD luid;
};

constexpr PrivilegeName kPrivileges[] = {
    {u"SeCreateTokenPrivilege", 2},
    {u"SeAssignPrimaryTokenPrivilege", 3},
    {u"SeLockMemoryPrivilege", 4},
    {u"SeIncreaseQuotaPrivilege", 5},
    {u"SeMachineAccountPrivilege", 6},
    {u"SeTcbPrivilege", 7},
    {u"SeSecurityPrivilege", 8},
    {u"SeTakeOwnershipPrivilege", 9},
    {u"SeLoadDriverPrivilege", 10},
    {u"SeSystemProfilePrivilege", 11},
    {u"SeSystemtimePrivilege", 12},
    {u"SeProfileSingleProcessPrivilege", 13},
    {u"SeIncreaseBasePriorityPrivilege", 14},
    {u"SeCreatePagefilePrivilege", 15},
    {u"SeCreatePermanentPrivilege", 16},
    {u"SeBackupPrivilege", 17},
    {u"SeRestorePrivilege", 18},
    {u"SeShutdownPrivilege", 19},
    {u"SeDebugPrivilege", 20},
    {u"SeAuditPrivilege", 21},
    {u"SeSystemEnvironmentPrivilege", 22},
    {u"SeChangeNotifyPrivilege", 23},
    {u"SeRemoteShutdownPrivilege", 24},
    {u"SeUndockPrivilege", 25},
    {u"SeSyncAgentPrivilege", 26},
    {u"SeEnableDelegationPrivilege", 27},
    {u"SeManageVolumePrivilege", 28},
    {u"SeImpersonatePrivilege", 29},
    {u"SeCreateGlobalPrivilege", 30},
    {u"SeTrustedCredManAccessPrivilege", 31},
    {u"SeRelabelPrivilege", 32},
    {u"SeIncreaseWorkingSetPrivilege", 33},
    {u"SeTimeZonePrivilege", 34},
    {u"SeCreateSymbolicLinkPrivilege", 35},
    {u"SeDelegateSessionUserImpersonatePrivilege", 36},
};
constexpr DWORD kFirstLuid = 2;
constexpr DWORD kLastLuid = 36;
constexpr DWORD kChangeNotifyLuid = 23;

HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));

// The process's one token: each privilege's attributes, or removed for good.
class TokenPrivileges {
 public:
  TokenPrivileges() {
    for (DWORD luid = kFirstLuid; luid <= kLastLuid; ++luid) held_[luid] = Held{true, 0};
    held_[kChangeNotifyLuid].attributes = SE_PRIVILEGE_ENABLED | SE_PRIVILEGE_ENABLED_BY_DEFAULT;
  }

  std::mutex lock;

  // Null when the token does not hold the privilege (any more).
  DWORD* attributesOf(const LUID& luid) {
    if (luid.HighPart != 0 || luid.LowPart < kFirstLuid || luid.LowPart > kLastLuid) return nullptr;
    Held& held = held_[luid.LowPart];
    return held.present ? &held.attributes : nullptr;
  }

  void remove(const LUID& luid) {
    if (attributesOf(luid) != nullptr) held_[luid.LowPart] = Held{false, 0};
  }

  template <typename Visit>
  void forEachHeld(const Visit& visit) {
    for (DWORD luid = kFirstLuid; luid <= kLastLuid; ++luid)
      if (held_[luid].present) visit(LUID{luid, 0}, held_[luid].attributes);
  }

 private:
  struct Held {
    bool present;
    DWORD attributes;
  };
  Held held_[kLastLuid + 1] = {};
};

TokenPrivileges& processToken() {
  static TokenPrivileges* token = new TokenPrivileges();  // outlives static destructors
  return *token;
}

class TokenHandle : public orv_posix::KernelObject {
 public:
  explicit TokenHandle(DWORD access) : access(access) {}
  const DWORD access;
};

BOOL fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

constexpr DWORD kStateAttributeMask = SE_PRIVILEGE_ENABLED | SE_PRIVILEGE_ENABLED_BY_DEFAULT;

// The new attributes: ENABLED_BY_DEFAULT stays what it was; only ENABLED moves.
DWORD adjusted(DWORD current, DWORD requested) {
  return (current & SE_PRIVILEGE_ENABLED_BY_DEFAULT) | (requested & SE_PRIVILEGE_ENABLED);
}

struct Change {
  LUID luid;
  DWORD before;
  DWORD requested;
};

}  // namespace

HANDLE GetCurrentProcess() { return kCurrentProcess; }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

BOOL OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
  if (TokenHandle == nullptr) return fail(ERROR_INVALID_PARAMETER);
  if (ProcessHandle != kCurrentProcess) return fail(ERROR_INVALID_HANDLE);
  *TokenHandle = orv_posix::registerHandle(std::make_shared<::TokenHandle>(DesiredAccess));
  return TRUE;
}

BOOL LookupPrivilegeValueW(LPCWSTR lpSystemName, LPCWSTR lpName, PLUID lpLuid) {
  if (lpName == nullptr || lpLuid == nullptr) return fail(ERROR_INVALID_PARAMETER);
  if (lpSystemName != nullptr && lpSystemName[0] != 0) return fail(RPC_S_SERVER_UNAVAILABLE);
  for (const PrivilegeName& privilege : kPrivileges) {
    if (_wcsicmp(privilege.name, lpName) == 0) {
      *lpLuid = LUID{privilege.luid, 0};
      return TRUE;
    }
  }
  return fail(ERROR_NO_SUCH_PRIVILEGE);
}

BOOL AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges, PTOKEN_PRIVILEGES NewState,
                           DWORD BufferLength, PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength) {
  std::shared_ptr<::TokenHandle> token = orv_posix::lookupHandleAs<::TokenHandle>(TokenHandle);
  if (!token) return FALSE;
  if ((token->access & TOKEN_ADJUST_PRIVILEGES) == 0) return fail(ERROR_ACCESS_DENIED);
  if (PreviousState != nullptr && (token->access & TOKEN_QUERY) == 0) return fail(ERROR_ACCESS_DENIED);
  if (PreviousState != nullptr && ReturnLength == nullptr) return fail(ERROR_INVALID_PARAMETER);
  if (!DisableAllPrivileges && NewState == nullptr) return fail(ERROR_INVALID_PARAMETER);

  TokenPrivileges& privileges = processToken();
  std::lock_guard<std::mutex> guard(privileges.lock);

  // First what would change, so that a short PreviousState buffer changes nothing.
  std::vector<Change> changes;
  bool allAssigned = true;
  if (DisableAllPrivileges) {
    privileges.forEachHeld([&](const LUID& luid, DWORD attributes) {
      if ((attributes & SE_PRIVILEGE_ENABLED) != 0) changes.push_back(Change{luid, attributes, 0});
    });
  } else {
    for (DWORD i = 0; i < NewState->PrivilegeCount; ++i) {
      const LUID_AND_ATTRIBUTES& wanted = NewState->Privileges[i];
      const DWORD* current = privileges.attributesOf(wanted.Luid);
      if (current == nullptr) {
        allAssigned = false;
        continue;
      }
      const bool removes = (wanted.Attributes & SE_PRIVILEGE_REMOVED) != 0;
      if (removes || adjusted(*current, wanted.Attributes) != (*current & kStateAttributeMask))
        changes.push_back(Change{wanted.Luid, *current, wanted.Attributes});
    }
  }

  if (PreviousState != nullptr) {
    const DWORD needed =
        static_cast<DWORD>(offsetof(TOKEN_PRIVILEGES, Privileges) + changes.size() * sizeof(LUID_AND_ATTRIBUTES));
    *ReturnLength = needed;
    if (BufferLength < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
    PreviousState->PrivilegeCount = static_cast<DWORD>(changes.size());
    for (size_t i = 0; i < changes.size(); ++i)
      PreviousState->Privileges[i] = LUID_AND_ATTRIBUTES{changes[i].luid, changes[i].before};
  }

  for (const Change& change : changes) {
    if ((change.requested & SE_PRIVILEGE_REMOVED) != 0) {
      privileges.remove(change.luid);
    } else {
      DWORD* attributes = privileges.attributesOf(change.luid);  // null when listed after its removal
      if (attributes != nullptr) *attributes = adjusted(*attributes, change.requested);
    }
  }
  SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
  return TRUE;
}
