// The cost of one setting read as the logging does it for every record:
// RegOpenKeyExW + RegQueryValueExW + RegCloseKey on an existing value, and
// the same when the value or the key is missing.
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

}  // namespace

BENCHMARK_MAIN();
