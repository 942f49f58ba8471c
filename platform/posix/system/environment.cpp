// The process environment with Windows' results over the C library's
// environment, whose entries are UTF-8.
#include <cstdlib>
#include <cstring>
#include <string>

#include "orv_platform/text_encoding.h"
#include "orv_win32.h"

extern char** environ;

namespace {

using WideText = std::basic_string<WCHAR>;

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalIgnoringCase(const char* a, const char* b, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (foldAscii(a[i]) != foldAscii(b[i])) return false;
  return true;
}

bool toUtf8(const WCHAR* text, size_t length, std::string& out) {
  return orv_platform::fromUtf16(text, length, out, orv_platform::InvalidText::kReplace);
}

WideText toUtf16(const char* text) {
  WideText out;
  orv_platform::toUtf16(text, std::strlen(text), out, orv_platform::InvalidText::kReplace);
  return out;
}

// A Windows name is not empty and holds no '=' after its first character.
bool isValidName(const std::string& name) { return !name.empty() && name.find('=', 1) == std::string::npos; }

// The entry of the variable: an exact match first, else the first one whose
// name differs only in the case of its letters, as Windows' one namespace.
const char* findEntry(const std::string& name) {
  if (!isValidName(name) || environ == nullptr) return nullptr;
  const char* caseMatch = nullptr;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const char* text = *entry;
    if (std::strncmp(text, name.c_str(), name.size()) == 0 && text[name.size()] == '=') return text;
    if (caseMatch == nullptr && std::strlen(text) > name.size() && text[name.size()] == '=' &&
        equalIgnoringCase(text, name.c_str(), name.size()))
      caseMatch = text;
  }
  return caseMatch;
}

bool lookUp(const WCHAR* name, size_t length, WideText& value) {
  std::string narrowName;
  if (!toUtf8(name, length, narrowName)) return false;
  const char* entry = findEntry(narrowName);
  if (entry == nullptr) return false;
  value = toUtf16(entry + narrowName.size() + 1);
  return true;
}

}  // namespace

DWORD GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize) {
  WideText value;
  if (lpName == nullptr || !lookUp(lpName, wcslen(lpName), value)) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  const DWORD length = static_cast<DWORD>(value.size());
  if (lpBuffer == nullptr || length >= nSize) return length + 1;
  value.copy(lpBuffer, length);
  lpBuffer[length] = 0;
  return length;
}

BOOL SetEnvironmentVariableW(LPCWSTR lpName, LPCWSTR lpValue) {
  std::string name;
  std::string value;
  if (lpName == nullptr || !toUtf8(lpName, wcslen(lpName), name) || !isValidName(name) ||
      (lpValue != nullptr && !toUtf8(lpValue, wcslen(lpValue), value))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // One variable per name whatever its case, as on Windows.
  for (const char* entry; (entry = findEntry(name)) != nullptr;) {
    const std::string existing(entry, name.size());
    if (unsetenv(existing.c_str()) != 0) break;
  }
  if (lpValue != nullptr && setenv(name.c_str(), value.c_str(), 1) != 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  return TRUE;
}

DWORD ExpandEnvironmentStringsW(LPCWSTR lpSrc, LPWSTR lpDst, DWORD nSize) {
  if (lpSrc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WideText result;
  WideText value;
  for (const WCHAR* src = lpSrc; *src != 0;) {
    if (*src != u'%') {
      result.push_back(*src++);
      continue;
    }
    const WCHAR* close = wcschr(src + 1, u'%');
    if (close == nullptr) {  // no closing sign: the rest is text
      result.append(src);
      break;
    }
    const size_t nameLength = static_cast<size_t>(close - src - 1);
    if (nameLength > 0 && lookUp(src + 1, nameLength, value))
      result.append(value);
    else
      result.append(src, nameLength + 2);
    src = close + 1;
  }
  const DWORD needed = static_cast<DWORD>(result.size() + 1);
  if (lpDst != nullptr && needed <= nSize) {
    result.copy(lpDst, result.size());
    lpDst[result.size()] = 0;
  }
  return needed;
}
