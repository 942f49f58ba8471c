// The two exports of the interface module. Each record belongs to the
// origin of the page it was saved from; its identity is the origin it was
// first saved under. The first flag byte is 1 when the page's title is not
// the one the record was saved from.
#include <initializer_list>
#include <string>
#include <type_traits>

#include "orv_platform/text_encoding.h"
#include "orvpwm_interface.h"
#include "page_origin.h"
#include "record_budget.h"
#include "record_store.h"
#include "record_store_log.h"

namespace {

std::string utf8Of(const CORVWCharString* text) {
  if (text == nullptr) return std::string();
  return orv_platform::utf8Of(text->getBuffer(), text->getLength(), orv_platform::InvalidText::kReplace);
}

// The text up to its first zero, as the library's strings hold it.
CORVWCharString wideOf(const std::string& text) {
  return CORVWCharString(orv_platform::utf16Of(text, orv_platform::InvalidText::kReplace).c_str());
}

std::vector<std::string> stringsOf(CORVWCharStringList* list) {
  std::vector<std::string> strings;
  if (list == nullptr || !list->moveFirst()) return strings;
  do {
    strings.push_back(utf8Of(list->getCurrentData()));
  } while (list->moveNext());
  list->moveFirst();
  return strings;
}

// A list past the budget is refused before it is converted: a text of more
// UTF-16 units than the budget's bytes cannot fit once it is UTF-8.
std::string listOverBudget(CORVWCharStringList* list) {
  if (list == nullptr) return std::string();
  if (list->getCount() > RecordBudget::kMaxFieldsPerList)
    return "a list holds " + std::to_string(list->getCount()) + " fields, more than " +
           std::to_string(RecordBudget::kMaxFieldsPerList);
  if (!list->moveFirst()) return std::string();
  std::string problem;
  do {
    const CORVWCharString* text = list->getCurrentData();
    if (text != nullptr && text->getLength() > RecordBudget::kMaxTextBytes)
      problem = "a field holds " + std::to_string(text->getLength()) + " characters, more than " +
                std::to_string(RecordBudget::kMaxTextBytes) + " bytes";
  } while (problem.empty() && list->moveNext());
  list->moveFirst();
  return problem;
}

bool appendAll(const std::vector<std::string>& strings, CORVWCharStringList* list) {
  for (const std::string& text : strings)
    if (!list->addTail(wideOf(text))) return false;
  return true;
}

}  // namespace

ORV_MODULE_EXPORT bool loadRecord(void*, void*, CORVWCharString* pszUrl, CORVWCharString* pszTitle, BYTE* pbFlags,
                                  BYTE* pbAutoSubmit, CORVWCharString* pszRecord, CORVWCharStringList* pPwFields,
                                  CORVWCharStringList* pPwValues, CORVWCharStringList* pTextFields,
                                  CORVWCharStringList* pTextValues) {
  try {
    if (pbFlags == nullptr || pbAutoSubmit == nullptr || pszRecord == nullptr || pPwFields == nullptr ||
        pPwValues == nullptr || pTextFields == nullptr || pTextValues == nullptr)
      return false;
    const std::string origin = pageOrigin(utf8Of(pszUrl));
    if (origin.empty()) return false;
    StoredRecord record;
    if (!RecordStore(RecordStore::defaultFolder()).find(origin, record)) return false;
    *pbFlags = utf8Of(pszTitle) != record.title ? 1 : 0;
    *pbAutoSubmit = record.autoSubmit ? 1 : 0;
    *pszRecord = wideOf(record.identity);
    return appendAll(record.pwFields, pPwFields) && appendAll(record.pwValues, pPwValues) &&
           appendAll(record.textFields, pTextFields) && appendAll(record.textValues, pTextValues);
  } catch (...) {
    return false;  // nothing may unwind into the host
  }
}

ORV_MODULE_EXPORT bool createRecord(void*, CORVWCharString* pszUrl, CORVWCharString* pszTitle,
                                    CORVWCharStringList* pPwFields, CORVWCharStringList* pPwValues,
                                    CORVWCharStringList* pTextFields, CORVWCharStringList* pTextValues) {
  try {
    const std::string origin = pageOrigin(utf8Of(pszUrl));
    if (origin.empty()) return false;
    std::string overBudget;
    for (CORVWCharStringList* list : {pPwFields, pPwValues, pTextFields, pTextValues})
      if (overBudget.empty()) overBudget = listOverBudget(list);
    if (overBudget.empty() && pszTitle != nullptr && pszTitle->getLength() > RecordBudget::kMaxTextBytes)
      overBudget = "its title is longer than " + std::to_string(RecordBudget::kMaxTextBytes) + " bytes";
    StoredRecord record;
    if (overBudget.empty()) {
      record.identity = origin;
      record.title = utf8Of(pszTitle);
      record.pwFields = stringsOf(pPwFields);
      if (record.pwFields.empty()) return false;  // a login without a password field is no record
      record.pwValues = stringsOf(pPwValues);
      record.textFields = stringsOf(pTextFields);
      record.textValues = stringsOf(pTextValues);
      overBudget = RecordBudget::problemOf(origin, record);
    }
    if (!overBudget.empty()) {
      logRecordStoreFailure(ORV_W("createRecord"),
                            "The record of " + origin.substr(0, 256) + " is over budget and not stored: " + overBudget,
                            static_cast<DWORD>(-1), __LINE__);
      return false;
    }
    return RecordStore(RecordStore::defaultFolder()).store(origin, record);
  } catch (...) {
    return false;
  }
}

static_assert(std::is_same_v<decltype(&loadRecord), ORVPWM_LOAD_RECORD_FN>, "loadRecord keeps its contract");
static_assert(std::is_same_v<decltype(&createRecord), ORVPWM_CREATE_RECORD_FN>, "createRecord keeps its contract");
