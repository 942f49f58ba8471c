#include "registry_handles.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace orv_posix {
namespace {

enum class HiveKind { kMachine, kUser };

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string absolute(const std::string& folder) {
  if (!folder.empty() && folder[0] == '/') return folder;
  char here[4096];
  return getcwd(here, sizeof(here)) != nullptr ? std::string(here) + "/" + folder : folder;
}

std::string homeFolder() {
  const std::string home = environment("HOME");
  if (!home.empty()) return home;
  const passwd* entry = getpwuid(getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? std::string(entry->pw_dir) : std::string("/");
}

// Read on every call, so that a process (a test) can point the registry
// elsewhere by changing ORV_REGISTRY_DIR.
std::string hivePath(HiveKind kind) {
  const std::string folder = environment("ORV_REGISTRY_DIR");
  const char* file = kind == HiveKind::kMachine ? "/machine.db" : "/user.db";
  if (!folder.empty()) return absolute(folder) + file;
  if (kind == HiveKind::kMachine) return std::string("/var/lib/orv/registry") + file;
  std::string config = environment("XDG_CONFIG_HOME");
  if (config.empty() || config[0] != '/') config = homeFolder() + "/.config";
  return config + "/orv/registry" + file;
}

struct HandleTable {
  std::mutex lock;
  std::unordered_map<uintptr_t, RegistryKeyHandle> handles;
  uintptr_t next = 0x10000000;  // apart from the kernel handles, and never reused
  std::unordered_map<std::string, std::unique_ptr<RegistryHive>> hives;
};

HandleTable& table() {
  static HandleTable* instance = new HandleTable();  // outlives static destructors
  return *instance;
}

// Machine settings are shared: readable by all, written by the hive's owner.
RegistryHive* hive(HiveKind kind) {
  const std::string path = hivePath(kind);
  HandleTable& handles = table();
  std::lock_guard<std::mutex> guard(handles.lock);
  std::unique_ptr<RegistryHive>& slot = handles.hives[path];
  if (!slot) {
    slot = kind == HiveKind::kMachine ? std::make_unique<RegistryHive>(path, 0644, 0755)
                                      : std::make_unique<RegistryHive>(path, 0600, 0700);
  }
  return slot.get();
}

bool predefinedRoot(HKEY handle, RegistryKeyHandle* found) {
  HiveKind kind = HiveKind::kMachine;
  RegistryKeyId root = 0;
  if (handle == HKEY_LOCAL_MACHINE) {
    root = kLocalMachineRoot;
  } else if (handle == HKEY_CLASSES_ROOT) {
    root = kClassesRoot;
  } else if (handle == HKEY_USERS) {
    root = kUsersRoot;
  } else if (handle == HKEY_CURRENT_CONFIG) {
    root = kCurrentConfigRoot;
  } else if (handle == HKEY_CURRENT_USER) {
    kind = HiveKind::kUser;
    root = kCurrentUserRoot;
  } else {
    return false;
  }
  found->hive = hive(kind);
  found->key = root;
  found->access = KEY_ALL_ACCESS;
  found->predefined = true;
  found->classesRoot = handle == HKEY_CLASSES_ROOT;
  return true;
}

}  // namespace

bool lookUpRegistryHandle(HKEY handle, RegistryKeyHandle* found) {
  if (predefinedRoot(handle, found)) return true;
  HandleTable& handles = table();
  std::lock_guard<std::mutex> guard(handles.lock);
  auto entry = handles.handles.find(reinterpret_cast<uintptr_t>(handle));
  if (entry == handles.handles.end()) return false;
  *found = entry->second;
  return true;
}

HKEY addRegistryHandle(const RegistryKeyHandle& handle) {
  HandleTable& handles = table();
  std::lock_guard<std::mutex> guard(handles.lock);
  const uintptr_t value = handles.next;
  handles.next += 4;
  handles.handles.emplace(value, handle);
  return reinterpret_cast<HKEY>(value);
}

void updateRegistryCursors(HKEY handle, const RegistryKeyHandle& cursors) {
  HandleTable& handles = table();
  std::lock_guard<std::mutex> guard(handles.lock);
  auto entry = handles.handles.find(reinterpret_cast<uintptr_t>(handle));
  if (entry == handles.handles.end()) return;
  entry->second.subKeys = cursors.subKeys;
  entry->second.values = cursors.values;
}

bool removeRegistryHandle(HKEY handle) {
  HandleTable& handles = table();
  std::lock_guard<std::mutex> guard(handles.lock);
  return handles.handles.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
}

}  // namespace orv_posix
