// The one-time set-up of a process's signature checks, run ahead of the
// first check.
#pragma once

#include <thread>

#include "orv_api.h"

namespace orv_platform {

// Starts, on a thread of its own, what the first signature check of the
// process would otherwise do on its caller's path (Linux: reading the crypto
// library's configuration and building its algorithm tables), so that it
// overlaps the caller's other start-up work. A check made meanwhile waits
// only for what it needs. Nothing to do on Windows. The destructor waits for
// the thread: the process must not end while it runs.
class ORV_API SignatureCheckWarmUp {
 public:
  SignatureCheckWarmUp();
  ~SignatureCheckWarmUp();
  SignatureCheckWarmUp(const SignatureCheckWarmUp&) = delete;
  SignatureCheckWarmUp& operator=(const SignatureCheckWarmUp&) = delete;

 private:
  std::thread thread_;
};

}  // namespace orv_platform
