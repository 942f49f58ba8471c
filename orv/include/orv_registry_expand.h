// CORVRegistryStringExpand: a REG_EXPAND_SZ value. Only a text holding an
// even, non-zero number of '%' is written; reads can expand the
// environment-variable references.
#pragma once

#include "orv_registry_string.h"

class ORV_API CORVRegistryStringExpand : public CORVRegistryString {
 public:
  CORVRegistryStringExpand(HKEY hRootKey, const CORVWCharString& szKeyName, const CORVWCharString& szValueName,
                           REGSAM samDesired, bool bCreateIfMissing, DWORD dwOptions);

  bool writeRegistry() override;

  using CORVRegistryString::getValue;
  // With bExpand, out receives the text with its references expanded.
  bool getValue(CORVWCharString& out, bool bUseCache, bool bExpand);

  // The key's REG_EXPAND_SZ values, expanded with bExpand.
  bool enumValues(CORVRegistryStringValueList& list, bool bExpand);

  // ExpandEnvironmentStringsW of text; false when the expansion fails or
  // changes size between its two calls.
  static bool expand(const CORVWCharString& text, CORVWCharString& out);
};
