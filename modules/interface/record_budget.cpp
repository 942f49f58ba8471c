#include "record_budget.h"

#include <vector>

std::string RecordBudget::problemOf(const std::string& origin, const StoredRecord& record) {
  size_t total = origin.size() + record.identity.size() + record.title.size();
  if (origin.size() > kMaxTextBytes || record.identity.size() > kMaxTextBytes || record.title.size() > kMaxTextBytes)
    return "its address or title is longer than " + std::to_string(kMaxTextBytes) + " bytes";
  const std::vector<const std::vector<std::string>*> lists = {&record.pwFields, &record.pwValues, &record.textFields,
                                                              &record.textValues};
  for (const std::vector<std::string>* list : lists) {
    if (list->size() > kMaxFieldsPerList)
      return "a list holds " + std::to_string(list->size()) + " fields, more than " + std::to_string(kMaxFieldsPerList);
    for (const std::string& text : *list) {
      if (text.size() > kMaxTextBytes)
        return "a field holds " + std::to_string(text.size()) + " bytes, more than " + std::to_string(kMaxTextBytes);
      total += text.size();
    }
  }
  if (total > kMaxRecordBytes)
    return "it holds " + std::to_string(total) + " bytes, more than " + std::to_string(kMaxRecordBytes);
  return std::string();
}
