// What a traced method pays with tracing off, against the same method
// without a trace scope.
#include <benchmark/benchmark.h>

#include "orv_log_globals.h"
#include "orv_trace_scope.h"

namespace {

__attribute__((noinline)) bool untracedCall(int value) {
  benchmark::DoNotOptimize(value);
  return value > 0;
}

__attribute__((noinline)) bool tracedCall(int value) {
  ORV_TRACE("CORVBench", "tracedCall");
  benchmark::DoNotOptimize(value);
  const bool result = value > 0;
  ORV_TRACE_RESULT(result);
  return result;
}

void BM_UntracedCall(benchmark::State& state) {
  int value = 1;
  for (auto _ : state) benchmark::DoNotOptimize(untracedCall(value));
}
BENCHMARK(BM_UntracedCall);

void BM_TracedCallTracingOff(benchmark::State& state) {
  g_ulDynamicLogging = ORV_DYNAMIC_LOGGING_OFF;
  int value = 1;
  for (auto _ : state) benchmark::DoNotOptimize(tracedCall(value));
}
BENCHMARK(BM_TracedCallTracingOff);

}  // namespace

BENCHMARK_MAIN();
