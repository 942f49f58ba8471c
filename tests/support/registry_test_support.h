// Helpers for the tests of the registry classes: a registry of the test's
// own, raw value access through the platform calls, and a log of the
// exceptions and warnings written meanwhile.
//
// On Linux the registry lives in a fresh ORV_REGISTRY_DIR for the test's
// life. The Windows build runs under Wine in a prefix of its own, where the
// keys a test names are deleted before and after it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "log_test_support.h"
#include "orv_wchar_string.h"
#include "orv_win32.h"
#include "wine_check.h"

namespace orv_test {

// A list of strings tagged 0, 1, 2, ...
inline CORVWCharStringList listOf(std::initializer_list<const char*> elements) {
  CORVWCharStringList list;
  INT tag = 0;
  for (const char* element : elements) list.addTail(wideString(element), tag++);
  return list;
}

// The elements, for failure messages.
inline std::string namesOf(CORVWCharStringList& list) {
  std::string names;
  if (!list.moveFirst()) return names;
  do {
    names += textOf(*list.getCurrentData()) + ";";
  } while (list.moveNext());
  return names;
}

// A key below a root, for the helpers.
struct RegistryPath {
  HKEY root;
  WString path;
};

inline bool keyExists(const RegistryPath& key, REGSAM view = 0) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(key.root, key.path.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

inline void deleteKey(const RegistryPath& key, REGSAM view = 0) {
  HKEY parent = nullptr;
  const size_t separator = key.path.rfind(WCHAR('\\'));
  const WString parentPath = separator == WString::npos ? WString() : key.path.substr(0, separator);
  const WString name = separator == WString::npos ? key.path : key.path.substr(separator + 1);
  if (RegOpenKeyExW(key.root, parentPath.c_str(), 0, KEY_ALL_ACCESS | view, &parent) != ERROR_SUCCESS) return;
  RegDeleteTreeW(parent, name.c_str());
  RegCloseKey(parent);
}

// Writes one value, creating the key; the bytes are given as they are stored.
inline void setRawValue(const RegistryPath& key, const WString& name, DWORD type, const void* data, DWORD size,
                        REGSAM view = 0) {
  HKEY handle = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(key.root, key.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &handle, nullptr),
      ERROR_SUCCESS);
  EXPECT_EQ(
      RegSetValueExW(handle, name.empty() ? nullptr : name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
      ERROR_SUCCESS);
  RegCloseKey(handle);
}

inline void setStringValue(const RegistryPath& key, const WString& name, const WString& text, REGSAM view = 0,
                           DWORD type = REG_SZ) {
  setRawValue(key, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)), view);
}

inline void setDwordValue(const RegistryPath& key, const WString& name, DWORD value) {
  setRawValue(key, name, REG_DWORD, &value, sizeof(value));
}

// The value's type and bytes; false when it cannot be read.
inline bool getRawValue(const RegistryPath& key, const WString& name, DWORD& type, std::vector<BYTE>& data) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(key.root, key.path.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  LONG status = RegQueryValueExW(handle, name.empty() ? nullptr : name.c_str(), nullptr, &type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    data.assign(size, 0);
    status = RegQueryValueExW(handle, name.empty() ? nullptr : name.c_str(), nullptr, &type, data.data(), &size);
    data.resize(size);
  }
  RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

// A registry for one test, and a fresh key path in it under HKEY_CURRENT_USER.
class ScratchRegistry {
 public:
  // The fixed keys the test writes (product locations, the Logs key) are
  // deleted before and after it, in both registry views.
  explicit ScratchRegistry(std::initializer_list<RegistryPath> fixedKeys = {}) : fixedKeys_(fixedKeys) {
#ifndef _WIN32
    previousFolder_ = std::getenv("ORV_REGISTRY_DIR") != nullptr ? std::getenv("ORV_REGISTRY_DIR") : "";
    hadFolder_ = std::getenv("ORV_REGISTRY_DIR") != nullptr;
    setenv("ORV_REGISTRY_DIR", folder_.path().string().c_str(), 1);
#endif
    std::random_device random;
    userKey_ = {HKEY_CURRENT_USER, widen("Software\\OrvTest\\" + std::to_string(random()))};
    clearAll();
  }
  ~ScratchRegistry() {
    clearAll();
#ifndef _WIN32
    if (hadFolder_)
      setenv("ORV_REGISTRY_DIR", previousFolder_.c_str(), 1);
    else
      unsetenv("ORV_REGISTRY_DIR");
#endif
  }
  ScratchRegistry(const ScratchRegistry&) = delete;
  ScratchRegistry& operator=(const ScratchRegistry&) = delete;

  const RegistryPath& userKey() const { return userKey_; }
  RegistryPath userSubKey(const std::string& name) const { return {userKey_.root, userKey_.path + widen("\\" + name)}; }
  const ScratchFolder& folder() const { return folder_; }

 private:
  void clearAll() {
    deleteKey(userKey_);
    for (const RegistryPath& key : fixedKeys_) {
      deleteKey(key, KEY_WOW64_64KEY);
      deleteKey(key, KEY_WOW64_32KEY);
    }
  }

  ScratchFolder folder_;
  std::vector<RegistryPath> fixedKeys_;
  RegistryPath userKey_;
#ifndef _WIN32
  std::string previousFolder_;
  bool hadFolder_ = false;
#endif
};

// Writes the library's exceptions and warnings to a text log for the test's
// life ("Logging" 1, default detail, "TextOutput" in a scratch folder).
class CapturedLog {
 public:
  static RegistryPath logsKey() { return {HKEY_LOCAL_MACHINE, widen("SOFTWARE\\Halvik\\Logs")}; }

  CapturedLog() {
    deleteKey(logsKey());
    setDwordValue(logsKey(), widen("Logging"), 1);
    setStringValue(logsKey(), widen("TextOutput"), folder_.wide("test.log"));
  }
  ~CapturedLog() { deleteKey(logsKey()); }
  CapturedLog(const CapturedLog&) = delete;
  CapturedLog& operator=(const CapturedLog&) = delete;

  std::vector<std::string> lines() const {
    const std::filesystem::path file = folder_.path() / "test.log";
    return std::filesystem::exists(file) ? readLogLines(file) : std::vector<std::string>();
  }
  // The lines holding every one of the texts.
  std::vector<std::string> linesWith(std::initializer_list<std::string> texts) const {
    std::vector<std::string> found;
    for (const std::string& line : lines()) {
      bool all = true;
      for (const std::string& text : texts) all = all && line.find(text) != std::string::npos;
      if (all) found.push_back(line);
    }
    return found;
  }
  std::string all() const {
    std::string text;
    for (const std::string& line : lines()) text += line + "\n";
    return text;
  }

 private:
  ScratchFolder folder_;
};

}  // namespace orv_test
