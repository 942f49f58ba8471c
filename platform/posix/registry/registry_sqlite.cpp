#include "registry_sqlite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "core/posix_io.h"
#include "registry_hive.h"

namespace orv_posix {

// The shape of format 1; format 2 adds the index that lists a key's values
// in creation order.
#define ORV_REGISTRY_KEYS_TABLE                                                                          \
  "CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, name BLOB NOT NULL," \
  " fold BLOB NOT NULL, written INTEGER NOT NULL, UNIQUE(parent, fold))"
#define ORV_REGISTRY_VALS_TABLE                                                                        \
  "CREATE TABLE vals(seq INTEGER PRIMARY KEY AUTOINCREMENT, key INTEGER NOT NULL, name BLOB NOT NULL," \
  " fold BLOB NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key, fold))"
#define ORV_REGISTRY_ORDER_INDEX_SQL "CREATE INDEX vals_order ON vals(key, seq)"
#define ORV_REGISTRY_TABLES ORV_REGISTRY_KEYS_TABLE ";" ORV_REGISTRY_VALS_TABLE ";"
#define ORV_REGISTRY_ORDER_INDEX ORV_REGISTRY_ORDER_INDEX_SQL ";"

// What schemaShape() reads from a file of each format: SQLite keeps each
// CREATE statement's text, and adds an index for each UNIQUE constraint and
// the table that AUTOINCREMENT needs.
#define ORV_REGISTRY_SHAPE(orderIndex)                                                                  \
  "index\tsqlite_autoindex_keys_1\tkeys\t\t\n"                                                          \
  "index\tsqlite_autoindex_vals_1\tvals\t\t\n" orderIndex "table\tkeys\tkeys\t" ORV_REGISTRY_KEYS_TABLE \
  "\t\n"                                                                                                \
  "table\tsqlite_sequence\tsqlite_sequence\tCREATE TABLE sqlite_sequence(name,seq)\t\n"                 \
  "table\tvals\tvals\t" ORV_REGISTRY_VALS_TABLE "\t\n"
const char* const kRegistryShapes[] = {
    ORV_REGISTRY_SHAPE(""),
    ORV_REGISTRY_SHAPE("index\tvals_order\tvals\t" ORV_REGISTRY_ORDER_INDEX_SQL "\t\n"),
};

const char kRegistrySchema[] =
    "PRAGMA application_id = 1330796114;"  // kRegistryApplicationId
    "PRAGMA user_version = 2;"             // kRegistryFormatVersion
    ORV_REGISTRY_TABLES ORV_REGISTRY_ORDER_INDEX
    "INSERT INTO keys(id, parent, name, fold, written) VALUES"
    " (1, -1, x'', x'', 0), (2, -2, x'', x'', 0), (3, -3, x'', x'', 0), (4, -4, x'', x'', 0);";

const char kRegistryUpgradeToVersion2[] = ORV_REGISTRY_ORDER_INDEX
    "UPDATE OR IGNORE keys SET fold = registry_fold(name) WHERE id > 4;"
    "UPDATE OR IGNORE vals SET fold = registry_fold(name);"
    "PRAGMA user_version = 2;";

namespace {

// The key and everything below it, as the CTE `tree`.
#define ORV_REGISTRY_TREE \
  "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "

const BYTE kNoBytes[1] = {0};  // SQLite binds a null pointer as NULL, not as an empty blob

constexpr int kBusyTimeoutMilliseconds = 10000;
// Offsets in the SQLite database header.
constexpr size_t kHeaderSize = 100;
constexpr size_t kWriteVersionOffset = 18;
constexpr size_t kReadVersionOffset = 19;
constexpr size_t kUserVersionOffset = 60;
constexpr size_t kApplicationIdOffset = 68;

// registry_fold(name): the folded form of a stored name, NULL for anything
// that is not a name.
void foldFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
  if (sqlite3_value_type(arguments[0]) != SQLITE_BLOB) return sqlite3_result_null(context);
  const int size = sqlite3_value_bytes(arguments[0]);
  const void* bytes = sqlite3_value_blob(arguments[0]);
  if (size % 2 != 0) return sqlite3_result_null(context);
  std::u16string name(static_cast<size_t>(size) / 2, u'\0');
  if (size > 0) std::memcpy(name.data(), bytes, static_cast<size_t>(size));
  const std::string fold = registryFoldKey(name);
  sqlite3_result_blob64(context, fold.empty() ? kNoBytes : static_cast<const void*>(fold.data()), fold.size(),
                        SQLITE_TRANSIENT);
}

// registry_name_fits(name, isKey): 1 when the stored name can be reached by
// name through the calls: no 0 code unit, and for a key no backslash.
void nameFitsFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
  if (sqlite3_value_type(arguments[0]) != SQLITE_BLOB) return sqlite3_result_int(context, 0);
  const auto* bytes = static_cast<const unsigned char*>(sqlite3_value_blob(arguments[0]));
  const int size = sqlite3_value_bytes(arguments[0]);
  const bool isKey = sqlite3_value_int(arguments[1]) != 0;
  bool fits = size % 2 == 0;
  for (int i = 0; fits && i + 1 < size; i += 2) {
    const char16_t unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    fits = unit != u'\0' && !(isKey && unit == u'\\');
  }
  sqlite3_result_int(context, fits ? 1 : 0);
}

// The schema's objects, one line each, in a fixed order; empty when it
// cannot be read. With `sql` a fresh in-memory database is made from it.
std::string schemaShape(sqlite3* db, const char* schema, const char* sql) {
  sqlite3* scratch = nullptr;
  if (sql != nullptr) {
    if (sqlite3_open_v2(":memory:", &scratch, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(scratch, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
      sqlite3_close(scratch);
      return std::string();
    }
    db = scratch;
  }
  const std::string query = std::string("SELECT type, name, tbl_name, coalesce(sql, '') FROM \"") + schema +
                            "\".sqlite_schema ORDER BY type, name";
  std::string shape;
  sqlite3_stmt* statement = nullptr;
  int result = sqlite3_prepare_v2(db, query.c_str(), -1, &statement, nullptr);
  while (result == SQLITE_OK && (result = sqlite3_step(statement)) == SQLITE_ROW) {
    for (int column = 0; column < 4; ++column) {
      const unsigned char* text = sqlite3_column_text(statement, column);
      shape += text != nullptr ? reinterpret_cast<const char*>(text) : "";
      shape += '\t';
    }
    shape += '\n';
    result = SQLITE_OK;
  }
  sqlite3_finalize(statement);
  sqlite3_close(scratch);
  return result == SQLITE_DONE ? shape : std::string();
}

bool pragmaNumber(sqlite3* db, const char* schema, const char* pragma, int64_t* number) {
  const std::string query = std::string("PRAGMA \"") + schema + "\"." + pragma;
  sqlite3_stmt* statement = nullptr;
  bool read = sqlite3_prepare_v2(db, query.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
              sqlite3_step(statement) == SQLITE_ROW;
  if (read) *number = sqlite3_column_int64(statement, 0);
  sqlite3_finalize(statement);
  return read;
}

}  // namespace

// The SQL of each statement, in the order of RegistrySql.
const char* const kStatementSql[] = {
    "BEGIN",                                                                 // kBegin
    "BEGIN IMMEDIATE",                                                       // kBeginImmediate
    "COMMIT",                                                                // kCommit
    "ROLLBACK",                                                              // kRollback
    "SELECT written FROM keys WHERE id = ?1",                                // kKeyWritten
    "SELECT id FROM keys WHERE parent = ?1 AND fold = ?2",                   // kChild
    "INSERT INTO keys(parent, name, fold, written) VALUES(?1, ?2, ?3, ?4)",  // kInsertKey
    "UPDATE keys SET written = ?2 WHERE id = ?1",                            // kTouchKey
    "SELECT parent FROM keys WHERE id = ?1",                                 // kParentOf
    "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1",                          // kHasChildren
    "SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2",              // kValue
    "INSERT INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
    "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data",  // kSetValue
    "DELETE FROM vals WHERE key = ?1 AND fold = ?2",                                    // kDeleteValue
    // Enumeration: by position for a first or out-of-turn index, after the
    // previous row for the next one. Names-only asks leave the data unread
    // (length() of a blob reads only its header).
    "SELECT name, written, fold FROM keys WHERE parent = ?1 ORDER BY fold LIMIT 1 OFFSET ?2",           // kChildAt
    "SELECT name, written, fold FROM keys WHERE parent = ?1 AND fold > ?2 ORDER BY fold LIMIT 1",       // kChildAfter
    "SELECT name, type, data, seq FROM vals WHERE key = ?1 ORDER BY seq LIMIT 1 OFFSET ?2",             // kValueAt
    "SELECT name, type, data, seq FROM vals WHERE key = ?1 AND seq > ?2 ORDER BY seq LIMIT 1",          // kValueAfter
    "SELECT name, type, length(data), seq FROM vals WHERE key = ?1 ORDER BY seq LIMIT 1 OFFSET ?2",     // kValueNameAt
    "SELECT name, type, length(data), seq FROM vals WHERE key = ?1 AND seq > ?2 ORDER BY seq LIMIT 1",  // kValueNameAfter
    "SELECT count(*), coalesce(max(length(name)), 0) FROM keys WHERE parent = ?1",                      // kChildInfo
    "SELECT count(*), coalesce(max(length(name)), 0), coalesce(max(length(data)), 0) "
    "FROM vals WHERE key = ?1",                                          // kValueInfo
    ORV_REGISTRY_TREE "DELETE FROM vals WHERE key IN tree",              // kDeleteTreeValues
    ORV_REGISTRY_TREE "DELETE FROM keys WHERE id IN tree",               // kDeleteTreeKeys
    ORV_REGISTRY_TREE "DELETE FROM keys WHERE id IN tree AND id <> ?1",  // kDeleteSubtreeKeys
};
static_assert(sizeof kStatementSql / sizeof kStatementSql[0] == static_cast<size_t>(RegistrySql::kCount));

RegistryStatements::~RegistryStatements() {
  for (sqlite3_stmt* statement : prepared_) sqlite3_finalize(statement);
}

sqlite3_stmt* RegistryStatements::get(RegistrySql which) {
  sqlite3_stmt*& statement = prepared_[static_cast<size_t>(which)];
  if (statement == nullptr && sqlite3_prepare_v3(db_, kStatementSql[static_cast<size_t>(which)], -1,
                                                 SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    statement = nullptr;
  }
  return statement;
}

RegistryQuery::~RegistryQuery() {
  if (statement_ == nullptr) return;
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

RegistryQuery& RegistryQuery::bind(int index, int64_t number) {
  if (statement_ == nullptr) return *this;
  const int status = sqlite3_bind_int64(statement_, index, number);
  if (bindStatus_ == SQLITE_OK) bindStatus_ = status;
  return *this;
}

RegistryQuery& RegistryQuery::bindBytes(int index, const void* bytes, size_t size) {
  if (statement_ == nullptr) return *this;
  const int status = sqlite3_bind_blob64(statement_, index, size == 0 ? kNoBytes : bytes, size, SQLITE_STATIC);
  if (bindStatus_ == SQLITE_OK) bindStatus_ = status;
  return *this;
}

RegistryQuery& RegistryQuery::bindName(int index, std::u16string_view name) {
  return bindBytes(index, name.data(), name.size() * sizeof(char16_t));
}

int RegistryQuery::step() { return bindStatus_ != SQLITE_OK ? bindStatus_ : sqlite3_step(statement_); }

int64_t RegistryQuery::integer(int column) const { return sqlite3_column_int64(statement_, column); }

std::string RegistryQuery::bytes(int column) const {
  const void* data = sqlite3_column_blob(statement_, column);
  const int size = sqlite3_column_bytes(statement_, column);
  return data == nullptr ? std::string() : std::string(static_cast<const char*>(data), static_cast<size_t>(size));
}

std::u16string RegistryQuery::name(int column) const {
  const std::string raw = bytes(column);
  std::u16string text(raw.size() / sizeof(char16_t), u'\0');
  raw.copy(reinterpret_cast<char*>(text.data()), text.size() * sizeof(char16_t));
  return text;
}

LONG registryStatusOf(int sqliteResult) {
  switch (sqliteResult & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return ERROR_SUCCESS;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
    case SQLITE_SCHEMA:
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_ERROR:  // a table or column that should be there is not
      return ERROR_REGISTRY_CORRUPT;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_CANTOPEN:  // the journal cannot be created beside the hive
      return ERROR_ACCESS_DENIED;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return ERROR_BUSY;
    case SQLITE_NOMEM:
    case SQLITE_TOOBIG: return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_FULL: return ERROR_DISK_FULL;
    default: return ERROR_REGISTRY_IO_FAILED;
  }
}

LONG registryRun(RegistryQuery& query) {
  int result;
  while ((result = query.step()) == SQLITE_ROW) {
  }
  return registryStatusOf(result);
}

std::string registryFoldKey(std::u16string_view name) {
  const std::u16string folded = foldRegistryName(name);
  std::string key(folded.size() * 2, '\0');
  for (size_t i = 0; i < folded.size(); ++i) {
    key[2 * i] = static_cast<char>(folded[i] >> 8);
    key[2 * i + 1] = static_cast<char>(folded[i] & 0xFF);
  }
  return key;
}

uint64_t registryNow() {
  constexpr uint64_t kUnixEpochInFileTime = 116444736000000000ull;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return kUnixEpochInFileTime + static_cast<uint64_t>(now.tv_sec) * 10000000ull +
         static_cast<uint64_t>(now.tv_nsec) / 100;
}

LONG registryStatusOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    default: return ERROR_REGISTRY_IO_FAILED;
  }
}

LONG registryCheckHeader(int fd) {
  unsigned char header[kHeaderSize];
  const ssize_t got = pread(fd, header, sizeof(header), 0);
  if (got < 0) return ERROR_REGISTRY_IO_FAILED;
  if (got != static_cast<ssize_t>(kHeaderSize) || std::memcmp(header, "SQLite format 3", 16) != 0) {
    return ERROR_REGISTRY_CORRUPT;
  }
  // 1: rollback journal (a new or saved hive), 2: write-ahead log (a live one).
  const unsigned char writeVersion = header[kWriteVersionOffset];
  if ((writeVersion != 1 && writeVersion != 2) || header[kReadVersionOffset] != writeVersion) {
    return ERROR_REGISTRY_CORRUPT;
  }
  const uint32_t format = readBigEndian32(header + kUserVersionOffset);
  if (readBigEndian32(header + kApplicationIdOffset) != kRegistryApplicationId ||
      format < kRegistryOldestFormatVersion || format > kRegistryFormatVersion) {
    return ERROR_REGISTRY_CORRUPT;
  }
  return ERROR_SUCCESS;
}

void registryConfigure(sqlite3* db) {
  sqlite3_busy_timeout(db, kBusyTimeoutMilliseconds);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_exec(db, "PRAGMA cell_size_check = ON", nullptr, nullptr, nullptr);
  // Only statements of ours may call it, never a file's schema.
  sqlite3_create_function_v2(db, "registry_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY, nullptr,
                             foldFunction, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "registry_name_fits", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY,
                             nullptr, nameFitsFunction, nullptr, nullptr, nullptr);
}

namespace {

// The shape of each format: as written above, or else (should SQLite ever
// describe its own objects differently) as a database made from the schema
// shows it, which costs two in-memory databases.
int shapeIndexOf(const std::string& shape) {
  for (int format = 0; format < 2; ++format)
    if (shape == kRegistryShapes[format]) return format;
  static const std::vector<std::string>* const kMadeShapes =
      new std::vector<std::string>{schemaShape(nullptr, "main", ORV_REGISTRY_TABLES),
                                   schemaShape(nullptr, "main", ORV_REGISTRY_TABLES ORV_REGISTRY_ORDER_INDEX)};
  for (int format = 0; format < 2; ++format)
    if (shape == (*kMadeShapes)[format]) return format;
  return -1;
}

}  // namespace

LONG registryCheckSchema(sqlite3* db, const char* schema) {
  const std::string shape = schemaShape(db, schema, nullptr);
  const int formatIndex = shape.empty() ? -1 : shapeIndexOf(shape);
  if (formatIndex < 0) return ERROR_REGISTRY_CORRUPT;
  int64_t application = 0;
  int64_t format = 0;
  if (!pragmaNumber(db, schema, "application_id", &application) || !pragmaNumber(db, schema, "user_version", &format)) {
    return ERROR_REGISTRY_CORRUPT;
  }
  const bool indexed = formatIndex == 1;
  if (application != static_cast<int32_t>(kRegistryApplicationId) || format < kRegistryOldestFormatVersion ||
      format > kRegistryFormatVersion || indexed != (format >= 2)) {
    return ERROR_REGISTRY_CORRUPT;
  }
  return ERROR_SUCCESS;
}

LONG registryWriteEmptyHive(const std::string& path, mode_t mode) {
  {
    const FileDescriptor file(::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode));
    if (!file.valid()) return errno == EEXIST ? ERROR_ALREADY_EXISTS : registryStatusOfErrno(errno);
    fchmod(file.get(), mode);  // past the umask
  }
  sqlite3* db = nullptr;
  int result = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (result == SQLITE_OK) {
    registryConfigure(db);
    result = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    if (result == SQLITE_OK) result = sqlite3_exec(db, kRegistrySchema, nullptr, nullptr, nullptr);
    if (result == SQLITE_OK) result = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  }
  sqlite3_close(db);
  if (result != SQLITE_OK) {
    unlink(path.c_str());
    return registryStatusOf(result);
  }
  return ERROR_SUCCESS;
}

std::string registryReadOnlyUri(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  for (const unsigned char c : path) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || std::strchr("/-._~", c)) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 0xF];
    }
  }
  return uri + "?mode=ro";
}

}  // namespace orv_posix
