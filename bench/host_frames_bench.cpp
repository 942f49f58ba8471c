// Whole-process cost of hostile frames: the host started with one frame of
// a worst shape and then a zero-length frame on standard input, timed from
// its start until it has taken the next frame (the zero length ends it) and
// exited; "reset_only" is the same for a harmless frame, the start-up and
// shut-down cost. "peak_MiB" is the child's peak resident memory.
//
// The input is a file, written once per shape without holding the frame in
// memory: the kernel's accounting gives a child the peak of the process it
// was started from, so this process stays small.
//
// ORV_BENCH_HOST names the host to measure (default: the one built beside
// this program); ORV_BENCH_BASELINE_HOST, when set, measures a second build
// side by side in the same run.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "launched_program.h"

namespace {

constexpr size_t kMiB = 1024 * 1024;

void writeLength(std::FILE* file, uint32_t length) { std::fwrite(&length, sizeof(length), 1, file); }

// An array of `element` repeated to exactly `size` bytes (spaces pad the end).
void writeArrayOf(std::FILE* file, const std::string& element, size_t size) {
  const size_t count = (size - 1) / (element.size() + 1);  // "[" + count elements, each with its "," or "]"
  std::fputc('[', file);
  for (size_t i = 0; i < count; ++i) {
    if (i != 0) std::fputc(',', file);
    std::fwrite(element.data(), 1, element.size(), file);
  }
  for (size_t written = 1 + count * (element.size() + 1); written < size; ++written) std::fputc(' ', file);
  std::fputc(']', file);
}

void writeNesting(std::FILE* file, size_t size) {
  for (size_t i = 0; i < size / 2; ++i) std::fputc('[', file);
  for (size_t i = size / 2; i < size; ++i) std::fputc(']', file);
}

struct Shape {
  const char* name;
  void (*write)(std::FILE* file, size_t size);
  size_t size;
};

const char kReset[] = R"({"COMMAND":"RESET"})";

const Shape kShapes[] = {
    {"empty_arrays_1MiB", [](std::FILE* file, size_t size) { writeArrayOf(file, "[]", size); }, kMiB},
    {"numbers_1MiB", [](std::FILE* file, size_t size) { writeArrayOf(file, "0", size); }, kMiB},
    {"short_strings_1MiB", [](std::FILE* file, size_t size) { writeArrayOf(file, "\"a\"", size); }, kMiB},
    {"deep_nesting_1MiB", writeNesting, kMiB},
    {"empty_arrays_60MB", [](std::FILE* file, size_t size) { writeArrayOf(file, "[]", size); }, 60000000},
    {"numbers_60MB", [](std::FILE* file, size_t size) { writeArrayOf(file, "0", size); }, 60000000},
    {"short_strings_60MB", [](std::FILE* file, size_t size) { writeArrayOf(file, "\"a\"", size); }, 60000000},
    {"reset_only", [](std::FILE* file, size_t) { std::fputs(kReset, file); }, sizeof(kReset) - 1},
};

// The input of one run: the shape's frame, then a zero length.
std::string inputFile(const Shape& shape) {
  const std::string path = "/tmp/orv-frames-bench-" + std::to_string(getpid()) + "-" + shape.name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return std::string();
  writeLength(file, static_cast<uint32_t>(shape.size));
  shape.write(file, shape.size);
  writeLength(file, 0);
  return std::fclose(file) == 0 ? path : std::string();
}

void BM_HostWithFrame(benchmark::State& state, std::string host, const Shape* shape) {
  const std::string input = inputFile(*shape);
  if (input.empty()) return state.SkipWithError("cannot write the input");
  double peakMiB = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::optional<orv_test::LaunchedProgram> program;
    try {
      program.emplace(std::vector<std::string>{host},
                      orv_test::LaunchOptions{orv_test::LaunchOptions::Streams::kNull, input});
    } catch (const std::runtime_error&) {
      return state.SkipWithError("cannot start the host");
    }
    rusage usage{};
    const int exitCode = program->waitForExit(&usage);
    const auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // KiB on Linux
    if (exitCode != 0) return state.SkipWithError("the host failed");
  }
  std::remove(input.c_str());
  state.counters["peak_MiB"] = peakMiB;
  state.counters["frame_MB"] = static_cast<double>(shape->size) / 1e6;
}

void registerFor(const std::string& label, const std::string& host) {
  for (const Shape& shape : kShapes) {
    benchmark::RegisterBenchmark((label + "/" + shape.name).c_str(), BM_HostWithFrame, host, &shape)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* host = std::getenv("ORV_BENCH_HOST");
  registerFor("host", host != nullptr ? host : ORV_BENCH_BIN_DIR "/pwm_chrome_extension_host");
  if (const char* baseline = std::getenv("ORV_BENCH_BASELINE_HOST")) registerFor("baseline", baseline);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
