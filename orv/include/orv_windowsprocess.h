// CORVWindowsProcess: enables or disables one privilege in an access token.
#pragma once

#include "orv_wchar_string.h"
#include "orv_win32.h"

class ORV_API CORVWindowsProcess {
 public:
  CORVWindowsProcess();
  ~CORVWindowsProcess();

  // hToken NULL: the current process's own token, opened and closed here; a
  // token given by the caller is used and never closed. Success of the
  // adjustment does not mean the token held the privilege.
  bool setPrivilege(const CORVWCharString& strPrivilege, bool bEnable, HANDLE& hToken);
};
