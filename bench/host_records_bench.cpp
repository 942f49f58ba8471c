// Whole-process timings of the record path: the host started for one
// "LOAD_BROWSER_RECORD" until it has answered and exited, and until the
// answer alone (a browser starts a host per sendNativeMessage), and loads
// through one running host, each against the framing echo host. The host runs with the reference interface
// module (a stored record), the signed reference policy module and the
// stand-in, on a throw-away registry.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "orv_platform/child_process.h"

namespace {

// ORV_BENCH_BIN_DIR in the environment points at another build's programs
// (a copy kept from before a change, to compare side by side).
const std::string kBin =
    std::getenv("ORV_BENCH_BIN_DIR") != nullptr ? std::getenv("ORV_BENCH_BIN_DIR") : ORV_BENCH_BIN_DIR;
const std::string kLoad =
    R"({"COMMAND":"LOAD_BROWSER_RECORD","SITE_URL":"https://login.example.com/","SITE_TITLE":"Sign in"})";
const std::string kCreate =
    R"({"COMMAND":"CREATE_BROWSER_RECORD","SITE_URL":"https://login.example.com/","SITE_TITLE":"Sign in",)"
    R"("PW_FIELDS":["password"],"PW_VALUES":["correct horse"],"TEXT_FIELDS":["email"],"TEXT_VALUES":["a@b.c"]})";

std::string framed(const std::string& body) {
  const uint32_t length = static_cast<uint32_t>(body.size());
  return std::string(reinterpret_cast<const char*>(&length), 4) + body;
}

// The registry, the signed policy module and the stand-in come from
// scripts/throwaway-install (as for the demo and the browser test); the
// store gets one record. For the whole program.
class Installation {
 public:
  Installation() {
    char folder[] = "/tmp/orv-records-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) std::exit(1);
    folder_ = folder;
    setenv("ORV_REGISTRY_DIR", (folder_ + "/registry").c_str(), 1);
    setenv("ORVPWM_RECORDS_DIR", (folder_ + "/records").c_str(), 1);
    const std::string command = ORV_BENCH_SOURCE_DIR "/scripts/throwaway-install " + kBin + " " + folder_;
    FILE* output = popen(command.c_str(), "r");
    char line[4096];
    while (output != nullptr && std::fgets(line, sizeof(line), output) != nullptr) {
      if (std::strncmp(line, "ORV_STANDIN_PID=", 16) == 0) standInPid_ = std::atoi(line + 16);
    }
    if (output == nullptr || pclose(output) != 0 || standInPid_ <= 0) {
      std::fprintf(stderr, "failed: %s\n", command.c_str());
      std::exit(1);
    }
    Host host("pwm_chrome_extension_host");
    host.send(kCreate);
  }
  ~Installation() {
    kill(standInPid_, SIGTERM);
    std::filesystem::remove_all(folder_);
  }

  class Host {
   public:
    explicit Host(const std::string& name) {
      std::string error;
      child_ = orv_platform::ChildProcess::start(kBin + "/" + name, {}, error);
      if (!child_) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
      }
    }
    ~Host() {
      child_->closeInput();
      child_->wait(10000);
    }
    void send(const std::string& body) {
      const std::string frame = framed(body);
      child_->write(frame.data(), frame.size());
    }
    // One reply's body; empty when none came.
    std::string reply() {
      uint32_t length = 0;
      if (!readExactly(&length, 4)) return std::string();
      std::string body(length, '\0');
      return readExactly(body.data(), length) ? body : std::string();
    }
    void finish() {
      child_->closeInput();
      child_->wait(10000);
    }

   private:
    bool readExactly(void* into, size_t size) {
      size_t done = 0;
      while (done < size) {
        size_t got = 0;
        if (child_->read(static_cast<char*>(into) + done, size - done, 10000, got) != orv_platform::ReadStatus::Data)
          return false;
        done += got;
      }
      return true;
    }
    std::unique_ptr<orv_platform::ChildProcess> child_;
  };

 private:
  std::string folder_;
  pid_t standInPid_ = 0;
};

Installation& installation() {
  static Installation instance;
  return instance;
}

// 0 the host, 1 the echo host, 2 the echo host after the host's unavoidable
// start-up (its libraries and OpenSSL's set-up).
const char* programOf(int which) {
  static const char* const kPrograms[] = {"pwm_chrome_extension_host", "orv_echo_host", "orv_floor_echo_host"};
  return kPrograms[which];
}

// Start, one load answered, end of input, exit; the exit timed or not.
void startAndLoad(benchmark::State& state, bool exitTimed) {
  installation();
  const char* program = programOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    Installation::Host host(program);
    host.send(kLoad);
    if (host.reply().empty()) state.SkipWithError("no reply");
    if (!exitTimed) state.PauseTiming();
    host.finish();
    if (!exitTimed) state.ResumeTiming();
  }
  state.SetLabel(program);
}

void BM_StartLoadExit(benchmark::State& state) { startAndLoad(state, true); }
BENCHMARK(BM_StartLoadExit)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);

// Start until the answer to one load has arrived: what the browser waits
// for before it fills the page.
void BM_StartUntilReply(benchmark::State& state) { startAndLoad(state, false); }
BENCHMARK(BM_StartUntilReply)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);

// Loads one after another through one running host.
void BM_LoadRoundTrip(benchmark::State& state) {
  installation();
  Installation::Host host(programOf(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    host.send(kLoad);
    if (host.reply().empty()) {
      state.SkipWithError("no reply");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(programOf(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_LoadRoundTrip)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(10000);

}  // namespace

BENCHMARK_MAIN();
