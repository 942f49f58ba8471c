// CORVProduct: the descriptor of an installed product of the maker: where it
// is installed and which version, read from the registry locations it
// names, in order of preference (the current key first, former ones after).
//
// Version numbers are four signed levels (major, minor, build, patch);
// ORV_DONT_CARE marks a level that does not matter, and every later level
// must then be ORV_DONT_CARE too.
#pragma once

#include "orv_dbllist.h"
#include "orv_product_registryinfo.h"
#include "orv_wchar_string.h"

#define ORV_DONT_CARE (-1)

typedef CORVDblList<CORVPtrNode<CORVProductRegistryInfo>> CORVProductRegistryInfoList;

class ORV_API CORVProduct {
 public:
  // What getRegistryItem reads.
  static constexpr ULONG kItemKeyPath = 1;      // the location's key path itself
  static constexpr ULONG kItemVersion = 2;      // the version value
  static constexpr ULONG kItemInstallPath = 3;  // the install path value

  CORVProduct(const CORVWCharString& strCompany, const CORVWCharString& strProduct);
  CORVProduct(const CORVProduct&) = delete;
  CORVProduct& operator=(const CORVProduct&) = delete;
  virtual ~CORVProduct();

  // The installed version is at least the one given.
  virtual bool isInstalled(LONG lMajorVer, LONG lMinorVer, LONG lBuildVer, LONG lPatchVer) = 0;
  virtual bool getProductVersion(LONG& lMajorVer, LONG& lMinorVer, LONG& lBuildVer, LONG& lPatchVer) = 0;
  virtual bool getProductVersion(CORVWCharString& version) = 0;

  // The four levels are well formed: no real level after an ORV_DONT_CARE.
  bool checkParms(const LONG* lVersions);
  // "major.minor.build.patch" as four decimal levels; a missing or
  // non-decimal field gives 0.
  bool convertVersion(const CORVWCharString& version, LONG& lMajorVer, LONG& lMinorVer, LONG& lBuildVer,
                      LONG& lPatchVer);
  // installed is at least required, level by level.
  bool isVersionInstalled(const LONG* lRequired, const LONG* lInstalled);
  // The item from the first location that has it, retried in the other
  // registry view; out is left alone when none has it.
  bool getRegistryItem(ULONG item, CORVWCharString& out);

  const CORVWCharString& getCompany() const { return m_strCompany; }
  const CORVWCharString& getProduct() const { return m_strProduct; }

 protected:
  // Appends a location; the list owns it from then on.
  bool addRegistryInfo(const CORVWCharString& strKey, const CORVWCharString& strVersionValue,
                       const CORVWCharString& strInstallPathValue);

  CORVWCharString m_strCompany;
  CORVWCharString m_strProduct;
  CORVProductRegistryInfoList m_registryInfos;
};
