// Kernel handles on POSIX: every HANDLE names an object in one process-wide
// table, so that a closed or never-opened handle is rejected, as on Windows.
#pragma once

#include <memory>

#include "orv_win32.h"

namespace orv_posix {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // WaitForSingleObject's answer: WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
  virtual DWORD wait(DWORD milliseconds);
};

HANDLE registerHandle(std::shared_ptr<KernelObject> object);
// The object behind an open handle, or null (last error ERROR_INVALID_HANDLE).
std::shared_ptr<KernelObject> lookupHandle(HANDLE handle);

template <typename T>
std::shared_ptr<T> lookupHandleAs(HANDLE handle) {
  std::shared_ptr<T> object = std::dynamic_pointer_cast<T>(lookupHandle(handle));
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

}  // namespace orv_posix
