// What logging costs: a traced call with tracing off against the same call
// untraced, a traced call with "DynamicLogging" on and "Logging" off, and
// one written record against a bare open-append-close of the same file. The
// settings live in a scratch registry (ORV_REGISTRY_DIR) and the log in a
// scratch folder.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "orv_exceptions.h"
#include "orv_log_globals.h"
#include "orv_trace_scope.h"

namespace {

using WString = std::basic_string<WCHAR>;

const std::filesystem::path& scratchFolder() {
  static const std::filesystem::path folder = [] {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("orv_log_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(path / "registry");
    setenv("ORV_REGISTRY_DIR", (path / "registry").c_str(), 1);
    return path;
  }();
  return folder;
}

WString wide(const std::string& ascii) { return WString(ascii.begin(), ascii.end()); }

const std::filesystem::path logFile() { return scratchFolder() / "bench.log"; }

void setLogsDword(const WCHAR* name, DWORD value) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, ORV_W("SOFTWARE\\Halvik\\Logs"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
  RegCloseKey(key);
}

void setLogsString(const WCHAR* name, const WString& text) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, ORV_W("SOFTWARE\\Halvik\\Logs"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
  RegCloseKey(key);
}

__attribute__((noinline)) bool tracedCall(int value) {
  ORV_TRACE("CORVBench", "tracedCall");
  benchmark::DoNotOptimize(value);
  const bool result = value > 0;
  ORV_TRACE_RESULT(result);
  return result;
}

__attribute__((noinline)) bool untracedCall(int value) {
  benchmark::DoNotOptimize(value);
  return value > 0;
}

void BM_UntracedCall(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(untracedCall(1));
}
BENCHMARK(BM_UntracedCall);

void BM_TracedCallTracingOff(benchmark::State& state) {
  g_ulDynamicLogging = ORV_DYNAMIC_LOGGING_OFF;
  for (auto _ : state) benchmark::DoNotOptimize(tracedCall(1));
}
BENCHMARK(BM_TracedCallTracingOff);

void BM_TracedCallLoggingOff(benchmark::State& state) {
  scratchFolder();
  setLogsDword(ORV_W("Logging"), 0);
  g_ulDynamicLogging = ORV_DYNAMIC_LOGGING_ON;
  for (auto _ : state) benchmark::DoNotOptimize(tracedCall(1));
  g_ulDynamicLogging = ORV_DYNAMIC_LOGGING_OFF;
}
BENCHMARK(BM_TracedCallLoggingOff);

// The settings of a written exception record: "Logging" 1, the default
// detail, the text log.
void enableLogging() {
  scratchFolder();
  std::filesystem::remove(logFile());
  setLogsDword(ORV_W("Logging"), 1);
  setLogsString(ORV_W("TextOutput"), wide(logFile().string()));
}

void BM_WriteRecord(benchmark::State& state) {
  enableLogging();
  CORVDetailedLog record(ORV_LOG_EXCEPTION_BAD, ORV_W("Unable to allocate memory ( m_pBuffer )"), 5,
                         ORV_RESULT_ERROR_CODE, ORV_W("CORVBuffer"), ORV_W("alloc"), ORV_SOURCE_FILE, __LINE__, false,
                         false, ORV_OUTPUT_TEXT);
  for (auto _ : state) benchmark::DoNotOptimize(record.log());
}
BENCHMARK(BM_WriteRecord);

void BM_RaiseAndWriteException(benchmark::State& state) {
  enableLogging();
  for (auto _ : state) {
    CORVMemAllocException raised(ORV_W("m_pBuffer"), ORV_SOURCE_FILE, __LINE__, 1, true, false);
    benchmark::DoNotOptimize(raised.isLogged());
  }
}
BENCHMARK(BM_RaiseAndWriteException);

// A line as long as the written record's, appended the way the text log
// appends it, through the platform's file calls.
const WString& sampleLine() {
  static const WString line = wide(
      "<Tue Dec 08 00:01:03 2026>: <EXCEPTION_BAD> <orv_logging_bench> <CORVBuffer::alloc> \"Unable to "
      "allocate memory ( m_pBuffer )\" <Error: 0x00000005> <orv_logging_bench.cpp, 99> \r\n");
  return line;
}

void BM_BareOpenAppendClose(benchmark::State& state) {
  enableLogging();
  const WString path = wide(logFile().string());
  const WString& line = sampleLine();
  for (auto _ : state) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(WCHAR)), &written, nullptr);
    CloseHandle(file);
  }
}
BENCHMARK(BM_BareOpenAppendClose);

void BM_BarePosixOpenAppendClose(benchmark::State& state) {
  enableLogging();
  const std::string path = logFile().string();
  const WString& line = sampleLine();
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    benchmark::DoNotOptimize(::write(fd, line.data(), line.size() * sizeof(WCHAR)));
    ::close(fd);
  }
}
BENCHMARK(BM_BarePosixOpenAppendClose);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(scratchFolder(), ignored);
  return 0;
}
