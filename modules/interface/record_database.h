// The records in SQLite: one row per origin in the table "records", the four
// field lists as JSON arrays of strings. A connection serves one command at a
// time and keeps its statements across commands; the caller holds the store's
// lock and has checked the files before each.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "record_store.h"

struct sqlite3;
class RecordStatement;
namespace Json {
class CharReader;
class StreamWriter;
}  // namespace Json

class RecordDatabase {
 public:
  // The file's content version ("PRAGMA user_version") once the table is made.
  static constexpr int kVersion = 1;

  // Opens the existing file `path` (never a link); null, with `problem` set,
  // when it is no database or the durable settings cannot be made.
  static std::unique_ptr<RecordDatabase> open(const std::string& path, std::string& problem);
  ~RecordDatabase();
  RecordDatabase(const RecordDatabase&) = delete;
  RecordDatabase& operator=(const RecordDatabase&) = delete;

  // One read transaction over the calls up to endRead(): a find reads the
  // version and its record with one lock of the file instead of two.
  bool beginRead(std::string& problem);
  // Ends the read transaction, when one is open.
  void endRead();
  // 0 for a file whose table is not made yet; -1 when it cannot be read.
  int version(std::string& problem);
  // Makes the table, stores `imported` and sets the version, in one
  // transaction: a crash leaves the file as it was.
  bool create(const std::vector<std::pair<std::string, StoredRecord>>& imported, std::string& problem);
  // True when the origin has a record; false with `problem` empty when it has none.
  bool find(const std::string& origin, StoredRecord& record, std::string& problem);
  // Stores or replaces the origin's record; a replaced record keeps its
  // identity and auto-submit flag.
  bool store(const std::string& origin, const StoredRecord& record, std::string& problem);

 private:
  explicit RecordDatabase(sqlite3* connection);
  bool execute(const char* sql, std::string& problem);
  std::string errorOf(const char* step) const;
  // The statement `sql`, prepared on its first use.
  RecordStatement& statement(std::unique_ptr<RecordStatement>& held, const char* sql);
  Json::CharReader& listReader();
  Json::StreamWriter& listWriter();

  sqlite3* connection_;
  std::unique_ptr<RecordStatement> begin_, commit_, version_, find_, store_;
  std::unique_ptr<Json::CharReader> listReader_;
  std::unique_ptr<Json::StreamWriter> listWriter_;
};
