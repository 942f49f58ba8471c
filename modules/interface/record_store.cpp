#include "record_store.h"

#include <filesystem>
#include <mutex>

#include "legacy_records.h"
#include "orv_platform/text_encoding.h"
#include "orv_platform/user_file.h"
#include "orv_win32.h"
#include "record_budget.h"
#include "record_database.h"
#include "record_store_log.h"

namespace {

std::string inFolder(const std::string& folder, const char* name) {
  return (std::filesystem::u8path(folder) / name).u8string();
}

std::string environmentFolder() {
  WCHAR value[4096];
  const DWORD length = GetEnvironmentVariableW(ORV_W("ORVPWM_RECORDS_DIR"), value, 4096);
  if (length == 0 || length >= 4096) return std::string();
  return orv_platform::utf8Of(value, length, orv_platform::InvalidText::kReplace);
}

const WCHAR* methodName(bool forStore) { return forStore ? ORV_W("store") : ORV_W("find"); }

constexpr DWORD kNoCode = static_cast<DWORD>(-1);

// The connection of the last command and its prepared statements, kept while
// the store's path names the same file: a file put in its place is opened
// afresh. The files are still checked and locked for every command. Commands
// of this process take turns on it.
struct HeldDatabase {
  std::mutex turn;
  std::string path, identity;
  std::unique_ptr<RecordDatabase> database;
};

// Ends the database's read transaction when it goes.
class ReadEnd {
 public:
  explicit ReadEnd(RecordDatabase& database) : database_(database) {}
  ~ReadEnd() { database_.endRead(); }
  ReadEnd(const ReadEnd&) = delete;
  ReadEnd& operator=(const ReadEnd&) = delete;

 private:
  RecordDatabase& database_;
};

HeldDatabase& heldDatabase() {
  static HeldDatabase held;
  return held;
}

}  // namespace

RecordStore::RecordStore(const std::string& folder)
    : folder_(folder),
      database_(inFolder(folder, "records.db")),
      lock_(inFolder(folder, "records.lock")),
      legacy_(inFolder(folder, "records.json")) {}

std::string RecordStore::defaultFolder() {
  const std::string configured = environmentFolder();
  if (!configured.empty()) return configured;
  const std::string data = orv_platform::userDataFolder();
  if (data.empty()) return std::string();
  return (std::filesystem::u8path(data) / "Halvik" / "Password Manager").u8string();
}

void RecordStore::makeTable(RecordDatabase& database, bool legacyExists, const WCHAR* method,
                            std::string& problem) const {
  std::vector<std::pair<std::string, StoredRecord>> imported, kept;
  if (legacyExists && !LegacyRecords::read(legacy_, imported, problem)) {
    problem += "; it is kept as it is: repair or remove it to use the store";
    return;
  }
  for (auto& entry : imported) {
    const std::string overBudget = RecordBudget::problemOf(entry.first, entry.second);
    if (overBudget.empty())
      kept.push_back(std::move(entry));
    else
      logRecordStoreFailure(
          method, "The record of " + entry.first.substr(0, 256) + " in " + legacy_ + " is not imported: " + overBudget,
          kNoCode, __LINE__);
  }
  database.create(kept, problem);
}

RecordDatabase* RecordStore::open(bool forStore, std::unique_ptr<orv_platform::FileLock>& lock) const {
  const WCHAR* method = methodName(forStore);
  if (folder_.empty()) {
    logRecordStoreFailure(method, "No folder for the records: neither ORVPWM_RECORDS_DIR nor a data folder is set",
                          kNoCode, __LINE__);
    return nullptr;
  }
  std::error_code error;
  if (!forStore && !std::filesystem::is_directory(std::filesystem::u8path(folder_), error)) return nullptr;
  std::string problem = orv_platform::makePrivateFolder(folder_);
  if (problem.empty()) lock = orv_platform::FileLock::acquire(lock_, &problem);
  // Every file SQLite may read, its journal too, must be the user's own.
  bool exists = false, databaseExists = false, legacyExists = false;
  std::string identity;
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    if (!problem.empty()) break;
    if (suffix[0] == '\0') {
      problem = orv_platform::checkPrivateFile(database_, databaseExists, identity);
    } else {
      problem = orv_platform::checkPrivateFile(database_ + suffix, exists);
    }
  }
  HeldDatabase& held = heldDatabase();
  // The earlier file counts (and is checked) only until the database is made.
  if (problem.empty() && !databaseExists) problem = orv_platform::checkPrivateFile(legacy_, legacyExists);
  if (problem.empty() && !databaseExists) {
    if (!forStore && !legacyExists) {  // nothing stored yet
      held.database.reset();
      return nullptr;
    }
    problem = orv_platform::makePrivateFile(database_);
    if (problem.empty()) problem = orv_platform::checkPrivateFile(database_, exists, identity);
  }
  if (problem.empty() && (held.database == nullptr || held.path != database_ || held.identity != identity)) {
    held.database.reset();
    held.database = RecordDatabase::open(database_, problem);
    held.path = database_;
    held.identity = identity;
  }
  RecordDatabase* database = problem.empty() ? held.database.get() : nullptr;
  if (database != nullptr && !forStore && !database->beginRead(problem)) database = nullptr;
  const int version = database != nullptr ? database->version(problem) : -1;
  if (version == 0 && databaseExists) problem = orv_platform::checkPrivateFile(legacy_, legacyExists);
  if (version == 0 && problem.empty()) {
    database->endRead();
    makeTable(*database, legacyExists, method, problem);
  } else if (version > RecordDatabase::kVersion) {
    problem = database_ + ": made by a later version (" + std::to_string(version) + ")";
  }
  if (!problem.empty()) {
    held.database.reset();  // a file refused now is opened afresh once it passes
    logRecordStoreFailure(method, "The records cannot be used: " + problem, kNoCode, __LINE__);
    return nullptr;
  }
  return database;
}

bool RecordStore::find(const std::string& origin, StoredRecord& record) const {
  HeldDatabase& held = heldDatabase();
  const std::lock_guard<std::mutex> turn(held.turn);
  std::unique_ptr<orv_platform::FileLock> lock;
  RecordDatabase* database = open(false, lock);  // with the read begun
  if (database == nullptr) return false;
  std::string problem;
  bool found = false;
  {
    // Ended before the lock is released, whatever find does.
    const ReadEnd end(*database);
    found = database->find(origin, record, problem);
  }
  if (found) return true;
  if (!problem.empty()) {
    held.database.reset();
    logRecordStoreFailure(ORV_W("find"), problem, kNoCode, __LINE__);
  }
  return false;
}

bool RecordStore::store(const std::string& origin, const StoredRecord& record) const {
  HeldDatabase& held = heldDatabase();
  const std::lock_guard<std::mutex> turn(held.turn);
  std::unique_ptr<orv_platform::FileLock> lock;
  RecordDatabase* database = open(true, lock);
  if (database == nullptr) return false;
  std::string problem;
  if (database->store(origin, record, problem)) return true;
  held.database.reset();
  logRecordStoreFailure(ORV_W("store"), problem, kNoCode, __LINE__);
  return false;
}
