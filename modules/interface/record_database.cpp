#include "record_database.h"

#include <json/json.h>
#include <sqlite3.h>

#include <memory>

#include "record_statement.h"

namespace {

// JsonCpp's builders fill a settings object member by member, which costs
// several times the parse of a short list: one reader and one writer serve
// every list the connection reads or writes.
std::unique_ptr<Json::StreamWriter> newListWriter() {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  return std::unique_ptr<Json::StreamWriter>(builder.newStreamWriter());
}

std::unique_ptr<Json::CharReader> newListReader() {
  return std::unique_ptr<Json::CharReader>(Json::CharReaderBuilder().newCharReader());
}

std::string arrayOf(Json::StreamWriter& writer, const std::vector<std::string>& strings) {
  Json::Value array(Json::arrayValue);
  for (const std::string& text : strings) array.append(text);
  Json::OStringStream out;
  writer.write(array, &out);
  return out.str();
}

std::vector<std::string> stringsOf(Json::CharReader& reader, const std::string& json) {
  std::vector<std::string> strings;
  Json::Value array;
  if (!reader.parse(json.data(), json.data() + json.size(), &array, nullptr) || !array.isArray()) return strings;
  for (const Json::Value& element : array)
    if (element.isString()) strings.push_back(element.asString());
  return strings;
}

// The record's columns, in the order of ORV_RECORD_INSERT.
bool bindRecord(RecordStatement& statement, Json::StreamWriter& writer, const std::string& origin,
                const StoredRecord& record) {
  return statement.bind(1, origin) && statement.bind(2, record.identity) && statement.bind(3, record.title) &&
         statement.bind(4, record.autoSubmit ? 1 : 0) && statement.bind(5, arrayOf(writer, record.pwFields)) &&
         statement.bind(6, arrayOf(writer, record.pwValues)) && statement.bind(7, arrayOf(writer, record.textFields)) &&
         statement.bind(8, arrayOf(writer, record.textValues));
}

#define ORV_RECORD_INSERT                                                                                      \
  "INSERT INTO records(origin, identity, title, auto_submit, pw_fields, pw_values, text_fields, text_values) " \
  "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)"
// The earlier file's records, imported once: an origin stored meanwhile stays.
constexpr char kImportSql[] = ORV_RECORD_INSERT " ON CONFLICT(origin) DO NOTHING";
// A replaced record keeps its identity and auto-submit flag.
constexpr char kStoreSql[] = ORV_RECORD_INSERT
    " ON CONFLICT(origin) DO UPDATE SET title = excluded.title, "
    "pw_fields = excluded.pw_fields, pw_values = excluded.pw_values, "
    "text_fields = excluded.text_fields, text_values = excluded.text_values";

}  // namespace

std::unique_ptr<RecordDatabase> RecordDatabase::open(const std::string& path, std::string& problem) {
  sqlite3* connection = nullptr;
  const int opened = sqlite3_open_v2(path.c_str(), &connection, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
  std::unique_ptr<RecordDatabase> database(new RecordDatabase(connection));
  if (opened != SQLITE_OK) {
    problem = database->errorOf("open");
    return nullptr;
  }
  // The file holds only data: no triggers or views run, nothing in it can
  // call functions, and writes to the schema itself are refused.
  sqlite3_db_config(connection, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(connection, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(connection, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
  sqlite3_db_config(connection, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
  // Our own processes wait on the store's lock file; this covers a tool
  // (the sqlite3 shell) that has the file open meanwhile.
  sqlite3_busy_timeout(connection, 10000);
  // A rollback journal works on every file system (WAL needs shared memory,
  // which network home folders lack). With it, FULL syncs the journal and
  // the file before the journal is deleted, and EXTRA also syncs the folder
  // after the delete, the step that commits: a create that returned is on
  // disk. Deleted records are overwritten, not left in free pages.
  if (!database->execute("PRAGMA journal_mode = DELETE; PRAGMA synchronous = EXTRA; PRAGMA secure_delete = ON;",
                         problem))
    return nullptr;
  return database;
}

RecordDatabase::RecordDatabase(sqlite3* connection) : connection_(connection) {}

RecordDatabase::~RecordDatabase() {
  // The statements go before the connection they belong to.
  begin_.reset();
  commit_.reset();
  version_.reset();
  find_.reset();
  store_.reset();
  sqlite3_close_v2(connection_);
}

RecordStatement& RecordDatabase::statement(std::unique_ptr<RecordStatement>& held, const char* sql) {
  if (held == nullptr || !held->prepared()) held = std::make_unique<RecordStatement>(connection_, sql);
  return *held;
}

Json::CharReader& RecordDatabase::listReader() {
  if (listReader_ == nullptr) listReader_ = newListReader();
  return *listReader_;
}

Json::StreamWriter& RecordDatabase::listWriter() {
  if (listWriter_ == nullptr) listWriter_ = newListWriter();
  return *listWriter_;
}

std::string RecordDatabase::errorOf(const char* step) const {
  return std::string("SQLite ") + step + ": " + (connection_ != nullptr ? sqlite3_errmsg(connection_) : "no memory");
}

bool RecordDatabase::execute(const char* sql, std::string& problem) {
  if (sqlite3_exec(connection_, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return true;
  problem = errorOf(sql);
  return false;
}

bool RecordDatabase::beginRead(std::string& problem) {
  RecordStatement& begin = statement(begin_, "BEGIN");
  const RecordStatement::Use use(begin);
  if (begin.prepared() && begin.step() == SQLITE_DONE) return true;
  problem = errorOf("BEGIN");
  return false;
}

void RecordDatabase::endRead() {
  if (sqlite3_get_autocommit(connection_)) return;
  RecordStatement& commit = statement(commit_, "COMMIT");
  const RecordStatement::Use use(commit);
  // A read has nothing to lose: should COMMIT fail, ROLLBACK still ends it.
  if (!commit.prepared() || commit.step() != SQLITE_DONE)
    sqlite3_exec(connection_, "ROLLBACK", nullptr, nullptr, nullptr);
}

int RecordDatabase::version(std::string& problem) {
  RecordStatement& statement = this->statement(version_, "PRAGMA user_version");
  const RecordStatement::Use use(statement);
  if (!statement.prepared() || statement.step() != SQLITE_ROW) {
    problem = errorOf("PRAGMA user_version");
    return -1;
  }
  return statement.integer(0);
}

bool RecordDatabase::create(const std::vector<std::pair<std::string, StoredRecord>>& imported, std::string& problem) {
  if (!execute("BEGIN IMMEDIATE", problem)) return false;
  bool done = execute(
      "CREATE TABLE IF NOT EXISTS records("
      "origin TEXT PRIMARY KEY NOT NULL, identity TEXT NOT NULL, title TEXT NOT NULL, "
      "auto_submit INTEGER NOT NULL DEFAULT 1, pw_fields TEXT NOT NULL, pw_values TEXT NOT NULL, "
      "text_fields TEXT NOT NULL, text_values TEXT NOT NULL)",
      problem);
  if (done) {
    RecordStatement insert(connection_, kImportSql);
    done = insert.prepared();
    for (size_t i = 0; done && i < imported.size(); ++i) {
      done = bindRecord(insert, listWriter(), imported[i].first, imported[i].second) && insert.step() == SQLITE_DONE;
      insert.reset();
    }
    if (!done) problem = errorOf("import");
  }
  done = done && execute(("PRAGMA user_version = " + std::to_string(kVersion)).c_str(), problem) &&
         execute("COMMIT", problem);
  if (!done) sqlite3_exec(connection_, "ROLLBACK", nullptr, nullptr, nullptr);
  return done;
}

bool RecordDatabase::find(const std::string& origin, StoredRecord& record, std::string& problem) {
  RecordStatement& select = statement(find_,
                                      "SELECT identity, title, auto_submit, pw_fields, pw_values, text_fields, "
                                      "text_values FROM records WHERE origin = ?1");
  const RecordStatement::Use use(select);
  if (!select.prepared() || !select.bind(1, origin)) {
    problem = errorOf("find");
    return false;
  }
  const int stepped = select.step();
  if (stepped != SQLITE_ROW) {
    if (stepped != SQLITE_DONE) problem = errorOf("find");
    return false;
  }
  record.identity = select.text(0);
  record.title = select.text(1);
  record.autoSubmit = select.integer(2) != 0;
  Json::CharReader& reader = listReader();
  record.pwFields = stringsOf(reader, select.text(3));
  record.pwValues = stringsOf(reader, select.text(4));
  record.textFields = stringsOf(reader, select.text(5));
  record.textValues = stringsOf(reader, select.text(6));
  return true;
}

bool RecordDatabase::store(const std::string& origin, const StoredRecord& record, std::string& problem) {
  // One statement is one transaction: the row is replaced whole or not at all.
  RecordStatement& upsert = statement(store_, kStoreSql);
  const RecordStatement::Use use(upsert);
  if (!upsert.prepared() || !bindRecord(upsert, listWriter(), origin, record) || upsert.step() != SQLITE_DONE) {
    problem = errorOf("store");
    return false;
  }
  return true;
}
