// advapi32's registry calls over the hives of registry_hive.h, with the
// results Windows gives.
#include <cstring>
#include <string>

#include "orv_platform/text_encoding.h"
#include "orv_win32.h"
#include "registry_handles.h"

using orv_posix::lookUpRegistryHandle;
using orv_posix::RegistryKeyHandle;
using orv_posix::RegistryKeyId;
using orv_posix::RegistryPath;
using orv_posix::RegistryValue;

namespace {

constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;
constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

std::u16string_view nameOf(LPCWSTR name) { return name == nullptr ? std::u16string_view() : std::u16string_view(name); }

// Backslash-separated; empty components are skipped, as Windows does, but a
// leading backslash is a bad path except below HKEY_CLASSES_ROOT.
LONG parsePath(LPCWSTR subKey, bool leadingSeparatorAllowed, RegistryPath* path) {
  const std::u16string_view text = nameOf(subKey);
  if (!text.empty() && text[0] == u'\\' && !leadingSeparatorAllowed) return ERROR_BAD_PATHNAME;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u'\\', start);
    if (end == std::u16string_view::npos) end = text.size();
    if (end > start) {
      if (end - start > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
      path->push_back(text.substr(start, end - start));
    }
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

// Generic rights map to the key rights; the registry views are one view here.
REGSAM keyRights(REGSAM samDesired) {
  REGSAM rights = samDesired & ~static_cast<REGSAM>(KEY_WOW64_RES);
  if ((rights & GENERIC_READ) != 0) rights |= KEY_READ;
  if ((rights & GENERIC_WRITE) != 0) rights |= KEY_WRITE;
  if ((rights & GENERIC_EXECUTE) != 0) rights |= KEY_EXECUTE;
  if ((rights & (GENERIC_ALL | MAXIMUM_ALLOWED)) != 0) rights |= KEY_ALL_ACCESS;
  return rights;
}

// As Windows checks a key's security at open time: write rights on a hive
// this process may not write are refused, except that MAXIMUM_ALLOWED gets
// what there is.
LONG grantRights(orv_posix::RegistryHive* hive, REGSAM samDesired, REGSAM* granted) {
  *granted = keyRights(samDesired);
  if ((*granted & kWriteRights) == 0) return ERROR_SUCCESS;
  if (hive->checkWritable() == ERROR_SUCCESS) return ERROR_SUCCESS;
  if ((samDesired & MAXIMUM_ALLOWED) == 0) return ERROR_ACCESS_DENIED;
  *granted &= ~kWriteRights;
  return ERROR_SUCCESS;
}

LONG useHandle(HKEY hKey, RegistryKeyHandle* handle) {
  return lookUpRegistryHandle(hKey, handle) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG handleWithRight(HKEY hKey, REGSAM right, RegistryKeyHandle* handle) {
  if (!lookUpRegistryHandle(hKey, handle)) return ERROR_INVALID_HANDLE;
  if ((handle->access & right) == 0) return ERROR_ACCESS_DENIED;
  return useHandle(hKey, handle);
}

// The copy-out rule of every value read: no buffer reports type and size, a
// small one ERROR_MORE_DATA and the size needed.
LONG deliverValue(DWORD type, const void* data, size_t dataSize, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  const DWORD size = static_cast<DWORD>(dataSize);
  if (lpType != nullptr) *lpType = type;
  if (lpData != nullptr && *lpcbData < size) {
    *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  if (lpData != nullptr) std::memcpy(lpData, data, size);
  if (lpcbData != nullptr) *lpcbData = size;
  return ERROR_SUCCESS;
}

// Names are returned with a terminator; a buffer without room for it is too
// small, and then its size is left as it was.
LONG deliverName(const std::u16string& name, LPWSTR buffer, LPDWORD chars) {
  if (name.size() >= *chars) return ERROR_MORE_DATA;
  name.copy(buffer, name.size());
  buffer[name.size()] = u'\0';
  *chars = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

// Keys have no class here: an empty one.
LONG deliverEmptyClass(LPWSTR lpClass, LPDWORD lpcchClass) {
  if (lpClass != nullptr && lpcchClass != nullptr) {
    if (*lpcchClass < 1) return ERROR_MORE_DATA;
    lpClass[0] = u'\0';
  }
  if (lpcchClass != nullptr) *lpcchClass = 0;
  return ERROR_SUCCESS;
}

void deliverTime(uint64_t fileTime, PFILETIME out) {
  if (out == nullptr) return;
  out->dwLowDateTime = static_cast<DWORD>(fileTime & 0xFFFFFFFFu);
  out->dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
}

// Save and restore: the file name checked before the handle, as Windows does.
template <typename Work>
LONG withHiveFile(HKEY hKey, LPCWSTR lpFile, Work&& work) {
  if (lpFile == nullptr || lpFile[0] == u'\0') return ERROR_INVALID_PARAMETER;
  // A lone surrogate in place of U+FFFD would name another file.
  std::string path;
  if (!orv_platform::fromUtf16(lpFile, std::char_traits<WCHAR>::length(lpFile), path, orv_platform::InvalidText::kFail))
    return ERROR_INVALID_PARAMETER;
  RegistryKeyHandle handle;
  const LONG status = useHandle(hKey, &handle);
  return status != ERROR_SUCCESS ? status : work(handle, path);
}

}  // namespace

LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  RegistryKeyHandle base;
  LONG status = useHandle(hKey, &base);
  if (status != ERROR_SUCCESS) return status;
  RegistryPath path;
  status = parsePath(lpSubKey, base.classesRoot, &path);
  if (status != ERROR_SUCCESS) return status;
  // A root with no subkey answers with itself, as Windows does.
  if (base.predefined && path.empty()) {
    *phkResult = hKey;
    return ERROR_SUCCESS;
  }
  RegistryKeyHandle opened;
  opened.hive = base.hive;
  status = base.hive->findKey(base.key, path, &opened);
  if (status == ERROR_SUCCESS) status = grantRights(base.hive, samDesired, &opened.access);
  if (status == ERROR_SUCCESS) *phkResult = orv_posix::addRegistryHandle(opened);
  return status;
}

LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR, DWORD, REGSAM samDesired,
                        const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
  if (phkResult == nullptr || Reserved != 0) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  RegistryKeyHandle base;
  LONG status = useHandle(hKey, &base);
  if (status != ERROR_SUCCESS) return status;
  RegistryPath path;
  status = parsePath(lpSubKey, base.classesRoot, &path);
  if (status != ERROR_SUCCESS) return status;
  RegistryKeyHandle opened;
  opened.hive = base.hive;
  bool created = false;
  // Creating a subkey takes KEY_CREATE_SUB_KEY on the handle it is made below.
  status = base.hive->createKey(base.key, path, (base.access & KEY_CREATE_SUB_KEY) != 0, &opened.key, &created);
  if (status == ERROR_SUCCESS) status = grantRights(base.hive, samDesired, &opened.access);
  if (status != ERROR_SUCCESS) return status;
  *phkResult = orv_posix::addRegistryHandle(opened);
  if (lpdwDisposition != nullptr) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY hKey) {
  RegistryKeyHandle handle;
  if (lookUpRegistryHandle(hKey, &handle) && handle.predefined) return ERROR_SUCCESS;
  return orv_posix::removeRegistryHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
  if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) return ERROR_INVALID_PARAMETER;
  RegistryKeyHandle handle;
  if (!lookUpRegistryHandle(hKey, &handle)) return ERROR_INVALID_HANDLE;
  if ((handle.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  return handle.hive->withValue(handle.key, nameOf(lpValueName), [&](const RegistryValue& value) {
    return deliverValue(value.type, value.data.data(), value.data.size(), lpType, lpData, lpcbData);
  });
}

LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  RegistryKeyHandle handle;
  const LONG status = handleWithRight(hKey, KEY_SET_VALUE, &handle);
  if (status != ERROR_SUCCESS) return status;
  if (lpData == nullptr && cbData != 0) return ERROR_NOACCESS;
  const std::u16string_view name = nameOf(lpValueName);
  if (name.size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
  // The type is stored as given; Windows does not check it against the data.
  return handle.hive->setValue(handle.key, name, dwType, lpData, cbData);
}

LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  RegistryKeyHandle handle;
  const LONG status = handleWithRight(hKey, KEY_SET_VALUE, &handle);
  if (status != ERROR_SUCCESS) return status;
  return handle.hive->deleteValue(handle.key, nameOf(lpValueName));
}

LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved, LPWSTR lpClass,
                      LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  if (lpReserved != nullptr || lpName == nullptr || lpcchName == nullptr) return ERROR_INVALID_PARAMETER;
  RegistryKeyHandle handle;
  LONG status = handleWithRight(hKey, KEY_ENUMERATE_SUB_KEYS, &handle);
  if (status != ERROR_SUCCESS) return status;
  orv_posix::RegistryEntry entry;
  status = handle.hive->subKeyAt(handle.key, dwIndex, &handle.subKeys, &entry);
  if (!handle.predefined) orv_posix::updateRegistryCursors(hKey, handle);
  if (status == ERROR_SUCCESS) status = deliverName(entry.name, lpName, lpcchName);
  if (status == ERROR_SUCCESS) status = deliverEmptyClass(lpClass, lpcchClass);
  if (status == ERROR_SUCCESS) deliverTime(entry.lastWriteTime, lpftLastWriteTime);
  return status;
}

LSTATUS RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved != nullptr || lpValueName == nullptr || lpcchValueName == nullptr ||
      (lpData != nullptr && lpcbData == nullptr)) {
    return ERROR_INVALID_PARAMETER;
  }
  RegistryKeyHandle handle;
  LONG status = handleWithRight(hKey, KEY_QUERY_VALUE, &handle);
  if (status != ERROR_SUCCESS) return status;
  // Names-only asks (no data buffer) leave the data where it is.
  orv_posix::RegistryEntry entry;
  status = handle.hive->valueAt(handle.key, dwIndex, lpData != nullptr, &handle.values, &entry);
  if (!handle.predefined) orv_posix::updateRegistryCursors(hKey, handle);
  if (status != ERROR_SUCCESS) return status;
  status = deliverName(entry.name, lpValueName, lpcchValueName);
  if (status == ERROR_MORE_DATA) {
    // A name that does not fit still reports the value's type and size.
    deliverValue(entry.type, nullptr, entry.size, lpType, nullptr, lpcbData);
    return status;
  }
  return deliverValue(entry.type, entry.data.data(), entry.size, lpType, lpData, lpcbData);
}

LSTATUS RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                         LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                         LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                         PFILETIME lpftLastWriteTime) {
  if (lpReserved != nullptr) return ERROR_INVALID_PARAMETER;
  RegistryKeyHandle handle;
  LONG status = useHandle(hKey, &handle);
  if (status != ERROR_SUCCESS) return status;
  if ((handle.access & (KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS)) == 0) return ERROR_ACCESS_DENIED;
  orv_posix::RegistryKeyInfo info;
  status = handle.hive->keyInfo(handle.key, &info);
  if (status == ERROR_SUCCESS) status = deliverEmptyClass(lpClass, lpcchClass);
  if (status != ERROR_SUCCESS) return status;
  if (lpcSubKeys != nullptr) *lpcSubKeys = info.subKeys;
  if (lpcbMaxSubKeyLen != nullptr) *lpcbMaxSubKeyLen = info.maxSubKeyNameLength;
  if (lpcbMaxClassLen != nullptr) *lpcbMaxClassLen = 0;
  if (lpcValues != nullptr) *lpcValues = info.values;
  if (lpcbMaxValueNameLen != nullptr) *lpcbMaxValueNameLen = info.maxValueNameLength;
  if (lpcbMaxValueLen != nullptr) *lpcbMaxValueLen = info.maxValueDataLength;
  if (lpcbSecurityDescriptor != nullptr) *lpcbSecurityDescriptor = 0;
  deliverTime(info.lastWriteTime, lpftLastWriteTime);
  return ERROR_SUCCESS;
}

LSTATUS RegQueryMultipleValuesW(HKEY hKey, PVALENTW val_list, DWORD num_vals, LPWSTR lpValueBuf, LPDWORD ldwTotsize) {
  if (ldwTotsize == nullptr || (val_list == nullptr && num_vals != 0)) return ERROR_INVALID_PARAMETER;
  RegistryKeyHandle handle;
  LONG status = handleWithRight(hKey, KEY_QUERY_VALUE, &handle);
  if (status != ERROR_SUCCESS) return status;
  std::vector<std::u16string_view> names;
  names.reserve(num_vals);
  for (DWORD i = 0; i < num_vals; ++i) names.push_back(nameOf(val_list[i].ve_valuename));
  std::vector<RegistryValue> values;
  status = handle.hive->readValues(handle.key, names, &values);
  if (status != ERROR_SUCCESS) return status;
  // Values are packed one after the other while they fit; the total is
  // reported either way.
  const uint64_t capacity = lpValueBuf != nullptr ? *ldwTotsize : 0;
  uint64_t total = 0;
  BYTE* next = reinterpret_cast<BYTE*>(lpValueBuf);
  for (DWORD i = 0; i < num_vals; ++i) {
    const uint64_t size = values[i].data.size();
    val_list[i].ve_valuelen = static_cast<DWORD>(size);
    if (lpValueBuf != nullptr && total + size <= capacity) {
      std::memcpy(next, values[i].data.data(), size);
      val_list[i].ve_valueptr = reinterpret_cast<DWORD_PTR>(next);
      val_list[i].ve_type = values[i].type;
      next += size;
    }
    total += size;
  }
  *ldwTotsize = total > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(total);
  return lpValueBuf != nullptr && total <= capacity ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  RegistryKeyHandle base;
  LONG status = useHandle(hKey, &base);
  RegistryPath path;
  if (status == ERROR_SUCCESS) status = parsePath(lpSubKey, base.classesRoot, &path);
  orv_posix::RegistryKeyRef key;
  if (status == ERROR_SUCCESS) status = base.hive->findKey(base.key, path, &key);
  return status == ERROR_SUCCESS ? base.hive->deleteKey(key.key, true) : status;
}

LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
  RegistryKeyHandle base;
  LONG status = useHandle(hKey, &base);
  if (status != ERROR_SUCCESS) return status;
  RegistryPath path;
  status = parsePath(lpSubKey, base.classesRoot, &path);
  if (status != ERROR_SUCCESS) return status;
  if (path.empty()) {
    // Everything below this very key: its handle must allow the writes.
    if ((base.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    return base.hive->clearKey(base.key);
  }
  orv_posix::RegistryKeyRef key;
  status = base.hive->findKey(base.key, path, &key);
  return status == ERROR_SUCCESS ? base.hive->deleteKey(key.key, false) : status;
}

LSTATUS RegFlushKey(HKEY hKey) {
  RegistryKeyHandle handle;
  const LONG status = useHandle(hKey, &handle);
  return status != ERROR_SUCCESS ? status : handle.hive->flush();
}

LSTATUS RegSaveKeyW(HKEY hKey, LPCWSTR lpFile, const LPSECURITY_ATTRIBUTES) {
  return withHiveFile(hKey, lpFile, [](const RegistryKeyHandle& handle, const std::string& path) {
    return handle.hive->saveKey(handle.key, path);
  });
}

LSTATUS RegRestoreKeyW(HKEY hKey, LPCWSTR lpFile, DWORD) {
  return withHiveFile(hKey, lpFile, [](const RegistryKeyHandle& handle, const std::string& path) {
    return handle.hive->restoreKey(handle.key, path);
  });
}
