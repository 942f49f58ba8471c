// Saving a key to a hive file and restoring one: the file is a database of
// the hive's own layout whose first root is the saved key.
#include <fcntl.h>
#include <unistd.h>

#include "core/posix_io.h"
#include "registry_hive.h"
#include "registry_sqlite.h"

namespace orv_posix {
namespace {

constexpr RegistryKeyId kFileRoot = 1;
constexpr off_t kJournalModeOffset = 18;  // in the SQLite database header: 1 rollback, 2 write-ahead log

#define ORV_SUBTREE_OF(schema, root)                                           \
  "WITH RECURSIVE tree(id) AS (SELECT " root " UNION SELECT k.id FROM " schema \
  ".keys k JOIN tree ON "                                                      \
  "k.parent = tree.id) "

LONG execute(sqlite3* db, const char* sql, RegistryKeyId first = 0, RegistryKeyId second = 0) {
  sqlite3_stmt* statement = nullptr;
  const int prepared = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
  if (prepared != SQLITE_OK) {
    sqlite3_finalize(statement);
    return registryStatusOf(prepared);
  }
  LONG status = ERROR_SUCCESS;
  {
    RegistryQuery query(statement);
    if (sqlite3_bind_parameter_count(statement) >= 1) query.bind(1, first);
    if (sqlite3_bind_parameter_count(statement) >= 2) query.bind(2, second);
    status = registryRun(query);
  }
  sqlite3_finalize(statement);
  return status;
}

LONG attach(sqlite3* db, const std::string& file, const char* schema) {
  const std::string uri = registryReadOnlyUri(file);
  const std::string sql = std::string("ATTACH DATABASE ?1 AS ") + schema;
  sqlite3_stmt* statement = nullptr;
  int result = sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
  if (result == SQLITE_OK) {
    sqlite3_bind_text(statement, 1, uri.c_str(), -1, SQLITE_STATIC);
    result = sqlite3_step(statement);
  }
  sqlite3_finalize(statement);
  return registryStatusOf(result);
}

// A file RegSaveKeyW made: a hive in rollback mode, whole in itself.
LONG checkHiveFile(const std::string& file) {
  const FileDescriptor hive(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!hive.valid()) {
    const LONG status = registryStatusOfErrno(errno);
    return status == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : status;
  }
  LONG status = registryCheckHeader(hive.get());
  unsigned char mode = 0;
  if (status == ERROR_SUCCESS && (pread(hive.get(), &mode, 1, kJournalModeOffset) != 1 || mode != 1)) {
    status = ERROR_REGISTRY_CORRUPT;
  }
  return status;
}

// The rows a restore would take, each of the types and sizes a hive holds:
// names of whole UTF-16 code units within the name limits that the calls can
// reach by name, integer types and times, blob data. Anything else makes the
// file no hive.
const char kCountUnfitRows[] =
    ORV_SUBTREE_OF("saved", "1") "SELECT"
    " (SELECT count(*) FROM saved.keys WHERE id IN tree AND id <> 1 AND (typeof(name) <> 'blob'"
    "  OR length(name) = 0 OR length(name) > 510 OR NOT registry_name_fits(name, 1) OR typeof(written) <> 'integer'))"
    " + (SELECT count(*) FROM saved.vals WHERE key IN tree AND (typeof(name) <> 'blob'"
    "  OR NOT registry_name_fits(name, 0)"
    "  OR length(name) > 32766 OR typeof(data) <> 'blob' OR typeof(type) <> 'integer' OR type < 0"
    "  OR type > 4294967295))";

LONG checkSavedRows(sqlite3* db) {
  LONG status = registryCheckSchema(db, "saved");
  if (status != ERROR_SUCCESS) return status;
  sqlite3_stmt* statement = nullptr;
  int result = sqlite3_prepare_v2(db, kCountUnfitRows, -1, &statement, nullptr);
  if (result == SQLITE_OK) result = sqlite3_step(statement);
  const bool fit = result == SQLITE_ROW && sqlite3_column_int64(statement, 0) == 0;
  sqlite3_finalize(statement);
  if (fit) return ERROR_SUCCESS;
  status = result == SQLITE_ROW ? ERROR_REGISTRY_CORRUPT : registryStatusOf(result);
  return status == ERROR_SUCCESS ? ERROR_REGISTRY_CORRUPT : status;
}

// Runs each statement of `steps` while the previous ones succeeded.
LONG executeAll(sqlite3* db, std::initializer_list<const char*> steps, RegistryKeyId first, RegistryKeyId second) {
  LONG status = ERROR_SUCCESS;
  for (const char* sql : steps) {
    if (status == ERROR_SUCCESS) status = execute(db, sql, first, second);
  }
  return status;
}

}  // namespace

LONG RegistryHive::saveKey(RegistryKeyId key, const std::string& file) {
  LONG status = checkKey(key);
  if (status != ERROR_SUCCESS) return status;
  std::lock_guard<std::mutex> guard(lock_);
  // The copy is as private as its source: owner-only for HKEY_CURRENT_USER.
  status = registryWriteEmptyHive(file, fileMode_);
  if (status != ERROR_SUCCESS || state_ != State::kOpen) return status;

  sqlite3* out = nullptr;
  if (sqlite3_open_v2(file.c_str(), &out, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI, nullptr) !=
      SQLITE_OK) {
    status = ERROR_ACCESS_DENIED;
  } else {
    registryConfigure(out);
    status = attach(out, path_, "live");
  }
  if (status == ERROR_SUCCESS) {
    // One transaction: the copy is a snapshot of the subtree.
    status = executeAll(
        out,
        {"BEGIN",
         ORV_SUBTREE_OF("live", "?1") "INSERT INTO main.keys(id, parent, name, fold, written) "
                                      "SELECT id, CASE WHEN parent = ?1 THEN ?2 ELSE parent END, name, fold, written "
                                      "FROM live.keys WHERE id IN tree AND id <> ?1",
         ORV_SUBTREE_OF("live", "?1") "INSERT INTO main.vals(key, name, fold, type, data) "
                                      "SELECT CASE WHEN key = ?1 THEN ?2 ELSE key END, name, fold, type, data "
                                      "FROM live.vals WHERE key IN tree ORDER BY seq",
         "UPDATE main.keys SET written = (SELECT written FROM live.keys WHERE id = ?1) WHERE id = ?2", "COMMIT"},
        key, kFileRoot);
    if (!sqlite3_get_autocommit(out)) execute(out, "ROLLBACK");
    execute(out, "DETACH DATABASE live");
  }
  sqlite3_close(out);
  if (status != ERROR_SUCCESS) unlink(file.c_str());
  return status;
}

LONG RegistryHive::restoreKey(RegistryKeyId key, const std::string& file) {
  LONG status = checkHiveFile(file);
  if (status != ERROR_SUCCESS) return status;
  std::lock_guard<std::mutex> guard(lock_);
  status = refresh();
  if (status == ERROR_SUCCESS && state_ == State::kMissing) status = createFile();
  if (status != ERROR_SUCCESS) return status;
  if (readOnly_) return ERROR_ACCESS_DENIED;
  status = attach(db_, file, "saved");
  if (status != ERROR_SUCCESS) return status == ERROR_ACCESS_DENIED ? ERROR_ACCESS_DENIED : ERROR_REGISTRY_CORRUPT;
  status = beginWrite();
  if (status == ERROR_SUCCESS) {
    status = endWrite([&]() -> LONG {
      // The file is checked inside the transaction, which holds it still.
      LONG result = checkSavedRows(db_);
      if (result == ERROR_SUCCESS) result = keyExists(key);
      if (result == ERROR_SUCCESS) result = removeTree(key, true);
      if (result != ERROR_SUCCESS) return result;
      // The saved keys get fresh ids above every id this hive has used.
      int64_t offset = 0;
      sqlite3_stmt* statement = nullptr;
      int step =
          sqlite3_prepare_v2(db_,
                             "SELECT max(coalesce((SELECT seq FROM main.sqlite_sequence WHERE name = 'keys'), 0),"
                             " coalesce((SELECT max(id) FROM main.keys), 0))",
                             -1, &statement, nullptr);
      if (step == SQLITE_OK) step = sqlite3_step(statement);
      if (step == SQLITE_ROW) offset = sqlite3_column_int64(statement, 0);
      sqlite3_finalize(statement);
      if (step != SQLITE_ROW) return registryStatusOf(step);
      result = executeAll(
          db_,
          {ORV_SUBTREE_OF("saved", "1") "INSERT INTO main.keys(id, parent, name, fold, written) "
                                        "SELECT id + ?2, CASE WHEN parent = 1 THEN ?1 ELSE parent + ?2 END, name, "
                                        "registry_fold(name), written FROM saved.keys WHERE id IN tree AND id <> 1",
           ORV_SUBTREE_OF("saved",
                          "1") "INSERT INTO main.vals(key, name, fold, type, data) "
                               "SELECT CASE WHEN key = 1 THEN ?1 ELSE key + ?2 END, name, registry_fold(name), "
                               "type, data FROM saved.vals WHERE key IN tree ORDER BY seq"},
          key, offset);
      if (result != ERROR_SUCCESS) return result;
      return execute(db_, "UPDATE main.keys SET written = ?2 WHERE id = ?1", key, static_cast<int64_t>(registryNow()));
    }());
  }
  execute(db_, "DETACH DATABASE saved");
  return status;
}

}  // namespace orv_posix
