#include "kernel_object.h"

#include <cstdint>
#include <map>
#include <mutex>

namespace orv_posix {
namespace {

struct HandleTable {
  std::mutex lock;
  std::map<uintptr_t, std::shared_ptr<KernelObject>> objects;
  uintptr_t next = 0x100;  // handle values are multiples of 4, as on Windows
};

HandleTable& table() {
  static HandleTable* instance = new HandleTable();  // outlives static destructors
  return *instance;
}

}  // namespace

DWORD KernelObject::wait(DWORD) {
  SetLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}

HANDLE registerHandle(std::shared_ptr<KernelObject> object) {
  HandleTable& handles = table();
  std::lock_guard<std::mutex> guard(handles.lock);
  const uintptr_t value = handles.next;
  handles.next += 4;
  handles.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> lookupHandle(HANDLE handle) {
  HandleTable& handles = table();
  std::lock_guard<std::mutex> guard(handles.lock);
  auto found = handles.objects.find(reinterpret_cast<uintptr_t>(handle));
  if (found == handles.objects.end()) return nullptr;
  return found->second;
}

}  // namespace orv_posix

BOOL CloseHandle(HANDLE hObject) {
  std::shared_ptr<orv_posix::KernelObject> released;
  {
    orv_posix::HandleTable& handles = orv_posix::table();
    std::lock_guard<std::mutex> guard(handles.lock);
    auto found = handles.objects.find(reinterpret_cast<uintptr_t>(hObject));
    if (found == handles.objects.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    released = std::move(found->second);
    handles.objects.erase(found);
  }
  return TRUE;  // the object goes when its last user lets go of it
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  std::shared_ptr<orv_posix::KernelObject> object = orv_posix::lookupHandle(hHandle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return object->wait(dwMilliseconds);
}
