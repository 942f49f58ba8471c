#include "orv_registry_expand.h"

#include "orv_catch.h"
#include "orv_exceptions.h"

CORVRegistryStringExpand::CORVRegistryStringExpand(HKEY hRootKey, const CORVWCharString& szKeyName,
                                                   const CORVWCharString& szValueName, REGSAM samDesired,
                                                   bool bCreateIfMissing, DWORD dwOptions)
    : CORVRegistryString(hRootKey, szKeyName, szValueName, samDesired, bCreateIfMissing, dwOptions) {}

bool CORVRegistryStringExpand::writeRegistry() {
  try {
    const ULONG percentSigns = m_szRegStringCache.countOf(CORVWCharString(ORV_W('%')));
    if (percentSigns == 0 || percentSigns % 2 != 0)
      throw CORVBadArgException(ORV_W("m_szRegStringCache"),
                                ORV_W("value doesn't represent an expandable value which is required"), ORV_SOURCE_FILE,
                                __LINE__, ORV_OUTPUT_TEXT, true, false);
    return writeString(REG_EXPAND_SZ, ORV_W("CORVRegistryStringExpand"));
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryStringExpand::expand(const CORVWCharString& text, CORVWCharString& out) {
  try {
    const WCHAR* const source = text.getTextOrEmpty();
    const DWORD size = ExpandEnvironmentStringsW(source, nullptr, 0);
    if (size == 0) return false;
    CORVBuffer<WCHAR> expanded(size + 1);
    if (ExpandEnvironmentStringsW(source, expanded.getBuffer(), size) != size) return false;
    out = CORVWCharString(expanded);
    return true;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryStringExpand::getValue(CORVWCharString& out, bool bUseCache, bool bExpand) {
  try {
    CORVWCharString text;
    if (!getValue(text, bUseCache)) return false;
    if (bExpand) return expand(text, out);
    out = text;
    return true;
  }
  ORV_CATCH_RETURN(false)
}

bool CORVRegistryStringExpand::enumValues(CORVRegistryStringValueList& list, bool bExpand) {
  try {
    return enumValuesOfType(list, REG_EXPAND_SZ, [bExpand](const CORVRegistryValent& value) {
      CORVRegistryStringValue record{value.m_name, value.getText()};
      // A text that cannot be expanded is listed as stored.
      CORVWCharString expanded;
      if (bExpand && expand(record.m_value, expanded)) record.m_value = expanded;
      return record;
    });
  }
  ORV_CATCH_RETURN(false)
}
