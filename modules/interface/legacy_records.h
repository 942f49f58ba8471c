// The records of the store's earlier form, one JSON file ("records.json"),
// read once into the database when the database is first made.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "record_store.h"

class LegacyRecords {
 public:
  // The earlier store never grew its file past this.
  static constexpr size_t kMaxFileBytes = 64u * 1024u * 1024u;

  // Reads every record of `path`; entries that are not records are skipped,
  // as the earlier store skipped them. False, with `problem` set, when the
  // file cannot be read as the earlier store's file.
  static bool read(const std::string& path, std::vector<std::pair<std::string, StoredRecord>>& records,
                   std::string& problem);
};
