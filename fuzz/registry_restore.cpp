// Arbitrary bytes as a hive file handed to RegRestoreKeyW, into a registry of
// the fuzzer's own. Whatever the file holds, the restore either succeeds or
// is refused leaving the key as it was; after a success the key enumerates,
// every value reads back at the size enumeration gave, and the key saves.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "orv_win32.h"

namespace {

std::string gFolder;
HKEY gTarget = nullptr;

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "registry_restore: %s\n", what);
  std::abort();
}

std::u16string wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

DWORD countValues(HKEY key) {
  DWORD values = 0;
  require(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                           nullptr, nullptr) == ERROR_SUCCESS,
          "the key cannot be queried");
  return values;
}

// Every subkey, depth first, and every value of each: names enumerate and
// values read at the sizes enumeration reported.
void walk(HKEY key, int depth) {
  std::vector<WCHAR> name(16384);
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    DWORD type = 0;
    DWORD size = 0;
    const LONG status = RegEnumValueW(key, index, name.data(), &length, nullptr, &type, nullptr, &size);
    if (status == ERROR_NO_MORE_ITEMS) break;
    require(status == ERROR_SUCCESS, "a restored value does not enumerate");
    std::vector<BYTE> data(size + 1);
    DWORD read = static_cast<DWORD>(data.size());
    require(RegQueryValueExW(key, std::u16string(name.data(), length).c_str(), nullptr, nullptr, data.data(), &read) ==
                    ERROR_SUCCESS &&
                read == size,
            "a restored value does not read back");
  }
  if (depth > 64) return;
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    const LONG status = RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    require(status == ERROR_SUCCESS, "a restored subkey does not enumerate");
    HKEY sub = nullptr;
    require(RegOpenKeyExW(key, std::u16string(name.data(), length).c_str(), 0, KEY_READ, &sub) == ERROR_SUCCESS,
            "a restored subkey does not open");
    walk(sub, depth + 1);
    RegCloseKey(sub);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/orv_fuzz_restore_XXXXXX";
  require(mkdtemp(pattern.data()) != nullptr, "no scratch folder");
  gFolder = pattern;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(gFolder, ignored);
  });
  setenv("ORV_REGISTRY_DIR", gFolder.c_str(), 1);
  require(RegCreateKeyExW(HKEY_CURRENT_USER, wide("Software\\Target").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &gTarget, nullptr) == ERROR_SUCCESS,
          "no target key");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = gFolder + "/input.hiv";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  // A marker value shows whether a refused restore changed the key.
  const DWORD marker = 1;
  require(RegDeleteTreeW(gTarget, nullptr) == ERROR_SUCCESS, "the key cannot be emptied");
  require(RegSetValueExW(gTarget, wide("Marker").c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&marker),
                         sizeof(marker)) == ERROR_SUCCESS,
          "the marker cannot be written");
  const LONG status = RegRestoreKeyW(gTarget, wide(file).c_str(), 0);
  if (status == ERROR_SUCCESS) {
    walk(gTarget, 0);
    const std::string saved = gFolder + "/saved.hiv";
    unlink(saved.c_str());
    require(RegSaveKeyW(gTarget, wide(saved).c_str(), nullptr) == ERROR_SUCCESS, "a restored key does not save");
  } else {
    DWORD value = 0;
    DWORD length = sizeof(value);
    require(countValues(gTarget) == 1 && RegQueryValueExW(gTarget, wide("Marker").c_str(), nullptr, nullptr,
                                                          reinterpret_cast<BYTE*>(&value), &length) == ERROR_SUCCESS,
            "a refused restore changed the key");
  }
  unlink(file.c_str());
  return 0;
}
