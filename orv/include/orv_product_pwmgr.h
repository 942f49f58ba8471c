// CORVProduct_PwMgr: the password manager's descriptor. It is found under
// HKEY_LOCAL_MACHINE "Software\Halvik\Password Manager" or, for an
// installation made under the former name, "Software\Ostrel
// Quillmarsh\Password Manager", values "Version" and "InstallPath".
#pragma once

#include "orv_product.h"

class ORV_API CORVProduct_PwMgr : public CORVProduct {
 public:
  CORVProduct_PwMgr();
  ~CORVProduct_PwMgr() override;

  bool isInstalled(LONG lMajorVer, LONG lMinorVer, LONG lBuildVer, LONG lPatchVer) override;
  bool getProductVersion(LONG& lMajorVer, LONG& lMinorVer, LONG& lBuildVer, LONG& lPatchVer) override;
  bool getProductVersion(CORVWCharString& version) override;

  // The "InstallPath" text as stored (no separator is added); directory is
  // left alone when no location has one.
  bool getInstallDirectory(CORVWCharString& directory);
};
