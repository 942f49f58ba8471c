// One registry hive: a SQLite database shared by every process that uses it.
// A process keeps one connection per hive, opened on first use, with its
// statements prepared once. What it reads is cached, and the cache is dropped
// whenever the database's change counter moves, so that a change committed by
// any process is seen by the very next call.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "orv_win32.h"

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

// A key as a handle names it. Right after an open that the cache answered it
// is tentative: found under the change counter `stamp` by the lookup `path`,
// and the first call that uses it confirms it or looks it up again.
struct RegistryKeyRef {
  RegistryKeyId key = 0;
  bool tentative = false;
  uint32_t stamp = 0;
  std::shared_ptr<const std::u16string> path;
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
  // With `mayBeTentative` a key the cache knows comes back tentative.
  LONG findKey(RegistryKeyId from, const RegistryPath& path, RegistryKeyRef* found, bool mayBeTentative);
  // Makes a tentative key a confirmed one; others pass unchanged.
  LONG confirmKey(RegistryKeyRef* ref);
  // Calls use(value) with the stored value while the hive is locked; a
  // tentative key is confirmed on the way, with the same look at the file.
  template <typename Use>
  LONG withValue(RegistryKeyRef* key, std::u16string_view name, Use&& use) {
    std::lock_guard<std::mutex> guard(lock_);
    LONG status = refresh();
    if (status == ERROR_SUCCESS) status = confirmLocked(key);
    const RegistryValue* value = nullptr;
    if (status == ERROR_SUCCESS) status = findValue(key->key, name, &value);
    return status == ERROR_SUCCESS ? use(*value) : status;
  }
  // Several values read in one transaction; a missing one fails the call.
  LONG readValues(RegistryKeyId key, const std::vector<std::u16string_view>& names,
                  std::vector<RegistryValue>* values);
  LONG subKeyAt(RegistryKeyId key, DWORD index, std::u16string* name, uint64_t* lastWriteTime);
  LONG valueAt(RegistryKeyId key, DWORD index, std::u16string* name, RegistryValue* value);
  LONG keyInfo(RegistryKeyId key, RegistryKeyInfo* info);
  // ERROR_SUCCESS when this process may write the hive.
  LONG checkWritable();

  // Writes, each one atomic and durable when it returns.
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
  LONG readCounter(uint32_t* counter);
  LONG beginRead();
  LONG endRead(LONG status, bool* cacheable);
  LONG beginWrite();
  LONG endWrite(LONG status);
  template <typename Work>
  LONG write(Work&& work);
  template <typename Read>
  LONG readKey(RegistryKeyId key, LONG whenEmpty, Read&& read);
  LONG findValue(RegistryKeyId key, std::u16string_view name, const RegistryValue** value);
  LONG lookUpKey(RegistryKeyId from, const RegistryPath& path, RegistryKeyId* found);
  LONG resolve(const std::u16string& cacheKey, RegistryKeyId from, const RegistryPath& path, RegistryKeyId* found);
  LONG confirmLocked(RegistryKeyRef* ref);
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
  int counterFd_ = -1;  // closed only after the connection: closing it would drop SQLite's locks
  bool readOnly_ = false;

  uint32_t cachedCounter_ = 0;
  std::unordered_map<std::u16string, RegistryKeyId> keys_;  // 0: no such key
  std::unordered_map<std::u16string, CachedValue> values_;
  size_t cachedBytes_ = 0;
  RegistryValue uncached_;
};

// Windows' name rule: ASCII letters compare as their upper case.
std::u16string foldRegistryName(std::u16string_view name);

}  // namespace orv_posix
