// The readiness check's process lookup: one walk of the process list per
// record command, as the host does it.
#include <benchmark/benchmark.h>

#include "orv_process_info.h"

namespace {

void BM_FindProcessIdByName(benchmark::State& state) {
  const CORVWCharString name(ORV_W("password_manager.exe"));
  size_t processes = 0;
  for (auto _ : state) {
    CORVProcessInfo info;
    DWORD processId = 0;
    benchmark::DoNotOptimize(info.findProcessIdByName(name, processId));
    benchmark::DoNotOptimize(processId);
  }
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) ++processes;
  CloseHandle(snapshot);
  state.counters["processes"] = static_cast<double>(processes);
}
BENCHMARK(BM_FindProcessIdByName)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
