// The registry text export and import of one key holding N values (small
// DWORDs and strings, as settings keys hold them), into and out of a file of
// their own: the cost per value should not grow with N.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "orv_registry_file.h"
#include "orv_win32.h"

namespace {

std::string g_folder;

void prepareFolder() {
  if (!g_folder.empty()) return;
  static char folder[] = "/tmp/orv-registry-file-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) std::abort();
  g_folder = folder;
  setenv("ORV_REGISTRY_DIR", folder, 1);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
  });
}

std::basic_string<WCHAR> wide(const std::string& text) { return std::basic_string<WCHAR>(text.begin(), text.end()); }

// Software\Bench\N with N values, made once.
std::basic_string<WCHAR> keyWith(int count) {
  prepareFolder();
  const std::basic_string<WCHAR> path = wide("Software\\Bench\\" + std::to_string(count));
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) !=
      ERROR_SUCCESS)
    std::abort();
  if (disposition == REG_CREATED_NEW_KEY) {
    for (int i = 0; i < count; ++i) {
      const std::basic_string<WCHAR> name = wide("value" + std::to_string(i));
      if (i % 2 == 0) {
        const DWORD number = static_cast<DWORD>(i);
        RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
      } else {
        const std::basic_string<WCHAR> text = wide("C:\\Program Files\\Setting " + std::to_string(i));
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
      }
    }
  }
  RegCloseKey(key);
  return path;
}

CORVWCharString fileFor(int count) {
  const std::basic_string<WCHAR> name = wide(g_folder + "/export" + std::to_string(count) + ".ini");
  return CORVWCharString(name.c_str());
}

void BM_ExportValues(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const std::basic_string<WCHAR> path = keyWith(count);
  for (auto _ : state) {
    if (!exportRegistryToFile(fileFor(count), HKEY_CURRENT_USER, CORVWCharString(path.c_str()), true))
      state.SkipWithError("export failed");
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ExportValues)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ImportValues(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const std::basic_string<WCHAR> path = keyWith(count);
  if (!exportRegistryToFile(fileFor(count), HKEY_CURRENT_USER, CORVWCharString(path.c_str()), true))
    state.SkipWithError("export failed");
  for (auto _ : state) {
    if (!importRegistryFromFile(fileFor(count))) state.SkipWithError("import failed");
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ImportValues)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
