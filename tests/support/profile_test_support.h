// Helpers for the profile-file tests: a scratch profile file, its bytes, and
// the calls' results as strings.
#pragma once

#include <fstream>
#include <string>

#include "log_test_support.h"
#include "orv_win32.h"

namespace orv_test {

inline WString w(const char* ascii) { return widen(ascii); }

class ProfileFile {
 public:
  explicit ProfileFile(const char* name = "test.ini") : path_(folder_.path() / name), name_(widePath(path_)) {}
  const WCHAR* name() const { return name_.c_str(); }
  const std::filesystem::path& path() const { return path_; }
  const ScratchFolder& folder() const { return folder_; }

  void write(const std::string& bytes) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::string bytes() const { return readBytes(path_); }
  bool exists() const { return std::filesystem::exists(path_); }

  // GetPrivateProfileStringW's text; its result in *length.
  WString get(const WCHAR* section, const WCHAR* key, const WCHAR* fallback = nullptr, DWORD size = 256,
              DWORD* length = nullptr) const {
    WCHAR buffer[1024];
    std::fill(std::begin(buffer), std::end(buffer), static_cast<WCHAR>('#'));
    const DWORD result = GetPrivateProfileStringW(section, key, fallback, buffer, size, name());
    if (length != nullptr) *length = result;
    return WString(buffer);
  }
  WString get(const char* section, const char* key, const char* fallback = "default", DWORD size = 256,
              DWORD* length = nullptr) const {
    return get(w(section).c_str(), w(key).c_str(), w(fallback).c_str(), size, length);
  }
  BOOL set(const char* section, const char* key, const char* value) const {
    return WritePrivateProfileStringW(w(section).c_str(), w(key).c_str(), w(value).c_str(), name());
  }

 private:
  ScratchFolder folder_;
  std::filesystem::path path_;
  WString name_;
};

// A double-zero-terminated list up to its result and the zero after it,
// zeros shown as "|".
template <typename Call>
std::string listOf(DWORD size, DWORD& length, const Call& call) {
  WCHAR buffer[1024];
  std::fill(std::begin(buffer), std::end(buffer), static_cast<WCHAR>('#'));
  length = call(buffer, size);
  std::string shown;
  for (DWORD i = 0; i <= length && i < size; ++i) shown.push_back(buffer[i] == 0 ? '|' : static_cast<char>(buffer[i]));
  return shown;
}

// A list in the form that the profile calls take: "a|b||" with "|" for zeros.
inline WString zeroList(const char* shown) {
  WString list = widen(shown);
  for (WCHAR& c : list)
    if (c == '|') c = 0;
  return list;
}

}  // namespace orv_test
