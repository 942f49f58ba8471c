// A minimal interface module: it stores nothing and answers every page that
// has an address with one empty password field, "password", and one empty
// text field, "username", so that the browser sees a login form it knows.
// The record text is the page's address. A real module looks the page up in
// its store here and appends what it finds.
//
// The host owns every object it passes. Appending to its lists is safe
// because host and module share the library's allocator; nothing may unwind
// out of an export.
#include <type_traits>

#include "orvpwm_interface.h"

ORV_MODULE_EXPORT bool loadRecord(void*, void*, CORVWCharString* pszUrl, CORVWCharString*, BYTE* pbFlags,
                                  BYTE* pbAutoSubmit, CORVWCharString* pszRecord, CORVWCharStringList* pPwFields,
                                  CORVWCharStringList* pPwValues, CORVWCharStringList* pTextFields,
                                  CORVWCharStringList* pTextValues) {
  try {
    if (pszUrl == nullptr || pszUrl->getLength() == 0 || pbFlags == nullptr || pbAutoSubmit == nullptr ||
        pszRecord == nullptr || pPwFields == nullptr || pPwValues == nullptr || pTextFields == nullptr ||
        pTextValues == nullptr)
      return false;
    *pbFlags = 0;
    *pbAutoSubmit = 0;
    *pszRecord = *pszUrl;
    return pPwFields->addTail(CORVWCharString(ORV_W("password"))) && pPwValues->addTail(CORVWCharString()) &&
           pTextFields->addTail(CORVWCharString(ORV_W("username"))) && pTextValues->addTail(CORVWCharString());
  } catch (...) {
    return false;
  }
}

// This module keeps nothing.
ORV_MODULE_EXPORT bool createRecord(void*, CORVWCharString*, CORVWCharString*, CORVWCharStringList*,
                                    CORVWCharStringList*, CORVWCharStringList*, CORVWCharStringList*) {
  return false;
}

static_assert(std::is_same_v<decltype(&loadRecord), ORVPWM_LOAD_RECORD_FN>, "loadRecord keeps its contract");
static_assert(std::is_same_v<decltype(&createRecord), ORVPWM_CREATE_RECORD_FN>, "createRecord keeps its contract");
