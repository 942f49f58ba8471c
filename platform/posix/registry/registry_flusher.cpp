#include "registry_flusher.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

#include "core/posix_io.h"
#include "registry_sqlite.h"

namespace orv_posix {
namespace {

// Only the log is opened and closed here, never the hive itself: closing a
// descriptor of the hive would drop the locks SQLite holds on it.
LONG syncLog(const std::string& path) {
  const FileDescriptor log(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!log.valid()) return errno == ENOENT ? ERROR_SUCCESS : registryStatusOfErrno(errno);
  return fdatasync(log.get()) == 0 ? ERROR_SUCCESS : registryStatusOfErrno(errno);
}

}  // namespace

RegistryFlusher& RegistryFlusher::instance() {
  // Lives as long as the process, so the thread and the exit handler never
  // meet a destroyed object.
  static RegistryFlusher* const flusher = [] {
    auto* made = new RegistryFlusher();
    pthread_atfork([] { instance().forkPrepare(); }, [] { instance().forkParent(); }, [] { instance().forkChild(); });
    std::atexit([] { instance().flushAll(); });
    return made;
  }();
  return *flusher;
}

void RegistryFlusher::schedule(const std::string& walPath) {
  std::lock_guard<std::mutex> guard(lock_);
  due_.emplace(walPath, std::chrono::steady_clock::now() + std::chrono::seconds(kRegistryLazyFlushSeconds));
  if (!running_) {
    running_ = true;
    std::thread([this] { run(); }).detach();
  }
  wake_.notify_one();
}

LONG RegistryFlusher::flushNow(const std::string& walPath) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    due_.erase(walPath);
  }
  return syncLog(walPath);
}

void RegistryFlusher::flushAll() {
  std::map<std::string, std::chrono::steady_clock::time_point> pending;
  {
    std::lock_guard<std::mutex> guard(lock_);
    pending.swap(due_);
  }
  for (const auto& entry : pending) syncLog(entry.first);
}

void RegistryFlusher::run() {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    if (due_.empty()) {
      wake_.wait(guard);
      continue;
    }
    auto earliest = due_.begin();
    for (auto entry = due_.begin(); entry != due_.end(); ++entry) {
      if (entry->second < earliest->second) earliest = entry;
    }
    if (std::chrono::steady_clock::now() < earliest->second) {
      // A copy: the wait reads its deadline again after waking, when flushAll
      // at exit may have freed the entry.
      const std::chrono::steady_clock::time_point deadline = earliest->second;
      wake_.wait_until(guard, deadline);
      continue;
    }
    const std::string path = earliest->first;
    due_.erase(earliest);
    guard.unlock();
    syncLog(path);
    guard.lock();
  }
}

// A fork never copies the lock held: the child starts its own thread when it
// writes.
void RegistryFlusher::forkPrepare() { lock_.lock(); }
void RegistryFlusher::forkParent() { lock_.unlock(); }
void RegistryFlusher::forkChild() {
  running_ = false;
  new (&wake_) std::condition_variable();  // the parent's waiting thread does not exist here
  lock_.unlock();
}

}  // namespace orv_posix
