#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "kernel_object.h"

namespace {

// A running thread and its end state. The std::thread is detached so that
// closing the handle before the thread ends does not end the process, as
// closing a thread handle on Windows does not stop the thread.
class ThreadObject : public orv_posix::KernelObject {
 public:
  DWORD wait(DWORD milliseconds) override {
    std::unique_lock<std::mutex> guard(lock_);
    auto finished = [this] { return finished_; };
    if (milliseconds == INFINITE) {
      ended_.wait(guard, finished);
      return WAIT_OBJECT_0;
    }
    return ended_.wait_for(guard, std::chrono::milliseconds(milliseconds), finished) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
  }

  void finish(DWORD exitCode) {
    std::lock_guard<std::mutex> guard(lock_);
    exitCode_ = exitCode;
    finished_ = true;
    ended_.notify_all();
  }

  bool exitCode(DWORD* code) {
    std::lock_guard<std::mutex> guard(lock_);
    *code = finished_ ? exitCode_ : kStillActive;
    return true;
  }

  static constexpr DWORD kStillActive = 259;

 private:
  std::mutex lock_;
  std::condition_variable ended_;
  bool finished_ = false;
  DWORD exitCode_ = 0;
};

}  // namespace

uintptr_t _beginthreadex(void*, unsigned, unsigned(__stdcall* start_address)(void*), void* arglist, unsigned,
                         unsigned* thrdaddr) {
  if (start_address == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto state = std::make_shared<ThreadObject>();
  HANDLE handle = orv_posix::registerHandle(state);
  try {
    std::thread worker([state, start_address, arglist] { state->finish(start_address(arglist)); });
    if (thrdaddr != nullptr) *thrdaddr = static_cast<unsigned>(std::hash<std::thread::id>()(worker.get_id()));
    worker.detach();
  } catch (...) {
    CloseHandle(handle);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  return reinterpret_cast<uintptr_t>(handle);
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  auto thread = orv_posix::lookupHandleAs<ThreadObject>(hThread);
  if (!thread || lpExitCode == nullptr) {
    if (thread) SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return thread->exitCode(lpExitCode) ? TRUE : FALSE;
}

void Sleep(DWORD dwMilliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds)); }
