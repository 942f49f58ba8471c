// The registry's lazy flush, as Windows has one: a commit lands in a hive's
// write-ahead log without a sync of its own, and a thread syncs the log at
// most kRegistryLazyFlushSeconds later (and at exit), so that a burst of
// writes costs one sync, not one per value.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>

#include "orv_win32.h"

namespace orv_posix {

constexpr int kRegistryLazyFlushSeconds = 2;

class RegistryFlusher {
 public:
  static RegistryFlusher& instance();

  // The log at `walPath` holds commits not yet synced.
  void schedule(const std::string& walPath);
  // Syncs the log now; ERROR_SUCCESS also when there is none.
  LONG flushNow(const std::string& walPath);
  // Syncs every log with pending commits (the exit handler).
  void flushAll();

 private:
  RegistryFlusher() = default;
  void run();
  void forkPrepare();
  void forkParent();
  void forkChild();

  std::mutex lock_;
  std::condition_variable wake_;
  std::map<std::string, std::chrono::steady_clock::time_point> due_;
  bool running_ = false;
};

}  // namespace orv_posix
