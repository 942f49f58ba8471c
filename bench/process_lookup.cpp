// The readiness check's process lookup: one walk of the process list per
// record command, as the host does it, beside the least a walk can do on
// Linux (read each /proc entry's executable link and compare its file name),
// which is the floor the product's walk is held to.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// The reference: every numeric /proc entry's "exe" link read once, its file
// name compared without regard to case; nothing kept, nothing converted.
void BM_MinimalProcWalk(benchmark::State& state) {
  const char kName[] = "password_manager.exe";
  for (auto _ : state) {
    unsigned long found = 0;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
      state.SkipWithError("no /proc");
      break;
    }
    const int procFd = dirfd(proc);
    while (dirent* entry = readdir(proc)) {
      if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
      char link[sizeof entry->d_name + sizeof "/exe"];
      std::snprintf(link, sizeof link, "%s/exe", entry->d_name);
      char target[PATH_MAX];
      const ssize_t length = readlinkat(procFd, link, target, sizeof target - 1);
      if (length <= 0) continue;
      target[length] = '\0';
      const char* slash = std::strrchr(target, '/');
      if (strcasecmp(slash != nullptr ? slash + 1 : target, kName) == 0)
        found = std::strtoul(entry->d_name, nullptr, 10);
    }
    closedir(proc);
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_MinimalProcWalk)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
