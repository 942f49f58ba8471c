// What the application policy costs the host: building the proxy at start-up
// (registry read, signature check, load, factory, and release at the end)
// with the signed reference module, without the check, and without a module;
// and one switch read through the proxy, tracing off.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "orv_pwm_application_policy.h"
#include "orv_win32.h"

namespace {

const WCHAR kModulesKey[] = ORV_W("Software\\Halvik\\Password Manager\\Modules");

std::filesystem::path g_folder;

// A registry of its own, the reference module from beside this program signed
// by scripts/sign-module, and "AppPolicy" naming it.
void prepare() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  static char folder[] = "/tmp/orv-policy-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) std::abort();
  g_folder = folder;
  setenv("ORV_REGISTRY_DIR", (g_folder / "registry").c_str(), 1);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
  });
  const std::filesystem::path module = g_folder / "orvpwm_policy.so";
  std::filesystem::copy_file(std::filesystem::read_symlink("/proc/self/exe").parent_path() / "orvpwm_policy.so",
                             module);
  const std::filesystem::path script =
      std::filesystem::path(__FILE__).parent_path().parent_path() / "scripts" / "sign-module";
  const std::string command =
      "bash '" + script.string() + "' '" + module.string() + "' '" + (g_folder / "registry" / "trust").string() + "'";
  if (std::system(command.c_str()) != 0) std::abort();
}

void registerModule(bool present) {
  prepare();
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kModulesKey);
  if (!present) return;
  const std::u16string path = (g_folder / "orvpwm_policy.so").u16string();
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kModulesKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    std::abort();
  RegSetValueExW(key, ORV_W("AppPolicy"), 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>((path.size() + 1) * sizeof(char16_t)));
  RegCloseKey(key);
}

void BM_StartWithSignatureCheck(benchmark::State& state) {
  registerModule(true);
  for (auto _ : state) {
    CORVPwmApplicationPolicy policy(false);
    if (!policy.isPwmEnabled()) state.SkipWithError("the signed module was not loaded");
  }
}
BENCHMARK(BM_StartWithSignatureCheck)->Unit(benchmark::kMicrosecond);

void BM_StartSkippingSignatureCheck(benchmark::State& state) {
  registerModule(true);
  for (auto _ : state) {
    CORVPwmApplicationPolicy policy(true);
    if (!policy.isPwmEnabled()) state.SkipWithError("the module was not loaded");
  }
}
BENCHMARK(BM_StartSkippingSignatureCheck)->Unit(benchmark::kMicrosecond);

void BM_StartWithoutModule(benchmark::State& state) {
  registerModule(false);
  for (auto _ : state) {
    CORVPwmApplicationPolicy policy(false);
    benchmark::DoNotOptimize(policy.isPwmEnabled());
  }
}
BENCHMARK(BM_StartWithoutModule)->Unit(benchmark::kMicrosecond);

// The readiness check's two switches, each one registry read in the module.
void BM_ReadinessSwitches(benchmark::State& state) {
  registerModule(true);
  CORVPwmApplicationPolicy policy(false);
  for (auto _ : state) benchmark::DoNotOptimize(policy.isPwmEnabled() && policy.isChromePluginEnabled());
}
BENCHMARK(BM_ReadinessSwitches)->Unit(benchmark::kMicrosecond);

// The proxy's own share: a degraded proxy answers without a module.
void BM_DegradedSwitch(benchmark::State& state) {
  registerModule(false);
  CORVPwmApplicationPolicy policy(false);
  for (auto _ : state) benchmark::DoNotOptimize(policy.isPwmEnabled());
}
BENCHMARK(BM_DegradedSwitch);

}  // namespace

BENCHMARK_MAIN();
