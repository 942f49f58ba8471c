#include "orv_product.h"

#include <new>

#include "orv_catch.h"
#include "orv_exceptions.h"
#include "orv_flags.h"
#include "orv_registry_string.h"
#include "orv_trace_scope.h"
#include "orv_windows_os_info.h"

namespace {
constexpr ULONG kVersionLevels = 4;
}  // namespace

CORVProduct::CORVProduct(const CORVWCharString& strCompany, const CORVWCharString& strProduct)
    : m_strCompany(strCompany), m_strProduct(strProduct) {
  ORV_TRACE("CORVProduct", "Constructor");
  ORV_TRACE_RESULT(true);
}

CORVProduct::~CORVProduct() {
  ORV_TRACE("CORVProduct", "Destructor");
  ORV_TRACE_RESULT(true);
}

bool CORVProduct::addRegistryInfo(const CORVWCharString& strKey, const CORVWCharString& strVersionValue,
                                  const CORVWCharString& strInstallPathValue) {
  // The list owns the location from here on, also when it cannot add it.
  CORVProductRegistryInfo* const info =
      new (std::nothrow) CORVProductRegistryInfo(strKey, strVersionValue, strInstallPathValue);
  if (info == nullptr)
    throw CORVMemAllocException(ORV_W("pRegistryInfo"), ORV_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
  return m_registryInfos.addTail(info);
}

bool CORVProduct::checkParms(const LONG* lVersions) {
  ORV_TRACE("CORVProduct", "checkParms");
  bool wellFormed = false;
  try {
    if (lVersions == nullptr)
      throw CORVBadArgException(ORV_W("lVersions"), ORV_W("Cannot have NULL value"), ORV_SOURCE_FILE, __LINE__,
                                ORV_OUTPUT_TEXT, true, false);
    ULONG firstDontCare = 0;
    while (firstDontCare < kVersionLevels - 1 && lVersions[firstDontCare] != ORV_DONT_CARE) ++firstDontCare;
    for (ULONG level = firstDontCare + 1; level < kVersionLevels; ++level) {
      if (lVersions[level] == ORV_DONT_CARE) continue;
      const CORVWCharString argument =
          CORVWCharString(ORV_W("lVersions[")) + CORVWCharString(static_cast<INT>(level)) + CORVWCharString(ORV_W("]"));
      throw CORVBadArgException(argument.getBuffer(), ORV_W("Cannot be real value, ORV_DONT_CAREs prior"),
                                ORV_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true, false);
    }
    wellFormed = true;
  }
  ORV_CATCH_THEN(errno, __LINE__, wellFormed = false)
  ORV_TRACE_RESULT(wellFormed);
  return wellFormed;
}

bool CORVProduct::convertVersion(const CORVWCharString& version, LONG& lMajorVer, LONG& lMinorVer, LONG& lBuildVer,
                                 LONG& lPatchVer) {
  ORV_TRACE("CORVProduct", "convertVersion");
  bool converted = false;
  try {
    LONG* const levels[kVersionLevels] = {&lMajorVer, &lMinorVer, &lBuildVer, &lPatchVer};
    const CORVWCharString separator(ORV_W("."));
    for (ULONG level = 0; level < kVersionLevels; ++level) {
      CORVWCharString field;
      ULONG number = 0;
      const bool parsed =
          version.getField(field, separator, level + 1, CORVWCharString::fromStart, CORVFlags(0), CORVFlags(0)) &&
          field.toNumber(number, CORVWCharString::nsDecimal, false);
      *levels[level] = parsed ? static_cast<LONG>(number) : 0;
    }
    converted = true;
  }
  ORV_CATCH_THEN(errno, __LINE__, converted = false)
  ORV_TRACE_RESULT(converted);
  return converted;
}

bool CORVProduct::isVersionInstalled(const LONG* lRequired, const LONG* lInstalled) {
  ORV_TRACE("CORVProduct", "isVersionInstalled");
  bool installed = false;
  try {
    if (lRequired == nullptr || lInstalled == nullptr)
      throw CORVBadArgException(lRequired == nullptr ? ORV_W("lRequired") : ORV_W("lInstalled"),
                                ORV_W("Cannot have NULL value"), ORV_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true,
                                false);
    // ORV_DONT_CARE is -1: below every real level, so it never fails the test.
    ULONG level = 0;
    while (level < kVersionLevels && lRequired[level] == lInstalled[level]) ++level;
    installed = level == kVersionLevels || lRequired[level] < lInstalled[level];
  }
  ORV_CATCH_THEN(errno, __LINE__, installed = false)
  ORV_TRACE_RESULT(installed);
  return installed;
}

bool CORVProduct::getRegistryItem(ULONG item, CORVWCharString& out) {
  ORV_TRACE("CORVProduct", "getRegistryItem");
  bool found = false;
  try {
    CORVWindowsOSInfo osInfo;
    // Retry in the view the default one is not.
    const REGSAM otherView = osInfo.getPlatform() == CORVWindowsOSInfo::kPlatform64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    const CORVWCharString defaultValue;
    m_registryInfos.moveFirst();
    for (const CORVProductRegistryInfo* info = m_registryInfos.getCurrentData(); info != nullptr && !found;
         info = m_registryInfos.moveNext() ? m_registryInfos.getCurrentData() : nullptr) {
      const CORVWCharString& valueName = item == kItemKeyPath || item == kItemInstallPath ? info->getInstallPathValue()
                                         : item == kItemVersion                           ? info->getVersionValue()
                                                                                          : defaultValue;
      CORVRegistryString value(HKEY_LOCAL_MACHINE, info->getKey(), valueName, KEY_READ, false, 0);
      CORVWCharString text;
      bool read = value.getValue(text, false);
      if (!read) read = value.setAccess(KEY_READ | otherView) && value.getValue(text, false);
      if (read) {
        out = item == kItemKeyPath ? info->getKey() : text;
        found = true;
      }
    }
  }
  ORV_CATCH_THEN(errno, __LINE__, found = false)
  ORV_TRACE_RESULT(found);
  return found;
}
