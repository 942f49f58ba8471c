// The records of one user: a SQLite file with one row per origin, changed
// under a lock that every process of the user's honours, so that two hosts
// (two browser profiles) never lose or tear each other's records. Its
// folder and files are the user's alone; a file that another user owns or
// may write is not used.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "orv_win32.h"

struct StoredRecord {
  std::string identity;  // stays the same when the record is replaced
  std::string title;     // the page title the record was saved from
  bool autoSubmit = true;
  std::vector<std::string> pwFields, pwValues, textFields, textValues;  // UTF-8, in page order
};

namespace orv_platform {
class FileLock;
}
class RecordDatabase;

class RecordStore {
 public:
  // The store in `folder`: "records.db", locked through "records.lock". The
  // earlier store's "records.json" there is read into it once, when it is made.
  explicit RecordStore(const std::string& folder);

  // ORVPWM_RECORDS_DIR when it is set, else "Halvik/Password Manager" in the
  // user's application data folder.
  static std::string defaultFolder();

  // The record stored for the origin; false when there is none or the store
  // cannot be used (an exception record then says why).
  bool find(const std::string& origin, StoredRecord& record) const;
  // Stores or replaces the origin's record in one transaction. A replaced
  // record keeps its identity and auto-submit flag. False, with an
  // exception record and nothing changed, when the store cannot be used.
  bool store(const std::string& origin, const StoredRecord& record) const;

 private:
  // The lock held and the database open and made (the connection this
  // process keeps, for the caller's turn), for a find with its read
  // transaction begun (the caller ends it); null when there is nothing to
  // find (`forStore` false) or the store cannot be used.
  RecordDatabase* open(bool forStore, std::unique_ptr<orv_platform::FileLock>& lock) const;

  // The first use of the database: its table, with the earlier file's
  // records within budget (each one left out is logged).
  void makeTable(RecordDatabase& database, bool legacyExists, const WCHAR* method, std::string& problem) const;

  std::string folder_;
  std::string database_;
  std::string lock_;
  std::string legacy_;
};
