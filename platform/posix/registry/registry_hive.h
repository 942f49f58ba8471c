// One registry hive: a SQLite database shared by every process that uses it.
// A process keeps one connection per hive, opened on first use, with its
// statements prepared once. What it reads is cached, and the cache is dropped
// whenever another commit shows (the header of the write-ahead log's shared
// index, or the change counter of a hive still in rollback mode), so that a
// change committed by any process is seen by the very next call.
//
// Durability, as Windows promises it: a write is atomic and visible to every
// process when its call returns, and survives the crash of any process at
// once (it is in the write-ahead log). It survives a power loss after
// RegFlushKey, or at most kRegistryLazyFlushSeconds after the write (the
// lazy flusher), so a write does not wait for a full sync of its own.
//
// Readers never block writers: a live hive is in write-ahead-log mode, and
// its -wal and -shm files are kept (created with the hive's mode), so that a
// process that may only read the hive can read it while a writer runs and
// after a writer died at any point, seeing each commit whole or not at all.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/posix_io.h"
#include "orv_win32.h"
#include "registry_upcase.h"

struct sqlite3;

namespace orv_posix {

class RegistryStatements;

using RegistryKeyId = int64_t;
using RegistryPath = std::vector<std::u16string_view>;

// The roots every hive file holds, one per predefined key it serves.
constexpr RegistryKeyId kLocalMachineRoot = 1;
constexpr RegistryKeyId kClassesRoot = 2;
constexpr RegistryKeyId kUsersRoot = 3;
constexpr RegistryKeyId kCurrentConfigRoot = 4;
constexpr RegistryKeyId kCurrentUserRoot = 1;

// Where the last enumeration of one handle stopped: the next index continues
// after `seq` (values) or `fold` (subkeys) while the hive is unchanged.
struct RegistryEnumCursor {
  uint64_t generation = 0;  // 0: none
  DWORD next = 0;
  int64_t seq = 0;
  std::string fold;
};

// A key as a handle names it.
struct RegistryKeyRef {
  RegistryKeyId key = 0;
};

// One entry of an enumeration; `data` is filled only when asked for.
struct RegistryEntry {
  std::u16string name;
  DWORD type = REG_NONE;
  size_t size = 0;
  std::string data;
  uint64_t lastWriteTime = 0;  // subkeys, FILETIME units
};

struct RegistryValue {
  DWORD type = REG_NONE;
  std::string data;
};

struct RegistryKeyInfo {
  DWORD subKeys = 0;
  DWORD maxSubKeyNameLength = 0;
  DWORD values = 0;
  DWORD maxValueNameLength = 0;
  DWORD maxValueDataLength = 0;
  uint64_t lastWriteTime = 0;  // FILETIME units
};

class RegistryHive {
 public:
  RegistryHive(std::string path, mode_t fileMode, mode_t folderMode);
  ~RegistryHive();
  RegistryHive(const RegistryHive&) = delete;
  RegistryHive& operator=(const RegistryHive&) = delete;

  // Reads. A hive without a file is empty: its roots exist and hold nothing.
  LONG findKey(RegistryKeyId from, const RegistryPath& path, RegistryKeyRef* found);
  // Calls use(value) with the stored value while the hive is locked.
  template <typename Use>
  LONG withValue(RegistryKeyId key, std::u16string_view name, Use&& use) {
    std::lock_guard<std::mutex> guard(lock_);
    LONG status = refresh();
    const RegistryValue* value = nullptr;
    if (status == ERROR_SUCCESS) status = findValue(key, name, &value);
    return status == ERROR_SUCCESS ? use(*value) : status;
  }
  // Several values read in one transaction; a missing one fails the call.
  LONG readValues(RegistryKeyId key, const std::vector<std::u16string_view>& names, std::vector<RegistryValue>* values);
  // Enumeration, in constant time per index when `cursor` follows on.
  LONG subKeyAt(RegistryKeyId key, DWORD index, RegistryEnumCursor* cursor, RegistryEntry* entry);
  LONG valueAt(RegistryKeyId key, DWORD index, bool withData, RegistryEnumCursor* cursor, RegistryEntry* entry);
  LONG keyInfo(RegistryKeyId key, RegistryKeyInfo* info);
  // ERROR_SUCCESS when this process may write the hive.
  LONG checkWritable();

  // Makes every write so far survive a power loss.
  LONG flush();

  // Writes, each one atomic and visible when it returns.
  // With `mayCreate` false a key that would have to be created is
  // ERROR_ACCESS_DENIED instead.
  LONG createKey(RegistryKeyId from, const RegistryPath& path, bool mayCreate, RegistryKeyId* key, bool* created);
  LONG setValue(RegistryKeyId key, std::u16string_view name, DWORD type, const BYTE* data, size_t size);
  LONG deleteValue(RegistryKeyId key, std::u16string_view name);
  // Removes `key` and everything below it; with `onlyIfLeaf` a key that has
  // subkeys stays (ERROR_ACCESS_DENIED, as on Windows). Roots stay.
  LONG deleteKey(RegistryKeyId key, bool onlyIfLeaf);
  // Removes the values and subkeys of `key`, keeping the key.
  LONG clearKey(RegistryKeyId key);

  // Hive files: standalone databases of the same layout, the key as root.
  LONG saveKey(RegistryKeyId key, const std::string& file);
  LONG restoreKey(RegistryKeyId key, const std::string& file);

 private:
  enum class State { kClosed, kMissing, kOpen };
  struct CachedValue {
    bool present = false;
    RegistryValue value;
  };

  LONG refresh();
  LONG open();
  LONG createFile();
  void closeConnection();
  LONG prepareConnection();
  LONG readStamp(unsigned char* stamp, size_t* size);
  LONG beginRead();
  LONG endRead(LONG status);
  LONG beginWrite();
  LONG endWrite(LONG status);
  template <typename Work>
  LONG write(Work&& work);
  template <typename Read>
  LONG readKey(RegistryKeyId key, LONG whenEmpty, Read&& read);
  LONG findValue(RegistryKeyId key, std::u16string_view name, const RegistryValue** value);
  LONG lookUpKey(RegistryKeyId from, const RegistryPath& path, RegistryKeyId* found);
  LONG resolve(const std::u16string& cacheKey, RegistryKeyId from, const RegistryPath& path, RegistryKeyId* found);
  LONG keyExists(RegistryKeyId key);
  LONG checkKey(RegistryKeyId key);
  LONG removeTree(RegistryKeyId key, bool keepKey);
  void dropCache();
  bool cacheHasRoom() const;

  const std::string path_;
  const mode_t fileMode_;
  const mode_t folderMode_;
  std::mutex lock_;
  State state_ = State::kClosed;
  sqlite3* db_ = nullptr;
  RegistryStatements* statements_ = nullptr;
  FileDescriptor counter_;                  // closed only after the connection: closing it would drop SQLite's locks
  FileDescriptor shm_;                      // the same, for the -shm file
  const unsigned char* shmView_ = nullptr;  // its first bytes, mapped
  bool readOnly_ = false;
  bool walMode_ = false;

  // What the last look at the file saw, and a number that moves whenever
  // that changes (cursors and cached entries belong to one generation).
  unsigned char stamp_[48] = {};
  size_t stampSize_ = 0;
  uint64_t generation_ = 1;
  std::unordered_map<std::u16string, RegistryKeyId> keys_;  // 0: no such key
  std::unordered_map<std::u16string, CachedValue> values_;
  size_t cachedBytes_ = 0;
  RegistryValue uncached_;
};

}  // namespace orv_posix
