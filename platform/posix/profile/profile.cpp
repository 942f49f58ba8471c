// The profile-file calls: argument rules and result buffers as kernel32 has
// them, over the document (profile_document) and the file (profile_file).
#include <algorithm>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "orv_win32.h"
#include "profile_document.h"
#include "profile_file.h"

namespace {

using orv_posix::ProfileDocument;
using orv_posix::ProfileEntry;
using orv_posix::ProfilePairs;
using orv_posix::ProfileText;

// A missing, unreadable or oversized file reads as an empty one; the last
// error says why.
bool loadDocument(LPCWSTR fileName, ProfileDocument& document) {
  std::string bytes;
  if (!orv_posix::readProfileFile(fileName, bytes)) return false;
  try {
    document = ProfileDocument(bytes);
  } catch (const std::length_error&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  return true;
}

// One pair of matching quotes, " or ', around at least nothing.
ProfileText withoutQuotes(const ProfileText& value) {
  if (value.size() >= 2 && (value[0] == u'"' || value[0] == u'\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

// Windows drops the default's trailing spaces (only spaces).
ProfileText defaultOf(LPCWSTR text) {
  ProfileText value = text == nullptr ? ProfileText() : ProfileText(text);
  value.erase(value.find_last_not_of(u' ') + 1);
  return value;
}

DWORD copyValue(const ProfileText& value, LPWSTR buffer, DWORD size) {
  const ProfileText text = withoutQuotes(value);
  const size_t length = std::min<size_t>(text.size(), size - 1);
  text.copy(buffer, length);
  buffer[length] = 0;
  return static_cast<DWORD>(length);
}

// Each item and a zero, then one more zero. A list that does not fit with
// room to spare is cut to nSize - 2 units and ends in two zeros.
DWORD copyList(const std::vector<ProfileText>& items, LPWSTR buffer, DWORD size) {
  if (size == 1) {
    buffer[0] = 0;
    return 0;
  }
  ProfileText list;
  for (const ProfileText& item : items) list += item + u'\0';
  if (list.size() + 1 < size) {
    list.copy(buffer, list.size());
    buffer[list.size()] = 0;
    if (list.empty()) buffer[1] = 0;
    return static_cast<DWORD>(list.size());
  }
  const size_t kept = size - 2;
  list.copy(buffer, kept);
  buffer[kept] = 0;
  buffer[kept + 1] = 0;
  return static_cast<DWORD>(kept);
}

std::vector<ProfileText> keyNames(const ProfileDocument& document, const ProfileText& section) {
  std::vector<ProfileText> names;
  for (const ProfileEntry& entry : document.entries(section))
    if (entry.hasValue) names.push_back(entry.key);
  return names;
}

std::vector<ProfileText> sectionLines(const ProfileDocument& document, const ProfileText& section) {
  std::vector<ProfileText> lines;
  for (const ProfileEntry& entry : document.entries(section))
    lines.push_back(entry.hasValue ? entry.key + u'=' + entry.value : entry.key);
  return lines;
}

// ntdll's RtlUnicodeStringToInteger with base 0.
UINT parseProfileNumber(const ProfileText& text) {
  size_t at = 0;
  while (at < text.size() && text[at] <= u' ') ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) negative = text[at++] == u'-';
  unsigned base = 10;
  if (at + 1 < text.size() && text[at] == u'0') {
    const WCHAR marker = text[at + 1];
    base = marker == u'x' ? 16 : marker == u'o' ? 8 : marker == u'b' ? 2 : 10;
    if (base != 10) at += 2;
  }
  UINT total = 0;
  for (; at < text.size(); ++at) {
    const WCHAR c = text[at];
    const unsigned digit = (c >= u'0' && c <= u'9')   ? c - u'0'
                           : (c >= u'a' && c <= u'z') ? c - u'a' + 10
                           : (c >= u'A' && c <= u'Z') ? c - u'A' + 10
                                                      : 36;
    if (digit >= base) break;
    total = total * base + digit;
  }
  return negative ? 0u - total : total;
}

bool breaksLine(const ProfileText& text) { return text.find_first_of(u"\r\n") != ProfileText::npos; }

// What Windows would write verbatim although it reads back as something
// else: a second line, a key cut at its "=", a header, a comment.
bool isWritableEntry(const ProfileText& key, const ProfileText& value) {
  const ProfileText name = orv_posix::trimProfileBlanks(key);
  return !breaksLine(key) && key.find(u'=') == ProfileText::npos && name.compare(0, 1, u"[") != 0 &&
         name.compare(0, 1, u";") != 0 && !breaksLine(value);
}

BOOL refuse(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// Edits the file's document under its lock; false when nothing changed.
BOOL editProfile(LPCWSTR fileName, bool createIfMissing, const std::function<bool(ProfileDocument&)>& edit) {
  return orv_posix::updateProfileFile(fileName, createIfMissing, [&](std::string& bytes) {
    ProfileDocument document(bytes);
    if (!edit(document)) return false;
    bytes = document.bytes();
    return true;
  });
}

// Memory runs out as a failure of the call, never as an escape.
template <typename Result, typename Call>
Result guarded(Result failure, const Call& call) {
  try {
    return call();
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return failure;
}

}  // namespace

DWORD GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault, LPWSTR lpReturnedString,
                               DWORD nSize, LPCWSTR lpFileName) {
  if (lpReturnedString == nullptr || nSize == 0) return 0;
  return guarded<DWORD>(0, [&]() -> DWORD {
    ProfileDocument document;
    if (!loadDocument(lpFileName, document)) return copyValue(defaultOf(lpDefault), lpReturnedString, nSize);
    if (lpAppName == nullptr) return copyList(document.sectionNames(), lpReturnedString, nSize);
    if (lpKeyName == nullptr) {
      // Windows answers an empty key list (or one cut to nothing) with the default.
      const DWORD length = copyList(keyNames(document, lpAppName), lpReturnedString, nSize);
      return lpReturnedString[0] != 0 ? length : copyValue(defaultOf(lpDefault), lpReturnedString, nSize);
    }
    const ProfileText* value = document.value(lpAppName, lpKeyName);
    return copyValue(value != nullptr ? *value : defaultOf(lpDefault), lpReturnedString, nSize);
  });
}

UINT GetPrivateProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault, LPCWSTR lpFileName) {
  const UINT fallback = static_cast<UINT>(nDefault);
  if (lpAppName == nullptr || lpKeyName == nullptr) return fallback;
  return guarded<UINT>(fallback, [&]() -> UINT {
    ProfileDocument document;
    if (!loadDocument(lpFileName, document)) return fallback;
    const ProfileText* value = document.value(lpAppName, lpKeyName);
    const ProfileText text = value != nullptr ? withoutQuotes(*value) : ProfileText();
    return text.empty() ? fallback : parseProfileNumber(text);
  });
}

DWORD GetPrivateProfileSectionW(LPCWSTR lpAppName, LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName) {
  if (lpReturnedString == nullptr || nSize == 0) return 0;
  return guarded<DWORD>(0, [&]() -> DWORD {
    ProfileDocument document;
    if (lpAppName == nullptr || !loadDocument(lpFileName, document)) return copyList({}, lpReturnedString, nSize);
    return copyList(sectionLines(document, lpAppName), lpReturnedString, nSize);
  });
}

DWORD GetPrivateProfileSectionNamesW(LPWSTR lpszReturnBuffer, DWORD nSize, LPCWSTR lpFileName) {
  if (lpszReturnBuffer == nullptr || nSize == 0) return 0;
  return guarded<DWORD>(0, [&]() -> DWORD {
    ProfileDocument document;
    loadDocument(lpFileName, document);
    return copyList(document.sectionNames(), lpszReturnBuffer, nSize);
  });
}

BOOL WritePrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString, LPCWSTR lpFileName) {
  // All null asks Windows to flush its cache, and fails; nothing is cached here.
  if (lpAppName == nullptr && lpKeyName == nullptr && lpString == nullptr) return FALSE;
  if (lpAppName == nullptr) return refuse(ERROR_FILE_NOT_FOUND);
  return guarded<BOOL>(FALSE, [&]() -> BOOL {
    const ProfileText section(lpAppName);
    if (lpKeyName == nullptr)
      return editProfile(lpFileName, false, [&](ProfileDocument& document) { return document.removeSection(section); });
    const ProfileText key(lpKeyName);
    if (lpString == nullptr)
      return editProfile(lpFileName, false,
                         [&](ProfileDocument& document) { return document.removeKey(section, key); });
    const ProfileText value(lpString);
    if (breaksLine(section) || !isWritableEntry(key, value)) return refuse(ERROR_INVALID_PARAMETER);
    return editProfile(lpFileName, true,
                       [&](ProfileDocument& document) { return document.setValue(section, key, value); });
  });
}

BOOL WritePrivateProfileSectionW(LPCWSTR lpAppName, LPCWSTR lpString, LPCWSTR lpFileName) {
  if (lpAppName == nullptr && lpString == nullptr) return FALSE;  // the cache flush, as above
  if (lpAppName == nullptr) return refuse(ERROR_INVALID_PARAMETER);
  return guarded<BOOL>(FALSE, [&]() -> BOOL {
    const ProfileText section(lpAppName);
    if (lpString == nullptr)
      return editProfile(lpFileName, false, [&](ProfileDocument& document) { return document.removeSection(section); });
    if (breaksLine(section)) return refuse(ERROR_INVALID_PARAMETER);
    ProfilePairs entries;
    for (LPCWSTR entry = lpString; *entry != 0; entry += wcslen(entry) + 1) {
      const ProfileText line(entry);
      const size_t equals = line.find(u'=');
      if (equals == ProfileText::npos) continue;
      entries.emplace_back(line.substr(0, equals), line.substr(equals + 1));
      if (!isWritableEntry(entries.back().first, entries.back().second)) return refuse(ERROR_INVALID_PARAMETER);
    }
    return editProfile(lpFileName, true,
                       [&](ProfileDocument& document) { return document.replaceSection(section, entries); });
  });
}
