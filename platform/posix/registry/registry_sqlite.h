// The SQL of the registry store: its schema, its prepared statements and a
// small cursor over one statement in use.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "orv_win32.h"

namespace orv_posix {

// "ORVR" in the database header tells a hive file from any other database.
constexpr uint32_t kRegistryApplicationId = 0x4F525652u;
// 2: `fold` is the Unicode simple upper case. Files of version 1 (ASCII
// upper case) are read, and upgraded by the first process that may write.
constexpr uint32_t kRegistryFormatVersion = 2;
constexpr uint32_t kRegistryOldestFormatVersion = 1;

// Creates the tables and the four roots in an empty database.
extern const char kRegistrySchema[];
// Turns a format 1 hive into format 2, inside a write transaction.
extern const char kRegistryUpgradeToVersion2[];

// Keys: `name` is the UTF-16 name as created, `fold` its upper-cased form in
// big-endian order, so that the index orders siblings as Windows does. Roots
// have parent -id. Values keep their creation order in `seq`.
enum class RegistrySql {
  kBegin,
  kBeginImmediate,
  kCommit,
  kRollback,
  kKeyWritten,
  kChild,
  kInsertKey,
  kTouchKey,
  kParentOf,
  kHasChildren,
  kValue,
  kSetValue,
  kDeleteValue,
  kChildAt,
  kChildAfter,
  kValueAt,
  kValueAfter,
  kValueNameAt,
  kValueNameAfter,
  kChildInfo,
  kValueInfo,
  kDeleteTreeValues,
  kDeleteTreeKeys,
  kDeleteSubtreeKeys,
  kCount
};

// The statements of one connection, each prepared on its first use (a
// process that only reads needs a few of them) and kept until the
// connection closes.
class RegistryStatements {
 public:
  explicit RegistryStatements(sqlite3* db) : db_(db) {}
  ~RegistryStatements();
  RegistryStatements(const RegistryStatements&) = delete;
  RegistryStatements& operator=(const RegistryStatements&) = delete;

  // Null when SQLite refuses it; a query over null fails as a damaged hive.
  sqlite3_stmt* get(RegistrySql which);

 private:
  sqlite3* db_;
  std::array<sqlite3_stmt*, static_cast<size_t>(RegistrySql::kCount)> prepared_{};
};

// One use of a prepared statement: binds, steps, reads columns, and resets
// the statement when it goes.
class RegistryQuery {
 public:
  // A null statement (one SQLite refused) fails every step as a damaged hive.
  explicit RegistryQuery(sqlite3_stmt* statement)
      : statement_(statement), bindStatus_(statement != nullptr ? SQLITE_OK : SQLITE_CORRUPT) {}
  ~RegistryQuery();
  RegistryQuery(const RegistryQuery&) = delete;
  RegistryQuery& operator=(const RegistryQuery&) = delete;

  RegistryQuery& bind(int index, int64_t number);
  RegistryQuery& bindBytes(int index, const void* bytes, size_t size);
  RegistryQuery& bindName(int index, std::u16string_view name);
  // SQLITE_ROW, SQLITE_DONE or an error.
  int step();
  int64_t integer(int column) const;
  std::string bytes(int column) const;
  std::u16string name(int column) const;

 private:
  sqlite3_stmt* statement_;
  int bindStatus_;
};

// The Win32 status for a SQLite result code.
LONG registryStatusOf(int sqliteResult);
// A statement run to its end, as a Win32 status.
LONG registryRun(RegistryQuery& query);
// The folded name as stored in `fold`.
std::string registryFoldKey(std::u16string_view name);
// Now, in FILETIME units.
uint64_t registryNow();
// The Win32 status for an errno value.
LONG registryStatusOfErrno(int error);

// A hive file is a SQLite database (rollback journal or write-ahead log)
// carrying our application id and a format version we read; anything else is
// refused untouched.
LONG registryCheckHeader(int fd);
// Options every connection gets: waits for other writers, distrusts what a
// file's schema might ask to run, checks pages as they are read; and the
// function registry_fold(name), for statements that fold in SQL.
void registryConfigure(sqlite3* db);
// ERROR_SUCCESS when `schema` ("main", or an attached file) holds exactly the
// tables, indexes and format of a hive; ERROR_REGISTRY_CORRUPT otherwise.
LONG registryCheckSchema(sqlite3* db, const char* schema);
// A new file at `path` (ERROR_ALREADY_EXISTS when there is one) holding the
// schema and nothing else.
LONG registryWriteEmptyHive(const std::string& path, mode_t mode);
// `path` as a read-only SQLite URI, for ATTACH.
std::string registryReadOnlyUri(const std::string& path);

}  // namespace orv_posix
