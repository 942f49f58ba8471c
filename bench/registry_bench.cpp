// The cost of one setting read as the logging does it for every record:
// RegOpenKeyExW + RegQueryValueExW + RegCloseKey on an existing value, and
// the same when the value or the key is missing; one value write on a warm
// hive; and listing a key of 1,000 to 100,000 values by RegEnumValueW.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "orv_win32.h"

namespace {

const WCHAR kKey[] = ORV_W("SOFTWARE\\Halvik\\Logs");

// A registry of its own in a fresh folder, with the Logs key and one value.
void prepareRegistry() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  static char folder[] = "/tmp/orv-registry-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) std::abort();
  setenv("ORV_REGISTRY_DIR", folder, 1);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  });
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    std::abort();
  }
  const DWORD on = 1;
  RegSetValueExW(key, ORV_W("Logging"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof(on));
  RegCloseKey(key);
}

LONG readSetting(const WCHAR* keyName, const WCHAR* valueName, DWORD* value) {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) return status;
  DWORD size = sizeof(*value);
  status = RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  return status;
}

void BM_OpenQueryClose(benchmark::State& state) {
  prepareRegistry();
  DWORD value = 0;
  for (auto _ : state) {
    if (readSetting(kKey, ORV_W("Logging"), &value) != ERROR_SUCCESS) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_OpenQueryClose);

void BM_OpenQueryCloseMissingValue(benchmark::State& state) {
  prepareRegistry();
  DWORD value = 0;
  for (auto _ : state) benchmark::DoNotOptimize(readSetting(kKey, ORV_W("LogDetail"), &value));
}
BENCHMARK(BM_OpenQueryCloseMissingValue);

void BM_OpenMissingKey(benchmark::State& state) {
  prepareRegistry();
  DWORD value = 0;
  for (auto _ : state) benchmark::DoNotOptimize(readSetting(ORV_W("SOFTWARE\\Nobody"), ORV_W("Logging"), &value));
}
BENCHMARK(BM_OpenMissingKey);

// A write in between: every read after it goes to the database once.
void BM_ReadAfterAnotherWrite(benchmark::State& state) {
  prepareRegistry();
  HKEY key = nullptr;
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key);
  DWORD value = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const DWORD counter = static_cast<DWORD>(state.iterations());
    RegSetValueExW(key, ORV_W("Counter"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&counter), sizeof(counter));
    state.ResumeTiming();
    benchmark::DoNotOptimize(readSetting(kKey, ORV_W("Logging"), &value));
  }
  RegCloseKey(key);
}
BENCHMARK(BM_ReadAfterAnotherWrite)->Iterations(200);

void BM_SetValue(benchmark::State& state) {
  prepareRegistry();
  HKEY key = nullptr;
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key);
  DWORD counter = 0;
  for (auto _ : state) {
    ++counter;
    if (RegSetValueExW(key, ORV_W("Written"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&counter), sizeof(counter)) !=
        ERROR_SUCCESS) {
      state.SkipWithError("write failed");
    }
  }
  RegCloseKey(key);
}
BENCHMARK(BM_SetValue);

// A key holding `count` values named v0, v1, ..., made once per size.
HKEY keyOfValues(int64_t count) {
  prepareRegistry();
  const std::wstring path = L"SOFTWARE\\Enum\\" + std::to_wstring(count);
  const std::u16string wide(path.begin(), path.end());
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<const WCHAR*>(wide.c_str()), 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &key, &disposition) != ERROR_SUCCESS) {
    std::abort();
  }
  if (disposition == REG_CREATED_NEW_KEY) {
    for (int64_t i = 0; i < count; ++i) {
      const std::string name = "v" + std::to_string(i);
      const std::u16string wideName(name.begin(), name.end());
      const DWORD data = static_cast<DWORD>(i);
      RegSetValueExW(key, reinterpret_cast<const WCHAR*>(wideName.c_str()), 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&data), sizeof(data));
    }
  }
  return key;
}

// Names only, as a listing asks before it reads each value.
void BM_EnumerateValueNames(benchmark::State& state) {
  HKEY key = keyOfValues(state.range(0));
  WCHAR name[32];
  for (auto _ : state) {
    DWORD index = 0;
    for (DWORD length = 32;
         RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; length = 32) {
      ++index;
    }
    if (index != state.range(0)) state.SkipWithError("wrong count");
  }
  RegCloseKey(key);
}
BENCHMARK(BM_EnumerateValueNames)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
