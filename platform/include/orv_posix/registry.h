// The registry calls of advapi32 over a SQLite store: one database per hive,
// "machine.db" (HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_USERS,
// HKEY_CURRENT_CONFIG) and "user.db" (HKEY_CURRENT_USER), in
// $ORV_REGISTRY_DIR when it is set, else /var/lib/orv/registry and
// ${XDG_CONFIG_HOME:-$HOME/.config}/orv/registry. Results are Windows' own:
// status codes, buffer sizes, name rules, enumeration orders, access checks.
#pragma once

#include "orv_posix/base.h"
#include "orv_posix/file.h"  // SECURITY_ATTRIBUTES, the generic rights

struct HKEY__;
typedef HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;
typedef DWORD ACCESS_MASK;

// The predefined roots are the sign-extended 32-bit values Windows uses.
#define ORV_PREDEFINED_HKEY(value) (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(value))))
#define HKEY_CLASSES_ROOT ORV_PREDEFINED_HKEY(0x80000000u)
#define HKEY_CURRENT_USER ORV_PREDEFINED_HKEY(0x80000001u)
#define HKEY_LOCAL_MACHINE ORV_PREDEFINED_HKEY(0x80000002u)
#define HKEY_USERS ORV_PREDEFINED_HKEY(0x80000003u)
#define HKEY_PERFORMANCE_DATA ORV_PREDEFINED_HKEY(0x80000004u)
#define HKEY_CURRENT_CONFIG ORV_PREDEFINED_HKEY(0x80000005u)

// Standard rights (winnt.h), shared with other object kinds.
#ifndef DELETE
#define DELETE 0x00010000u
#endif
#ifndef READ_CONTROL
#define READ_CONTROL 0x00020000u
#endif
#ifndef WRITE_DAC
#define WRITE_DAC 0x00040000u
#endif
#ifndef WRITE_OWNER
#define WRITE_OWNER 0x00080000u
#endif
#ifndef SYNCHRONIZE
#define SYNCHRONIZE 0x00100000u
#endif
#ifndef STANDARD_RIGHTS_READ
#define STANDARD_RIGHTS_READ READ_CONTROL
#endif
#ifndef STANDARD_RIGHTS_WRITE
#define STANDARD_RIGHTS_WRITE READ_CONTROL
#endif
#ifndef STANDARD_RIGHTS_ALL
#define STANDARD_RIGHTS_ALL 0x001F0000u
#endif
#ifndef MAXIMUM_ALLOWED
#define MAXIMUM_ALLOWED 0x02000000u
#endif

// Key access rights.
#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_CREATE_LINK 0x0020u
#define KEY_WOW64_64KEY 0x0100u
#define KEY_WOW64_32KEY 0x0200u
#define KEY_WOW64_RES 0x0300u
#define KEY_READ 0x00020019u
#define KEY_EXECUTE KEY_READ
#define KEY_WRITE 0x00020006u
#define KEY_ALL_ACCESS 0x000F003Fu

// Value types.
#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_DWORD_LITTLE_ENDIAN 4u
#define REG_DWORD_BIG_ENDIAN 5u
#define REG_LINK 6u
#define REG_MULTI_SZ 7u
#define REG_RESOURCE_LIST 8u
#define REG_FULL_RESOURCE_DESCRIPTOR 9u
#define REG_RESOURCE_REQUIREMENTS_LIST 10u
#define REG_QWORD 11u
#define REG_QWORD_LITTLE_ENDIAN 11u

// RegCreateKeyExW options and dispositions.
#define REG_OPTION_RESERVED 0x0000u
#define REG_OPTION_NON_VOLATILE 0x0000u
#define REG_OPTION_VOLATILE 0x0001u
#define REG_OPTION_CREATE_LINK 0x0002u
#define REG_OPTION_BACKUP_RESTORE 0x0004u
#define REG_OPTION_OPEN_LINK 0x0008u
#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u

// RegRestoreKeyW flags.
#define REG_WHOLE_HIVE_VOLATILE 0x0001u
#define REG_REFRESH_HIVE 0x0002u
#define REG_NO_LAZY_FLUSH 0x0004u
#define REG_FORCE_RESTORE 0x0008u

// Status codes the registry gives besides those of base.h.
#ifndef ERROR_BUSY
#define ERROR_BUSY 170L
#endif
#ifndef ERROR_NOACCESS
#define ERROR_NOACCESS 998L
#endif

// One entry of RegQueryMultipleValuesW.
struct VALENTW {
  LPWSTR ve_valuename;
  DWORD ve_valuelen;
  DWORD_PTR ve_valueptr;
  DWORD ve_type;
};
typedef VALENTW* PVALENTW;
typedef VALENTW VALENT;
typedef PVALENTW PVALENT;

// Paths are backslash-separated below the given key; key and value names
// compare by the Unicode simple upper case of each UTF-16 code unit, as
// Windows' registry compares them, and keep the spelling they were created
// with; a null or empty value name is the key's default value. Every call
// sees every change that another process's call had returned from: an open
// of a key that another process deleted fails with ERROR_FILE_NOT_FOUND, and
// a handle to it reports ERROR_KEY_DELETED.
//
// Durability, as on Windows: a write is atomic and visible when its call
// returns and survives the crash of any process; it survives a power loss
// after RegFlushKey, or two seconds after the write (the lazy flush).
LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
// Options and security are accepted; every key is durable.
LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions, REGSAM samDesired,
                        const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult, LPDWORD lpdwDisposition);
// The predefined roots are never closed; closing them succeeds.
LSTATUS RegCloseKey(HKEY hKey);
LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData);
LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData, DWORD cbData);
LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
// Subkeys come in case-insensitive name order, values in creation order. A
// handle that asks for index i + 1 after i gets it in constant time.
LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved, LPWSTR lpClass,
                      LPDWORD lpcchClass, PFILETIME lpftLastWriteTime);
LSTATUS RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
LSTATUS RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                         LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                         LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                         PFILETIME lpftLastWriteTime);
LSTATUS RegQueryMultipleValuesW(HKEY hKey, PVALENTW val_list, DWORD num_vals, LPWSTR lpValueBuf, LPDWORD ldwTotsize);
// A key without subkeys; RegDeleteTreeW removes a whole subtree, or with no
// subkey name everything below hKey.
LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey);
// Makes every write to the key's hive so far survive a power loss.
LSTATUS RegFlushKey(HKEY hKey);
// A hive file here is a standalone database of the same layout, readable by
// whom the source hive is (owner-only for HKEY_CURRENT_USER). Saving fails
// with ERROR_ALREADY_EXISTS when the file is there; restoring replaces the
// key's values and subkeys with the file's, and refuses a file that is not
// exactly a hive with ERROR_REGISTRY_CORRUPT, changing nothing.
LSTATUS RegSaveKeyW(HKEY hKey, LPCWSTR lpFile, const LPSECURITY_ATTRIBUTES lpSecurityAttributes);
LSTATUS RegRestoreKeyW(HKEY hKey, LPCWSTR lpFile, DWORD dwFlags);
