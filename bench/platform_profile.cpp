// The profile-file calls on a file of one section with N keys: a value read,
// the section read, and a value write (a locked, flushed, atomic replace),
// on the temporary folder's disk and on memory (/dev/shm).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "orv_win32.h"

namespace {

using Text = std::u16string;

Text widen(const std::string& ascii) { return Text(ascii.begin(), ascii.end()); }

std::string folderOf(bool memory) {
  if (memory && access("/dev/shm", W_OK) == 0) return "/dev/shm";
  const char* tmp = getenv("TMPDIR");
  return tmp != nullptr ? tmp : "/tmp";
}

// A file "[section]" with keys key0 .. keyN-1, removed afterwards.
class SampleFile {
 public:
  SampleFile(int keys, bool memory)
      : path_(folderOf(memory) + "/orv_profile_bench_" + std::to_string(getpid()) + ".ini"), name_(widen(path_)) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << "[section]\r\n";
    for (int i = 0; i < keys; ++i) out << "key" << i << "=value number " << i << "\r\n";
  }
  ~SampleFile() { unlink(path_.c_str()); }
  const WCHAR* name() const { return name_.c_str(); }

 private:
  std::string path_;
  Text name_;
};

void readValue(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  SampleFile file(keys, true);
  const Text key = widen("key" + std::to_string(keys - 1));
  WCHAR buffer[1024];
  for (auto _ : state)
    benchmark::DoNotOptimize(GetPrivateProfileStringW(u"section", key.c_str(), u"", buffer, 1024, file.name()));
}

void readSection(benchmark::State& state) {
  SampleFile file(static_cast<int>(state.range(0)), true);
  static WCHAR buffer[32767];
  for (auto _ : state) benchmark::DoNotOptimize(GetPrivateProfileSectionW(u"section", buffer, 32767, file.name()));
}

void writeValue(benchmark::State& state, bool memory) {
  const int keys = static_cast<int>(state.range(0));
  SampleFile file(keys, memory);
  const Text key = widen("key" + std::to_string(keys / 2));
  int round = 0;
  for (auto _ : state) {
    const Text value = widen(std::to_string(++round));
    benchmark::DoNotOptimize(WritePrivateProfileStringW(u"section", key.c_str(), value.c_str(), file.name()));
  }
}

void writeValueOnMemory(benchmark::State& state) { writeValue(state, true); }
void writeValueOnDisk(benchmark::State& state) { writeValue(state, false); }

}  // namespace

BENCHMARK(readValue)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(readSection)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(writeValueOnMemory)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(writeValueOnDisk)->Arg(10)->Arg(100)->Arg(1000);

BENCHMARK_MAIN();
