#include "registry_hive.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <sqlite3.h>

#include "core/posix_io.h"
#include "registry_flusher.h"
#include "registry_sqlite.h"

namespace orv_posix {
namespace {

constexpr size_t kMaxCachedEntries = 2048;
constexpr size_t kMaxCachedValueBytes = 4096;
constexpr size_t kMaxCachedBytes = 1 << 20;
// Bytes 18 to 27 of the SQLite database header: the journal mode (1
// rollback, 2 write-ahead log) and the change counter at 24.
constexpr off_t kModeAndCounterOffset = 18;
constexpr size_t kModeAndCounterSize = 10;
// The first copy of the write-ahead log's index header, which every commit
// rewrites.
constexpr size_t kWalIndexHeaderSize = 48;
constexpr sqlite3_int64 kWalSizeLimit = 4 << 20;

bool isRoot(RegistryKeyId key) { return key >= kLocalMachineRoot && key <= kCurrentConfigRoot; }

std::string uniqueSibling(const std::string& path) {
  static std::atomic<unsigned> serial{0};
  return path + ".new-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
}

std::u16string idPrefix(RegistryKeyId key) {
  std::u16string prefix(4, u'\0');
  for (int i = 0; i < 4; ++i) prefix[i] = static_cast<char16_t>(static_cast<uint64_t>(key) >> (16 * i));
  return prefix;
}

}  // namespace

RegistryHive::RegistryHive(std::string path, mode_t fileMode, mode_t folderMode)
    : path_(std::move(path)), fileMode_(fileMode), folderMode_(folderMode) {}

RegistryHive::~RegistryHive() { closeConnection(); }

void RegistryHive::closeConnection() {
  delete statements_;
  statements_ = nullptr;
  if (db_ != nullptr) sqlite3_close(db_);
  db_ = nullptr;
  counter_.reset();
  if (shmView_ != nullptr) munmap(const_cast<unsigned char*>(shmView_), kWalIndexHeaderSize);
  shmView_ = nullptr;
  shm_.reset();
  state_ = State::kClosed;
  dropCache();
}

void RegistryHive::dropCache() {
  keys_.clear();
  values_.clear();
  cachedBytes_ = 0;
}

bool RegistryHive::cacheHasRoom() const {
  return keys_.size() + values_.size() < kMaxCachedEntries && cachedBytes_ < kMaxCachedBytes;
}

namespace {

LONG execute(sqlite3* db, const char* sql) {
  return registryStatusOf(sqlite3_exec(db, sql, nullptr, nullptr, nullptr));
}

LONG numberOf(sqlite3* db, const char* sql, int64_t* number) {
  sqlite3_stmt* statement = nullptr;
  int result = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
  if (result == SQLITE_OK) result = sqlite3_step(statement);
  if (result == SQLITE_ROW) *number = sqlite3_column_int64(statement, 0);
  sqlite3_finalize(statement);
  return result == SQLITE_ROW ? ERROR_SUCCESS : registryStatusOf(result);
}

// A hive still in rollback mode is checked whole once before it is changed,
// so that a damaged file is reported and left as it is.
LONG checkPages(sqlite3* db) {
  sqlite3_stmt* statement = nullptr;
  int result = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &statement, nullptr);
  if (result == SQLITE_OK) result = sqlite3_step(statement);
  const unsigned char* text = result == SQLITE_ROW ? sqlite3_column_text(statement, 0) : nullptr;
  const bool whole = text != nullptr && std::strcmp(reinterpret_cast<const char*>(text), "ok") == 0;
  sqlite3_finalize(statement);
  if (whole) return ERROR_SUCCESS;
  return result == SQLITE_ROW || registryStatusOf(result) == ERROR_SUCCESS ? ERROR_REGISTRY_CORRUPT
                                                                           : registryStatusOf(result);
}

// Brings an older format up to date in one transaction.
LONG upgradeFormat(sqlite3* db) {
  LONG status = execute(db, "BEGIN IMMEDIATE");
  if (status != ERROR_SUCCESS) return status;
  int64_t format = 0;
  status = numberOf(db, "PRAGMA user_version", &format);
  if (status == ERROR_SUCCESS && format < kRegistryFormatVersion) status = execute(db, kRegistryUpgradeToVersion2);
  if (status == ERROR_SUCCESS) status = execute(db, "COMMIT");
  if (!sqlite3_get_autocommit(db)) execute(db, "ROLLBACK");
  return status;
}

}  // namespace

LONG RegistryHive::open() {
  FileDescriptor hive(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
  if (!hive.valid()) {
    if (errno == ENOENT) {
      state_ = State::kMissing;
      return ERROR_SUCCESS;
    }
    return registryStatusOfErrno(errno);
  }
  LONG status = registryCheckHeader(hive.get());
  if (status != ERROR_SUCCESS) return status;
  // Read-write when the file allows it, read-only otherwise.
  if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(db_);
    db_ = nullptr;
    return ERROR_ACCESS_DENIED;
  }
  counter_ = std::move(hive);
  registryConfigure(db_);
  readOnly_ = sqlite3_db_readonly(db_, "main") == 1;
  status = prepareConnection();
  if (status != ERROR_SUCCESS) {
    closeConnection();
    return status;
  }
  state_ = State::kOpen;
  return refresh();
}

// A process that may write the hive puts it in write-ahead-log mode (kept
// across connections, with its files) and brings its format up to date.
LONG RegistryHive::prepareConnection() {
  unsigned char mode = 0;
  if (pread(counter_.get(), &mode, 1, kModeAndCounterOffset) != 1) return ERROR_REGISTRY_CORRUPT;
  LONG status = ERROR_SUCCESS;
  if (!readOnly_) {
    int persist = 1;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    if (mode == 1) status = checkPages(db_);
    // A folder this process may not write keeps the hive as it is.
    if (status == ERROR_SUCCESS && mode == 1 && execute(db_, "PRAGMA journal_mode = WAL") == ERROR_SUCCESS) mode = 2;
    if (status == ERROR_SUCCESS && mode == 2) {
      const std::string limit = "PRAGMA journal_size_limit = " + std::to_string(kWalSizeLimit);
      execute(db_, limit.c_str());
      execute(db_, "PRAGMA synchronous = NORMAL");  // the lazy flusher syncs the log
    }
    int64_t format = kRegistryFormatVersion;
    if (status == ERROR_SUCCESS) status = numberOf(db_, "PRAGMA user_version", &format);
    if (status == ERROR_SUCCESS && format < kRegistryFormatVersion) status = upgradeFormat(db_);
  }
  if (status == ERROR_SUCCESS) status = registryCheckSchema(db_, "main");
  if (status != ERROR_SUCCESS) return status;
  walMode_ = mode == 2;
  statements_ = new RegistryStatements(db_);
  return ERROR_SUCCESS;
}

// The first write makes the file: complete under another name, then linked
// into place, so that no process ever opens a half-made hive.
LONG RegistryHive::createFile() {
  if (!makeFolders(folderOf(path_), folderMode_)) {
    const LONG status = registryStatusOfErrno(errno);
    return status == ERROR_PATH_NOT_FOUND ? ERROR_ACCESS_DENIED : status;
  }
  const std::string fresh = uniqueSibling(path_);
  LONG status = registryWriteEmptyHive(fresh, fileMode_);
  if (status != ERROR_SUCCESS) return status;
  const bool linked = link(fresh.c_str(), path_.c_str()) == 0;
  const int linkError = errno;
  unlink(fresh.c_str());
  if (!linked && linkError != EEXIST) return registryStatusOfErrno(linkError);  // EEXIST: another process made it first
  syncFolder(folderOf(path_));  // the hive works on without it; its own writes are synced
  return open();
}

// What shows another process's commit: the log index header in
// write-ahead-log mode, the change counter otherwise. Empty when it cannot be
// read; then every call looks at the database again.
LONG RegistryHive::readStamp(unsigned char* stamp, size_t* size) {
  *size = 0;
  if (!walMode_) {
    const ssize_t got = pread(counter_.get(), stamp, kModeAndCounterSize, kModeAndCounterOffset);
    if (got != static_cast<ssize_t>(kModeAndCounterSize)) {
      return got < 0 ? ERROR_REGISTRY_IO_FAILED : ERROR_REGISTRY_CORRUPT;
    }
    if (stamp[0] != 2) {
      *size = kModeAndCounterSize;
      return ERROR_SUCCESS;
    }
    walMode_ = true;  // another process moved the hive to the log
  }
  if (!shm_.valid()) shm_.reset(::open((path_ + "-shm").c_str(), O_RDONLY | O_CLOEXEC));
  if (shmView_ == nullptr && shm_.valid()) {
    // SQLite maps the same page and never shrinks the file below it while
    // a connection (this one) is attached, so reading it is as safe as
    // SQLite's own reads, and costs no system call.
    struct stat info {};
    if (fstat(shm_.get(), &info) == 0 && info.st_size >= static_cast<off_t>(kWalIndexHeaderSize)) {
      void* view = mmap(nullptr, kWalIndexHeaderSize, PROT_READ, MAP_SHARED, shm_.get(), 0);
      if (view != MAP_FAILED) shmView_ = static_cast<const unsigned char*>(view);
    }
  }
  if (shmView_ != nullptr) {
    std::atomic_thread_fence(std::memory_order_acquire);
    std::memcpy(stamp, shmView_, kWalIndexHeaderSize);
    *size = kWalIndexHeaderSize;
  } else if (shm_.valid() &&
             pread(shm_.get(), stamp, kWalIndexHeaderSize, 0) == static_cast<ssize_t>(kWalIndexHeaderSize)) {
    *size = kWalIndexHeaderSize;
  }
  return ERROR_SUCCESS;
}

// Every call starts here: a hive without a file is looked for again, an open
// one starts a new generation (dropping its cache and cursors) when another
// commit shows. The stamp is read before the call's read transaction starts,
// so what that transaction sees is never older than the generation says.
LONG RegistryHive::refresh() {
  if (state_ != State::kOpen) return open();
  unsigned char stamp[sizeof(stamp_)];
  size_t size = 0;
  const LONG status = readStamp(stamp, &size);
  if (status != ERROR_SUCCESS) return status;
  if (size == 0 || size != stampSize_ || std::memcmp(stamp, stamp_, size) != 0) {
    std::memcpy(stamp_, stamp, size);
    stampSize_ = size;
    ++generation_;
    dropCache();
  }
  return ERROR_SUCCESS;
}

LONG RegistryHive::beginRead() {
  RegistryQuery begin(statements_->get(RegistrySql::kBegin));
  return registryRun(begin);
}

LONG RegistryHive::endRead(LONG status) {
  RegistryQuery commit(statements_->get(RegistrySql::kCommit));
  const LONG commitStatus = registryRun(commit);
  return status != ERROR_SUCCESS ? status : commitStatus;
}

LONG RegistryHive::beginWrite() {
  RegistryQuery begin(statements_->get(RegistrySql::kBeginImmediate));
  return registryRun(begin);
}

LONG RegistryHive::endWrite(LONG status) {
  if (status == ERROR_SUCCESS) {
    RegistryQuery commit(statements_->get(RegistrySql::kCommit));
    status = registryRun(commit);
  }
  if (!sqlite3_get_autocommit(db_)) {
    RegistryQuery rollback(statements_->get(RegistrySql::kRollback));
    registryRun(rollback);
  }
  dropCache();
  if (status == ERROR_SUCCESS && walMode_) RegistryFlusher::instance().schedule(path_ + "-wal");
  return status;
}

template <typename Work>
LONG RegistryHive::write(Work&& work) {
  LONG status = refresh();
  if (status == ERROR_SUCCESS && state_ == State::kMissing) status = createFile();
  if (status != ERROR_SUCCESS) return status;
  if (readOnly_) return ERROR_ACCESS_DENIED;
  status = beginWrite();
  if (status != ERROR_SUCCESS) return status;
  return endWrite(work());
}

LONG RegistryHive::checkWritable() {
  std::lock_guard<std::mutex> guard(lock_);
  const LONG status = refresh();
  if (status != ERROR_SUCCESS) return status;
  if (state_ == State::kMissing) return ERROR_SUCCESS;  // decided when the first write makes the file
  return readOnly_ ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

LONG RegistryHive::flush() {
  std::lock_guard<std::mutex> guard(lock_);
  if (state_ != State::kOpen || !walMode_) return ERROR_SUCCESS;  // rollback mode syncs every commit
  return RegistryFlusher::instance().flushNow(path_ + "-wal");
}

// Inside a transaction: ERROR_SUCCESS, or ERROR_KEY_DELETED for a key that
// went away while a handle still names it.
LONG RegistryHive::keyExists(RegistryKeyId key) {
  RegistryQuery query(statements_->get(RegistrySql::kKeyWritten));
  const int result = query.bind(1, key).step();
  if (result == SQLITE_ROW) return ERROR_SUCCESS;
  return result == SQLITE_DONE ? ERROR_KEY_DELETED : registryStatusOf(result);
}

LONG RegistryHive::lookUpKey(RegistryKeyId from, const RegistryPath& path, RegistryKeyId* found) {
  LONG status = keyExists(from);
  RegistryKeyId current = from;
  for (size_t i = 0; status == ERROR_SUCCESS && i < path.size(); ++i) {
    const std::string fold = registryFoldKey(path[i]);
    RegistryQuery query(statements_->get(RegistrySql::kChild));
    const int result = query.bind(1, current).bindBytes(2, fold.data(), fold.size()).step();
    if (result == SQLITE_ROW) {
      current = query.integer(0);
    } else {
      status = result == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : registryStatusOf(result);
    }
  }
  if (status == ERROR_SUCCESS) *found = current;
  return status;
}

// Inside the lock, after refresh(): the key at `path` below `from`, from the
// cache or looked up and cached.
LONG RegistryHive::resolve(const std::u16string& cacheKey, RegistryKeyId from, const RegistryPath& path,
                           RegistryKeyId* found) {
  if (state_ == State::kMissing) {
    if (!isRoot(from)) return ERROR_KEY_DELETED;
    if (!path.empty()) return ERROR_FILE_NOT_FOUND;
    *found = from;
    return ERROR_SUCCESS;
  }
  auto cached = keys_.find(cacheKey);
  if (cached != keys_.end()) {
    if (cached->second == 0) return ERROR_FILE_NOT_FOUND;
    *found = cached->second;
    return ERROR_SUCCESS;
  }
  LONG status = beginRead();
  if (status != ERROR_SUCCESS) return status;
  RegistryKeyId key = 0;
  status = endRead(lookUpKey(from, path, &key));
  if (cacheHasRoom() && (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)) keys_.emplace(cacheKey, key);
  if (status == ERROR_SUCCESS) *found = key;
  return status;
}

// The cache answers only after the look at the file that every call makes,
// so a key another process deleted is not found, as on Windows.
LONG RegistryHive::findKey(RegistryKeyId from, const RegistryPath& path, RegistryKeyRef* found) {
  std::u16string cacheKey = idPrefix(from);
  for (std::u16string_view component : path) {
    cacheKey += foldRegistryName(component);
    cacheKey += u'\\';
  }
  std::lock_guard<std::mutex> guard(lock_);
  const LONG status = refresh();
  return status != ERROR_SUCCESS ? status : resolve(cacheKey, from, path, &found->key);
}

LONG RegistryHive::findValue(RegistryKeyId key, std::u16string_view name, const RegistryValue** value) {
  LONG status = ERROR_SUCCESS;
  if (state_ == State::kMissing) return isRoot(key) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
  std::u16string cacheKey = idPrefix(key) + foldRegistryName(name);
  auto cached = values_.find(cacheKey);
  if (cached != values_.end()) {
    if (!cached->second.present) return ERROR_FILE_NOT_FOUND;
    *value = &cached->second.value;
    return ERROR_SUCCESS;
  }
  status = beginRead();
  if (status != ERROR_SUCCESS) return status;
  CachedValue found;
  {
    const std::string fold = registryFoldKey(name);
    RegistryQuery query(statements_->get(RegistrySql::kValue));
    const int result = query.bind(1, key).bindBytes(2, fold.data(), fold.size()).step();
    if (result == SQLITE_ROW) {
      found.present = true;
      found.value.type = static_cast<DWORD>(query.integer(0));
      found.value.data = query.bytes(1);
    } else if (result == SQLITE_DONE) {
      status = keyExists(key);
      if (status == ERROR_SUCCESS) status = ERROR_FILE_NOT_FOUND;
    } else {
      status = registryStatusOf(result);
    }
  }
  status = endRead(status);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return status;
  if (cacheHasRoom() && found.value.data.size() <= kMaxCachedValueBytes) {
    cachedBytes_ += found.value.data.size() + cacheKey.size() * sizeof(char16_t);
    auto inserted = values_.emplace(std::move(cacheKey), std::move(found)).first;
    *value = &inserted->second.value;
  } else {
    uncached_ = std::move(found.value);
    *value = &uncached_;
  }
  return status;
}

// The frame of every uncached read of one key: the hive locked and looked
// at again, the key checked and `read` run in one read transaction. In a hive
// without a file the roots are empty and give `whenEmpty`.
template <typename Read>
LONG RegistryHive::readKey(RegistryKeyId key, LONG whenEmpty, Read&& read) {
  std::lock_guard<std::mutex> guard(lock_);
  LONG status = refresh();
  if (status != ERROR_SUCCESS) return status;
  if (state_ == State::kMissing) return isRoot(key) ? whenEmpty : ERROR_KEY_DELETED;
  status = beginRead();
  if (status != ERROR_SUCCESS) return status;
  status = keyExists(key);
  if (status == ERROR_SUCCESS) status = read();
  return endRead(status);
}

LONG RegistryHive::checkKey(RegistryKeyId key) {
  return readKey(key, ERROR_SUCCESS, [] { return ERROR_SUCCESS; });
}

LONG RegistryHive::readValues(RegistryKeyId key, const std::vector<std::u16string_view>& names,
                              std::vector<RegistryValue>* values) {
  values->clear();
  return readKey(key, names.empty() ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND, [&]() -> LONG {
    for (std::u16string_view name : names) {
      const std::string fold = registryFoldKey(name);
      RegistryQuery query(statements_->get(RegistrySql::kValue));
      const int result = query.bind(1, key).bindBytes(2, fold.data(), fold.size()).step();
      if (result != SQLITE_ROW) return result == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : registryStatusOf(result);
      values->push_back(RegistryValue{static_cast<DWORD>(query.integer(0)), query.bytes(1)});
    }
    return ERROR_SUCCESS;
  });
}

// The cursor says where the previous index stopped; it counts only while the
// generation it was made in lasts and the caller asks for the next index.
// Anything else starts over by position, as the first index does.
LONG RegistryHive::subKeyAt(RegistryKeyId key, DWORD index, RegistryEnumCursor* cursor, RegistryEntry* entry) {
  return readKey(key, ERROR_NO_MORE_ITEMS, [&]() -> LONG {
    const bool follows = cursor->generation == generation_ && cursor->next == index && index > 0;
    RegistryQuery query(statements_->get(follows ? RegistrySql::kChildAfter : RegistrySql::kChildAt));
    query.bind(1, key);
    if (follows) {
      query.bindBytes(2, cursor->fold.data(), cursor->fold.size());
    } else {
      query.bind(2, index);
    }
    const int result = query.step();
    cursor->generation = 0;
    if (result != SQLITE_ROW) return result == SQLITE_DONE ? ERROR_NO_MORE_ITEMS : registryStatusOf(result);
    entry->name = query.name(0);
    entry->lastWriteTime = static_cast<uint64_t>(query.integer(1));
    *cursor = RegistryEnumCursor{generation_, index + 1, 0, query.bytes(2)};
    return ERROR_SUCCESS;
  });
}

LONG RegistryHive::valueAt(RegistryKeyId key, DWORD index, bool withData, RegistryEnumCursor* cursor,
                           RegistryEntry* entry) {
  return readKey(key, ERROR_NO_MORE_ITEMS, [&]() -> LONG {
    const bool follows = cursor->generation == generation_ && cursor->next == index && index > 0;
    sqlite3_stmt* statement =
        statements_->get(withData ? (follows ? RegistrySql::kValueAfter : RegistrySql::kValueAt)
                                  : (follows ? RegistrySql::kValueNameAfter : RegistrySql::kValueNameAt));
    RegistryQuery query(statement);
    const int result = query.bind(1, key).bind(2, follows ? cursor->seq : static_cast<int64_t>(index)).step();
    cursor->generation = 0;
    if (result != SQLITE_ROW) return result == SQLITE_DONE ? ERROR_NO_MORE_ITEMS : registryStatusOf(result);
    entry->name = query.name(0);
    entry->type = static_cast<DWORD>(query.integer(1));
    if (withData) {
      entry->data = query.bytes(2);
      entry->size = entry->data.size();
    } else {
      entry->data.clear();
      entry->size = static_cast<size_t>(query.integer(2));
    }
    *cursor = RegistryEnumCursor{generation_, index + 1, query.integer(3), std::string()};
    return ERROR_SUCCESS;
  });
}

LONG RegistryHive::keyInfo(RegistryKeyId key, RegistryKeyInfo* info) {
  *info = RegistryKeyInfo();
  return readKey(key, ERROR_SUCCESS, [&]() -> LONG {
    RegistryQuery written(statements_->get(RegistrySql::kKeyWritten));
    int result = written.bind(1, key).step();
    if (result != SQLITE_ROW) return registryStatusOf(result);
    info->lastWriteTime = static_cast<uint64_t>(written.integer(0));
    RegistryQuery children(statements_->get(RegistrySql::kChildInfo));
    result = children.bind(1, key).step();
    if (result != SQLITE_ROW) return registryStatusOf(result);
    info->subKeys = static_cast<DWORD>(children.integer(0));
    info->maxSubKeyNameLength = static_cast<DWORD>(children.integer(1) / 2);
    RegistryQuery values(statements_->get(RegistrySql::kValueInfo));
    result = values.bind(1, key).step();
    if (result != SQLITE_ROW) return registryStatusOf(result);
    info->values = static_cast<DWORD>(values.integer(0));
    info->maxValueNameLength = static_cast<DWORD>(values.integer(1) / 2);
    info->maxValueDataLength = static_cast<DWORD>(values.integer(2));
    return ERROR_SUCCESS;
  });
}

LONG RegistryHive::createKey(RegistryKeyId from, const RegistryPath& path, bool mayCreate, RegistryKeyId* key,
                             bool* created) {
  std::lock_guard<std::mutex> guard(lock_);
  // An existing key opens without a write, so a read-only hive serves it too.
  LONG status = refresh();
  if (status != ERROR_SUCCESS) return status;
  if (state_ == State::kOpen) {
    status = beginRead();
    if (status != ERROR_SUCCESS) return status;
    status = endRead(lookUpKey(from, path, key));
    if (status == ERROR_SUCCESS) {
      *created = false;
      return ERROR_SUCCESS;
    }
    if (status != ERROR_FILE_NOT_FOUND) return status;
  } else if (path.empty()) {
    if (!isRoot(from)) return ERROR_KEY_DELETED;
    *key = from;
    *created = false;
    return ERROR_SUCCESS;
  }
  if (!mayCreate) return ERROR_ACCESS_DENIED;
  *created = false;
  return write([&]() -> LONG {
    LONG result = keyExists(from);
    RegistryKeyId current = from;
    const int64_t now = static_cast<int64_t>(registryNow());
    for (size_t i = 0; result == ERROR_SUCCESS && i < path.size(); ++i) {
      const std::string fold = registryFoldKey(path[i]);
      RegistryQuery child(statements_->get(RegistrySql::kChild));
      const int found = child.bind(1, current).bindBytes(2, fold.data(), fold.size()).step();
      if (found == SQLITE_ROW) {
        current = child.integer(0);
        continue;
      }
      if (found != SQLITE_DONE) return registryStatusOf(found);
      RegistryQuery insert(statements_->get(RegistrySql::kInsertKey));
      insert.bind(1, current).bindName(2, path[i]).bindBytes(3, fold.data(), fold.size()).bind(4, now);
      result = registryRun(insert);
      if (result != ERROR_SUCCESS) break;
      RegistryQuery touch(statements_->get(RegistrySql::kTouchKey));
      result = registryRun(touch.bind(1, current).bind(2, now));
      current = sqlite3_last_insert_rowid(db_);
      *created = true;
    }
    if (result == ERROR_SUCCESS) *key = current;
    return result;
  });
}

LONG RegistryHive::setValue(RegistryKeyId key, std::u16string_view name, DWORD type, const BYTE* data, size_t size) {
  std::lock_guard<std::mutex> guard(lock_);
  return write([&]() -> LONG {
    LONG status = keyExists(key);
    if (status != ERROR_SUCCESS) return status;
    const std::string fold = registryFoldKey(name);
    RegistryQuery set(statements_->get(RegistrySql::kSetValue));
    set.bind(1, key).bindName(2, name).bindBytes(3, fold.data(), fold.size()).bind(4, type).bindBytes(5, data, size);
    status = registryRun(set);
    if (status != ERROR_SUCCESS) return status;
    RegistryQuery touch(statements_->get(RegistrySql::kTouchKey));
    return registryRun(touch.bind(1, key).bind(2, static_cast<int64_t>(registryNow())));
  });
}

LONG RegistryHive::deleteValue(RegistryKeyId key, std::u16string_view name) {
  std::lock_guard<std::mutex> guard(lock_);
  // A hive without a file has no value to delete, and gets no file for it.
  LONG status = refresh();
  if (status != ERROR_SUCCESS) return status;
  if (state_ == State::kMissing) return isRoot(key) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
  return write([&]() -> LONG {
    LONG result = keyExists(key);
    if (result != ERROR_SUCCESS) return result;
    const std::string fold = registryFoldKey(name);
    RegistryQuery remove(statements_->get(RegistrySql::kDeleteValue));
    result = registryRun(remove.bind(1, key).bindBytes(2, fold.data(), fold.size()));
    if (result != ERROR_SUCCESS) return result;
    if (sqlite3_changes(db_) == 0) return ERROR_FILE_NOT_FOUND;
    RegistryQuery touch(statements_->get(RegistrySql::kTouchKey));
    return registryRun(touch.bind(1, key).bind(2, static_cast<int64_t>(registryNow())));
  });
}

// Inside a write transaction.
LONG RegistryHive::removeTree(RegistryKeyId key, bool keepKey) {
  RegistryQuery values(statements_->get(RegistrySql::kDeleteTreeValues));
  LONG status = registryRun(values.bind(1, key));
  if (status != ERROR_SUCCESS) return status;
  RegistryQuery keys(statements_->get(keepKey ? RegistrySql::kDeleteSubtreeKeys : RegistrySql::kDeleteTreeKeys));
  return registryRun(keys.bind(1, key));
}

LONG RegistryHive::deleteKey(RegistryKeyId key, bool onlyIfLeaf) {
  if (isRoot(key)) return ERROR_ACCESS_DENIED;
  std::lock_guard<std::mutex> guard(lock_);
  LONG status = refresh();
  if (status != ERROR_SUCCESS) return status;
  if (state_ == State::kMissing) return ERROR_KEY_DELETED;
  return write([&]() -> LONG {
    RegistryQuery parentOf(statements_->get(RegistrySql::kParentOf));
    const int found = parentOf.bind(1, key).step();
    if (found != SQLITE_ROW) return found == SQLITE_DONE ? ERROR_KEY_DELETED : registryStatusOf(found);
    const RegistryKeyId parent = parentOf.integer(0);
    if (onlyIfLeaf) {
      RegistryQuery children(statements_->get(RegistrySql::kHasChildren));
      const int result = children.bind(1, key).step();
      if (result == SQLITE_ROW) return ERROR_ACCESS_DENIED;
      if (result != SQLITE_DONE) return registryStatusOf(result);
    }
    LONG result = removeTree(key, false);
    if (result != ERROR_SUCCESS) return result;
    RegistryQuery touch(statements_->get(RegistrySql::kTouchKey));
    return registryRun(touch.bind(1, parent).bind(2, static_cast<int64_t>(registryNow())));
  });
}

LONG RegistryHive::clearKey(RegistryKeyId key) {
  std::lock_guard<std::mutex> guard(lock_);
  LONG status = refresh();
  if (status != ERROR_SUCCESS) return status;
  if (state_ == State::kMissing) return isRoot(key) ? ERROR_SUCCESS : ERROR_KEY_DELETED;
  return write([&]() -> LONG {
    LONG result = keyExists(key);
    if (result != ERROR_SUCCESS) return result;
    result = removeTree(key, true);
    if (result != ERROR_SUCCESS) return result;
    RegistryQuery touch(statements_->get(RegistrySql::kTouchKey));
    return registryRun(touch.bind(1, key).bind(2, static_cast<int64_t>(registryNow())));
  });
}

}  // namespace orv_posix
