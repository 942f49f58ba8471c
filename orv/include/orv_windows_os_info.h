// CORVWindowsOSInfo: facts about the running system, gathered when the object
// is built: the shell's feature answers 18 and 37, whether a PE drive is set
// ("ORVDrive"), the service pack and the version; and, asked each time,
// whether the machine is 32-bit or 64-bit.
#pragma once

#include "orv_win32.h"

class ORV_API CORVWindowsOSInfo {
 public:
  static constexpr BYTE kPlatform32 = 1;
  static constexpr BYTE kPlatform64 = 2;

  // Throws CORVWindowsOSInfoInitNeededException when the version cannot be
  // had; a registry failure reading "CSDVersion" may leave it as well.
  CORVWindowsOSInfo();
  ~CORVWindowsOSInfo();

  // 2 for a 64-bit machine (whatever the process's own width), else 1.
  BYTE getPlatform();
  // The shell's IsOS answer for feature; false when it cannot be asked.
  bool performOSQueryFunction(DWORD feature, bool& answer);
  // "ORVDrive" holds a non-empty value.
  bool performPECheck();

  bool getOSFeature18() const { return m_bOSFeature18; }
  bool getOSFeature37() const { return m_bOSFeature37; }
  bool isPE() const { return m_bPE; }
  ULONG getServicePack() const { return m_ulServicePack; }
  // major + minor / 10, e.g. 6.1.
  double getVersion() const { return m_dVersion; }

 private:
  bool m_bOSFeature18;
  bool m_bOSFeature37;
  bool m_bPE;
  ULONG m_ulServicePack;
  double m_dVersion;
};
