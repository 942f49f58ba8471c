// split and find on a 4 KiB string (2048 UTF-16 code units).
#include <benchmark/benchmark.h>

#include <string>

#include "orv_wchar_string.h"

namespace {

constexpr size_t kUnits = 2048;

CORVWCharString fromUnits(const std::basic_string<WCHAR>& units) { return CORVWCharString(units.c_str()); }

// Fields of a registry-export-like line: "name_NNN = value," repeated.
CORVWCharString csvText() {
  std::basic_string<WCHAR> units;
  for (int i = 0; units.size() < kUnits; ++i) {
    const std::string field = " name_" + std::to_string(i % 1000) + " = v ,";
    units.append(field.begin(), field.end());
  }
  units.resize(kUnits - 6);
  const std::string end = "needle";
  units.append(end.begin(), end.end());
  return fromUnits(units);
}

void runFind(benchmark::State& state, const CORVWCharString& text, const CORVWCharString& pattern, ULONG ulOccurrance,
             ULONG direction) {
  ULONG pos = 0;
  for (auto _ : state) benchmark::DoNotOptimize(text.find(pattern, ulOccurrance, direction, pos));
  state.SetBytesProcessed(state.iterations() * kUnits * sizeof(WCHAR));
}

void BM_FindNearTheEnd(benchmark::State& state) {
  runFind(state, csvText(), CORVWCharString(ORV_W("needle")), 1, CORVWCharString::fromStart);
}
BENCHMARK(BM_FindNearTheEnd);

void BM_FindOccurrence200FromTheEnd(benchmark::State& state) {
  runFind(state, csvText(), CORVWCharString(ORV_W(",")), 200, CORVWCharString::fromEnd);
}
BENCHMARK(BM_FindOccurrence200FromTheEnd);

// A text and pattern that make a naive search compare 64 units at every place.
void BM_FindWorstCase(benchmark::State& state) {
  runFind(state, fromUnits(std::basic_string<WCHAR>(kUnits, ORV_W('a'))),
          fromUnits(std::basic_string<WCHAR>(63, ORV_W('a')) + ORV_W('b')), 1, CORVWCharString::fromStart);
}
BENCHMARK(BM_FindWorstCase);

void BM_CountOf(benchmark::State& state) {
  const CORVWCharString text = csvText();
  const CORVWCharString pattern(ORV_W("e_1"));
  for (auto _ : state) benchmark::DoNotOptimize(text.countOf(pattern));
  state.SetBytesProcessed(state.iterations() * kUnits * sizeof(WCHAR));
}
BENCHMARK(BM_CountOf);

void BM_Split(benchmark::State& state) {
  const CORVWCharString text = csvText();
  const CORVWCharString comma(ORV_W(","));
  const ULONG sides = static_cast<ULONG>(state.range(0));
  CORVWCharStringList list;
  for (auto _ : state) benchmark::DoNotOptimize(text.split(list, comma, 1, sides, CORVWCharString::wsAll));
  state.counters["fields"] = static_cast<double>(list.getCount());
}
BENCHMARK(BM_Split)->Arg(0)->Arg(CORVWCharString::sideBoth);

}  // namespace

BENCHMARK_MAIN();
