// What one record may hold, so that no page can fill the store or make a
// load costly: counted in UTF-8 bytes, as the record is stored.
#pragma once

#include <string>

#include "record_store.h"

struct RecordBudget {
  static constexpr size_t kMaxFieldsPerList = 256;
  static constexpr size_t kMaxTextBytes = 64u * 1024u;
  static constexpr size_t kMaxRecordBytes = 256u * 1024u;

  // Why the record is over budget; empty when it is within it.
  static std::string problemOf(const std::string& origin, const StoredRecord& record);
};
