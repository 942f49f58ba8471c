// The password manager's interface module: the published contract between
// the browser host and the module that keeps the records.
//
// The module is a dynamic library named "orvpwm_interface.dll" (on every
// platform) in the password manager's install directory. It exports two
// functions with C linkage:
//
//   ORV_MODULE_EXPORT bool loadRecord(...);     // see ORVPWM_LOAD_RECORD_FN
//   ORV_MODULE_EXPORT bool createRecord(...);   // see ORVPWM_CREATE_RECORD_FN
//
// Every object argument is owned by the host: the module reads the inputs and
// fills the outputs in place, appending to the lists. Host and module share
// the library's layouts and its allocator (orv_allocator.h), so that what one
// side appends the other may release. Texts are UTF-16.
#pragma once

#include "orv_platform/module_export.h"
#include "orv_wchar_string.h"

#define ORVPWM_INTERFACE_MODULE_NAME "orvpwm_interface.dll"
#define ORVPWM_LOAD_RECORD_EXPORT "loadRecord"
#define ORVPWM_CREATE_RECORD_EXPORT "createRecord"

static_assert(sizeof(bool) == 1, "the exports return a one-byte boolean");

// Looks up the stored record of a page.
//   pReserved1, pReserved2  always null
//   pszUrl, pszTitle        the page's address and title
//   pbFlags                 out: the first flag byte (preset 0)
//   pbAutoSubmit            out: the auto-submit flag byte (preset 0)
//   pszRecord               out: the record's identity text (preset empty)
//   pPwFields, pPwValues    out: password field names and values, in order
//   pTextFields, pTextValues out: text field names and values, in order
// Returns true when a record was found.
typedef bool (*ORVPWM_LOAD_RECORD_FN)(void* pReserved1, void* pReserved2, CORVWCharString* pszUrl,
                                      CORVWCharString* pszTitle, BYTE* pbFlags, BYTE* pbAutoSubmit,
                                      CORVWCharString* pszRecord, CORVWCharStringList* pPwFields,
                                      CORVWCharStringList* pPwValues, CORVWCharStringList* pTextFields,
                                      CORVWCharStringList* pTextValues);

// Stores (or replaces) the record of a page from the fields a user submitted.
//   pReserved               always null
//   the other arguments     inputs, as for loadRecord
// Returns true when the record was stored.
typedef bool (*ORVPWM_CREATE_RECORD_FN)(void* pReserved, CORVWCharString* pszUrl, CORVWCharString* pszTitle,
                                        CORVWCharStringList* pPwFields, CORVWCharStringList* pPwValues,
                                        CORVWCharStringList* pTextFields, CORVWCharStringList* pTextValues);
