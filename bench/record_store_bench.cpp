// The reference interface module's store as the host calls it: one load and
// one create (replacing a record, each a committed, synced transaction)
// with 10 and with 100,000 records stored. The store is filled through the
// import of an earlier JSON store, one transaction, so that filling it does
// not take 100,000 synced creates.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "orv_dbllist.h"
#include "orv_wchar_string.h"
#include "orvpwm_interface.h"

namespace {

std::basic_string<WCHAR> widen(const std::string& ascii) {
  return std::basic_string<WCHAR>(ascii.begin(), ascii.end());
}
CORVWCharString wide(const std::string& ascii) { return CORVWCharString(widen(ascii).c_str()); }

std::string origin(long index) { return "https://site" + std::to_string(index) + ".example"; }

// The module and one store folder per record count, made once.
class Stores {
 public:
  Stores() {
    char folder[] = "/tmp/orv-record-store-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) std::exit(1);
    folder_ = folder;
    module_ = LoadLibraryExW(widen(ORV_BENCH_BIN_DIR "/orvpwm_interface.dll").c_str(), nullptr,
                             LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module_ == nullptr) std::exit(1);
    load_ = reinterpret_cast<ORVPWM_LOAD_RECORD_FN>(
        reinterpret_cast<void (*)()>(GetProcAddress(module_, ORVPWM_LOAD_RECORD_EXPORT)));
    create_ = reinterpret_cast<ORVPWM_CREATE_RECORD_FN>(
        reinterpret_cast<void (*)()>(GetProcAddress(module_, ORVPWM_CREATE_RECORD_EXPORT)));
    if (load_ == nullptr || create_ == nullptr) std::exit(1);
  }
  ~Stores() { std::filesystem::remove_all(folder_); }

  // Points the module at a store of `count` records.
  void use(long count) {
    const std::string store = folder_ + "/" + std::to_string(count);
    SetEnvironmentVariableW(ORV_W("ORVPWM_RECORDS_DIR"), widen(store).c_str());
    if (made_[count]) return;
    std::filesystem::create_directories(store);
    {
      std::ofstream json(store + "/records.json", std::ios::binary);
      json << "{\"records\": {";
      for (long i = 0; i < count; ++i)
        json << (i == 0 ? "" : ",") << "\"" << origin(i) << "\": {\"title\": \"Sign in\", \"pwFields\": "
             << "[\"password\"], \"pwValues\": [\"secret " << i << "\"], \"textFields\": [\"user\"], "
             << "\"textValues\": [\"user" << i << "@example.com\"]}";
      json << "}}";
    }
    if (!load(0)) std::exit(1);  // imports
    made_[count] = true;
  }

  bool load(long index) {
    CORVWCharString url = wide(origin(index) + "/login"), title = wide("Sign in"), record;
    CORVWCharStringList pwFields, pwValues, textFields, textValues;
    BYTE flags = 0, autoSubmit = 0;
    return load_(nullptr, nullptr, &url, &title, &flags, &autoSubmit, &record, &pwFields, &pwValues, &textFields,
                 &textValues) &&
           pwFields.getCount() == 1;
  }

  bool create(long index, long serial) {
    CORVWCharString url = wide(origin(index) + "/login"), title = wide("Sign in");
    CORVWCharStringList pwFields, pwValues, textFields, textValues;
    pwFields.addTail(wide("password"));
    pwValues.addTail(wide("changed " + std::to_string(serial)));
    textFields.addTail(wide("user"));
    textValues.addTail(wide("user" + std::to_string(index) + "@example.com"));
    return create_(nullptr, &url, &title, &pwFields, &pwValues, &textFields, &textValues);
  }

 private:
  std::string folder_;
  std::map<long, bool> made_;
  HMODULE module_ = nullptr;
  ORVPWM_LOAD_RECORD_FN load_ = nullptr;
  ORVPWM_CREATE_RECORD_FN create_ = nullptr;
};

Stores& stores() {
  static Stores instance;
  return instance;
}

void BM_Load(benchmark::State& state) {
  const long count = state.range(0);
  stores().use(count);
  long index = 0;
  for (auto _ : state) {
    if (!stores().load(index)) state.SkipWithError("a stored record was not found");
    index = (index + 7919) % count;
  }
}

void BM_Create(benchmark::State& state) {
  const long count = state.range(0);
  stores().use(count);
  static long serial = 0;  // every create changes the record: an unchanged row writes nothing
  long index = 0;
  for (auto _ : state) {
    if (!stores().create(index, ++serial)) state.SkipWithError("a create failed");
    index = (index + 7919) % count;
  }
}

}  // namespace

BENCHMARK(BM_Load)->Arg(10)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Create)->Arg(10)->Arg(100000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
