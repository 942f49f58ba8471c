// The tests' one set of text helpers: ASCII test text to UTF-16 code units
// and back, paths as UTF-16, and the library's strings as plain text.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "orv_wchar_string.h"
#include "orv_win32.h"

namespace orv_test {

using WString = std::basic_string<WCHAR>;

inline WString widen(const std::string& ascii) { return WString(ascii.begin(), ascii.end()); }

// Code units beyond ASCII become '?', so that a failure message stays readable.
inline std::string narrow(const WCHAR* text, size_t length) {
  std::string ascii;
  for (size_t i = 0; i < length; ++i) ascii.push_back(text[i] < 0x80 ? static_cast<char>(text[i]) : '?');
  return ascii;
}
inline std::string narrow(const WString& text) { return narrow(text.data(), text.size()); }

inline WString widePath(const std::filesystem::path& path) {
  const std::u16string units = path.u16string();
  return WString(units.begin(), units.end());
}

inline CORVWCharString wideString(const WString& text) { return CORVWCharString(text.c_str()); }
inline CORVWCharString wideString(const std::string& ascii) { return wideString(widen(ascii)); }

// The string's text up to its length, for comparisons and failure messages
// (empty for a string without storage).
inline std::string textOf(const CORVWCharString& string) { return narrow(string.getBuffer(), string.getLength()); }

}  // namespace orv_test
