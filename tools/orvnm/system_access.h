// What orvnm needs of the machine, in UTF-8: text conversion, the
// environment, files written the way browsers expect to read them, and the
// registry's string values. Everything goes through the Win32 subset or the
// standard library, so both builds share it.
#pragma once

#include <string>
#include <vector>

#include "orv_win32.h"

namespace orvnm {

using WString = std::basic_string<WCHAR>;

WString toWide(const std::string& text);
std::string toUtf8(const WCHAR* text);
inline std::string toUtf8(const WString& text) { return toUtf8(text.c_str()); }

// Where the browsers find hosts: Windows names manifests in the registry,
// everywhere else they lie in folders.
bool usesRegistry();
// The platform's folder separator as text.
std::string separator();
std::string joinPath(const std::string& folder, const std::string& name);
std::string parentFolder(const std::string& path);
bool isFullPath(const std::string& path);

// Empty when unset.
std::string environment(const char* name);
// The running program's full path.
std::string ownPath();

bool fileExists(const std::string& path);
bool folderExists(const std::string& path);
// A regular file that may be run (Windows: by its extension).
bool isExecutableFile(const std::string& path);
bool writableByOthers(const std::string& path);
// Manifests and policy files are small; a larger file is not read.
constexpr size_t kMostBytesRead = 1024 * 1024;
// False when the file cannot be read or is larger than kMostBytesRead.
bool readFile(const std::string& path, std::string& bytes);
// Writes a temporary file beside `path` (mode 0644), then renames it over
// `path`; creates the missing folders first.
bool replaceFile(const std::string& path, const std::string& bytes, std::string& error);
bool removeFile(const std::string& path);
std::vector<std::string> filesIn(const std::string& folder, const std::string& ending);

// Registry keys are written ROOT\path; roots HKCU and HKLM.
HKEY rootKey(const std::string& root);
bool keyExists(HKEY root, const std::string& key);
bool readString(HKEY root, const std::string& key, const std::string& name, std::string& value);
bool readDword(HKEY root, const std::string& key, const std::string& name, DWORD& value);
// The string data of every value of the key, in stored order.
std::vector<std::string> stringValues(HKEY root, const std::string& key);
LSTATUS writeString(HKEY root, const std::string& key, const std::string& name, const std::string& value);
LSTATUS deleteKey(HKEY root, const std::string& key);
// Deletes the key, then each parent it leaves empty, below the root's own key
// ("Software"): a browser's key that held only our registration would outlive
// it and make the browser look installed.
LSTATUS deleteKeyAndEmptyParents(HKEY root, const std::string& key);

}  // namespace orvnm
