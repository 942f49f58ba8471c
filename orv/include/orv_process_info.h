// CORVProcessInfo: finds a running process by its executable's file name,
// closes process handles and sets a privilege of the current process's
// token. No operation lets an exception out; failures are logged and give
// false.
#pragma once

#include "orv_wchar_string.h"
#include "orv_win32.h"
#include "orv_windows_signedfile.h"

class ORV_API CORVProcessInfo : public CORVSignedFile {
 public:
  CORVProcessInfo();
  ~CORVProcessInfo();

  // Compares strName with each process's executable file name, ignoring
  // case; a name with a folder never matches. dwProcessId receives the ID of
  // the last match in snapshot order and keeps its value when none matches.
  // True once the walk has run.
  bool findProcessIdByName(const CORVWCharString& strName, DWORD& dwProcessId);
  // Closes hProcess and sets it to NULL; with bRemoveDebugPrivilege the
  // token's "SeDebugPrivilege" is removed first.
  bool closeProcess(const bool& bRemoveDebugPrivilege, HANDLE& hProcess);
  // Sets the privilege's attributes in the current process's token as given.
  bool setPrivilege(const CORVWCharString& strPrivilege, const DWORD& dwAttributes);
};
