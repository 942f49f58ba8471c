#include "orv_product_pwmgr.h"

#include "orv_catch.h"
#include "orv_exceptions.h"
#include "orv_trace_scope.h"

CORVProduct_PwMgr::CORVProduct_PwMgr() : CORVProduct(ORV_W("Halvik"), ORV_W("Password Manager")) {
  ORV_TRACE("CORVProduct_PwMgr", "Constructor");
  const bool added =
      addRegistryInfo(ORV_W("Software\\Halvik\\Password Manager"), ORV_W("Version"), ORV_W("InstallPath")) &&
      addRegistryInfo(ORV_W("Software\\Ostrel Quillmarsh\\Password Manager"), ORV_W("Version"), ORV_W("InstallPath"));
  ORV_TRACE_RESULT(added);
}

CORVProduct_PwMgr::~CORVProduct_PwMgr() {
  ORV_TRACE("CORVProduct_PwMgr", "Destructor");
  ORV_TRACE_RESULT(true);
}

bool CORVProduct_PwMgr::getInstallDirectory(CORVWCharString& directory) {
  ORV_TRACE("CORVProduct_PwMgr", "getInstallDirectory");
  const bool found = getRegistryItem(kItemInstallPath, directory);
  ORV_TRACE_RESULT(found);
  return found;
}

bool CORVProduct_PwMgr::getProductVersion(CORVWCharString& version) {
  ORV_TRACE("CORVProduct_PwMgr", "getProductVersion");
  const bool found = getRegistryItem(kItemVersion, version);
  ORV_TRACE_RESULT(found);
  return found;
}

bool CORVProduct_PwMgr::getProductVersion(LONG& lMajorVer, LONG& lMinorVer, LONG& lBuildVer, LONG& lPatchVer) {
  ORV_TRACE("CORVProduct_PwMgr", "getProductVersion");
  bool converted = false;
  try {
    CORVWCharString version;
    converted = getProductVersion(version) && convertVersion(version, lMajorVer, lMinorVer, lBuildVer, lPatchVer);
  }
  ORV_CATCH_THEN(errno, __LINE__, converted = false)
  ORV_TRACE_RESULT(converted);
  return converted;
}

bool CORVProduct_PwMgr::isInstalled(LONG lMajorVer, LONG lMinorVer, LONG lBuildVer, LONG lPatchVer) {
  ORV_TRACE("CORVProduct_PwMgr", "isInstalled");
  bool installed = false;
  try {
    const LONG required[] = {lMajorVer, lMinorVer, lBuildVer, lPatchVer};
    if (!checkParms(required))
      throw CORVBadArgException(ORV_W("lMinorVer, lBuildVer, or lPatchVer"),
                                ORV_W("Cannot have value after ORV_DONT_CARE"), ORV_SOURCE_FILE, __LINE__,
                                ORV_OUTPUT_TEXT, true, false);
    LONG current[] = {0, 0, 0, 0};
    installed =
        getProductVersion(current[0], current[1], current[2], current[3]) && isVersionInstalled(required, current);
  }
  ORV_CATCH_THEN(errno, __LINE__, installed = false)
  ORV_TRACE_RESULT(installed);
  return installed;
}
