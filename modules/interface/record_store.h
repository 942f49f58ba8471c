// The records of one user: one JSON file, read and replaced whole under a
// lock that every process of the user's honours, so that two hosts (two
// browser profiles) never lose or tear each other's records.
#pragma once

#include <string>
#include <vector>

struct StoredRecord {
  std::string identity;  // stays the same when the record is replaced
  std::string title;     // the page title the record was saved from
  bool autoSubmit = true;
  std::vector<std::string> pwFields, pwValues, textFields, textValues;  // UTF-8, in page order
};

class RecordStore {
 public:
  // Files larger than this are not read (and not grown past it).
  static constexpr size_t kMaxFileBytes = 64u * 1024u * 1024u;

  // The store file in `folder`: "records.json", locked through "records.lock".
  explicit RecordStore(const std::string& folder);

  // ORVPWM_RECORDS_DIR when it is set, else "Halvik/Password Manager" in the
  // user's application data folder.
  static std::string defaultFolder();

  // The record stored for the origin; false when there is none or the store
  // cannot be read.
  bool find(const std::string& origin, StoredRecord& record) const;
  // Stores or replaces the origin's record. A replaced record keeps its
  // identity and auto-submit flag. False, with the file untouched, when the
  // store cannot be read (a damaged file is never overwritten) or written.
  bool store(const std::string& origin, const StoredRecord& record) const;

 private:
  std::string folder_;
  std::string file_;
  std::string lock_;
};
