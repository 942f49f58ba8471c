// What the registry classes cost over the bare calls: a DWORD and a string
// read through the value classes (open, query, close each time), and the
// install-directory lookup of the product descriptor, found in the current
// location and found only in the former one after the registry-view retry.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "orv_product_pwmgr.h"
#include "orv_registry_dword.h"
#include "orv_registry_string.h"

namespace {

const WCHAR kSettingsKey[] = ORV_W("SOFTWARE\\Halvik\\Logs");
const WCHAR kCurrentKey[] = ORV_W("Software\\Halvik\\Password Manager");
const WCHAR kFormerKey[] = ORV_W("Software\\Ostrel Quillmarsh\\Password Manager");

void setValue(const WCHAR* keyName, const WCHAR* valueName, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    std::abort();
  RegSetValueExW(key, valueName, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

// A registry of its own in a fresh folder, with one DWORD and one string
// setting and the former product location.
void prepareRegistry() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  char folder[] = "/tmp/orv-registry-value-bench-XXXXXX";
  if (mkdtemp(folder) != nullptr) setenv("ORV_REGISTRY_DIR", folder, 1);
  const DWORD on = 1;
  setValue(kSettingsKey, ORV_W("MaxLogFileNum"), REG_DWORD, &on, sizeof(on));
  const WCHAR path[] = ORV_W("/opt/halvik/password-manager");
  setValue(kSettingsKey, ORV_W("TextOutput"), REG_SZ, path, sizeof(path));
  setValue(kFormerKey, ORV_W("InstallPath"), REG_SZ, path, sizeof(path));
}

void BM_DwordRead(benchmark::State& state) {
  prepareRegistry();
  CORVRegistryDword setting(HKEY_LOCAL_MACHINE, kSettingsKey, ORV_W("MaxLogFileNum"), KEY_READ, false, 0);
  DWORD value = 0;
  for (auto _ : state) {
    if (!setting.getValue(value, false)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_DwordRead);

void BM_StringRead(benchmark::State& state) {
  prepareRegistry();
  CORVRegistryString setting(HKEY_LOCAL_MACHINE, kSettingsKey, ORV_W("TextOutput"), KEY_READ, false, 0);
  CORVWCharString value;
  for (auto _ : state) {
    if (!setting.getValue(value, false)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(value.getBuffer());
  }
}
BENCHMARK(BM_StringRead);

void BM_InstallDirectoryInFormerLocation(benchmark::State& state) {
  prepareRegistry();
  CORVProduct_PwMgr product;
  CORVWCharString directory;
  for (auto _ : state) {
    if (!product.getInstallDirectory(directory)) state.SkipWithError("not found");
    benchmark::DoNotOptimize(directory.getBuffer());
  }
}
BENCHMARK(BM_InstallDirectoryInFormerLocation);

void BM_InstallDirectoryInCurrentLocation(benchmark::State& state) {
  prepareRegistry();
  const WCHAR path[] = ORV_W("/opt/halvik/current");
  setValue(kCurrentKey, ORV_W("InstallPath"), REG_SZ, path, sizeof(path));
  CORVProduct_PwMgr product;
  CORVWCharString directory;
  for (auto _ : state) {
    if (!product.getInstallDirectory(directory)) state.SkipWithError("not found");
    benchmark::DoNotOptimize(directory.getBuffer());
  }
}
BENCHMARK(BM_InstallDirectoryInCurrentLocation);

}  // namespace

BENCHMARK_MAIN();
