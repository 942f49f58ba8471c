// HKEY handles: a table of their own, and the predefined roots, which name a
// hive and its root key and are never opened or closed.
#pragma once

#include "orv_win32.h"
#include "registry_hive.h"

namespace orv_posix {

struct RegistryKeyHandle : RegistryKeyRef {
  RegistryHive* hive = nullptr;
  REGSAM access = 0;
  bool predefined = false;
  bool classesRoot = false;
  RegistryEnumCursor subKeys;
  RegistryEnumCursor values;
};

// The key behind a handle; false for one that is not open.
bool lookUpRegistryHandle(HKEY handle, RegistryKeyHandle* found);
HKEY addRegistryHandle(const RegistryKeyHandle& handle);
// Stores where the handle's enumerations stopped (a predefined root has no
// cursors: it is shared by every thread).
void updateRegistryCursors(HKEY handle, const RegistryKeyHandle& cursors);
// False for a handle that is not open.
bool removeRegistryHandle(HKEY handle);

}  // namespace orv_posix
