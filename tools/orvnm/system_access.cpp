#include "system_access.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "orv_platform/paths.h"
#include "orv_platform/text_encoding.h"

namespace orvnm {
namespace fs = std::filesystem;

namespace {

fs::path pathOf(const std::string& utf8) { return fs::u8path(utf8); }

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return text;
}

// Closes a registry key on every way out.
class OpenKey {
 public:
  OpenKey(HKEY root, const std::string& key) {
    if (root == nullptr || RegOpenKeyExW(root, toWide(key).c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS)
      key_ = nullptr;
  }
  ~OpenKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

WString toWide(const std::string& text) { return orv_platform::utf16Of(text, orv_platform::InvalidText::kReplace); }

std::string toUtf8(const WCHAR* text) {
  if (text == nullptr) return std::string();
  return orv_platform::utf8Of(text, std::char_traits<WCHAR>::length(text), orv_platform::InvalidText::kReplace);
}

bool usesRegistry() { return orv_platform::kPathSeparator == ORV_W('\\'); }

std::string separator() { return usesRegistry() ? "\\" : "/"; }

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const char last = folder.back();
  return (last == '/' || last == '\\') ? folder + name : folder + separator() + name;
}

std::string parentFolder(const std::string& path) {
  const size_t cut = path.find_last_of(usesRegistry() ? "\\/" : "/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut == 0 ? 1 : cut);
}

bool isFullPath(const std::string& path) { return orv_platform::isRootedPath(toWide(path).c_str()); }

std::string environment(const char* name) {
  const WString wideName = toWide(name);
  WCHAR buffer[4096];
  const DWORD length = GetEnvironmentVariableW(wideName.c_str(), buffer, sizeof(buffer) / sizeof(buffer[0]));
  if (length == 0 || length >= sizeof(buffer) / sizeof(buffer[0])) return std::string();
  return toUtf8(buffer);
}

std::string ownPath() {
  WCHAR buffer[4096];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, sizeof(buffer) / sizeof(buffer[0]));
  if (length == 0 || length >= sizeof(buffer) / sizeof(buffer[0])) return std::string();
  return toUtf8(buffer);
}

bool fileExists(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_regular_file(pathOf(path), error);
}

bool folderExists(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_directory(pathOf(path), error);
}

bool isExecutableFile(const std::string& path) {
  if (!fileExists(path)) return false;
  if (usesRegistry()) {
    // The browser starts a host through the command interpreter.
    const std::string ending = lowerCase(pathOf(path).extension().u8string());
    return ending == ".exe" || ending == ".com" || ending == ".bat" || ending == ".cmd";
  }
  std::error_code error;
  const fs::perms mode = fs::status(pathOf(path), error).permissions();
  return !error && (mode & (fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec)) != fs::perms::none;
}

bool writableByOthers(const std::string& path) {
  std::error_code error;
  const fs::perms mode = fs::status(pathOf(path), error).permissions();
  return !error && !usesRegistry() && (mode & fs::perms::others_write) != fs::perms::none;
}

bool readFile(const std::string& path, std::string& bytes) {
  // Only regular files: a pipe or a device would never end.
  if (!fileExists(path)) return false;
  std::ifstream in(pathOf(path), std::ios::binary);
  if (!in) return false;
  bytes.assign(kMostBytesRead + 1, '\0');
  in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return !in.bad() && bytes.size() <= kMostBytesRead;
}

bool replaceFile(const std::string& path, const std::string& bytes, std::string& error) {
  const fs::path target = pathOf(path);
  std::error_code code;
  fs::create_directories(target.parent_path(), code);
  if (code) {
    error = "cannot create the folder " + target.parent_path().u8string() + ": " + code.message();
    return false;
  }
  std::random_device random;
  fs::path temporary = target;
  temporary += ".tmp" + std::to_string(random() % 1000000);
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      error = "cannot write " + temporary.u8string();
      out.close();
      fs::remove(temporary, code);
      return false;
    }
  }
  // Readable by every user's browser, whatever the umask.
  fs::permissions(
      temporary, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read, code);
  fs::rename(temporary, target, code);
  if (code) {
    error = "cannot move the manifest into place at " + path + ": " + code.message();
    fs::remove(temporary, code);
    return false;
  }
  return true;
}

bool removeFile(const std::string& path) {
  std::error_code error;
  return fs::remove(pathOf(path), error) && !error;
}

std::vector<std::string> filesIn(const std::string& folder, const std::string& ending) {
  std::vector<std::string> files;
  std::error_code error;
  for (fs::directory_iterator entry(pathOf(folder), error), end; !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().u8string();
    if (name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
      files.push_back(entry->path().u8string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

HKEY rootKey(const std::string& root) {
  if (root == "HKCU") return HKEY_CURRENT_USER;
  if (root == "HKLM") return HKEY_LOCAL_MACHINE;
  return nullptr;
}

bool keyExists(HKEY root, const std::string& key) { return OpenKey(root, key).get() != nullptr; }

bool readString(HKEY root, const std::string& key, const std::string& name, std::string& value) {
  OpenKey open(root, key);
  if (open.get() == nullptr) return false;
  const WString wideName = toWide(name);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(open.get(), wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return false;
  std::vector<WCHAR> data(size / sizeof(WCHAR) + 1, WCHAR(0));
  if (RegQueryValueExW(open.get(), wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
      ERROR_SUCCESS)
    return false;
  value = toUtf8(data.data());
  return true;
}

bool readDword(HKEY root, const std::string& key, const std::string& name, DWORD& value) {
  OpenKey open(root, key);
  if (open.get() == nullptr) return false;
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof(data);
  if (RegQueryValueExW(open.get(), toWide(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD)
    return false;
  value = data;
  return true;
}

std::vector<std::string> stringValues(HKEY root, const std::string& key) {
  std::vector<std::string> values;
  OpenKey open(root, key);
  if (open.get() == nullptr) return values;
  for (DWORD index = 0;; ++index) {
    WCHAR name[256];
    DWORD nameLength = sizeof(name) / sizeof(name[0]);
    WCHAR data[1024] = {};
    DWORD size = sizeof(data) - sizeof(WCHAR);
    DWORD type = 0;
    const LSTATUS status =
        RegEnumValueW(open.get(), index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_SUCCESS && type == REG_SZ) values.push_back(toUtf8(data));
  }
  return values;
}

LSTATUS writeString(HKEY root, const std::string& key, const std::string& name, const std::string& value) {
  HKEY opened = nullptr;
  LSTATUS status = RegCreateKeyExW(root, toWide(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr);
  if (status != ERROR_SUCCESS) return status;
  const WString data = toWide(value);
  status = RegSetValueExW(opened, name.empty() ? nullptr : toWide(name).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(WCHAR)));
  RegCloseKey(opened);
  return status;
}

LSTATUS deleteKey(HKEY root, const std::string& key) { return RegDeleteKeyW(root, toWide(key).c_str()); }

namespace {

// No values and no subkeys.
bool keyIsEmpty(HKEY root, const std::string& key) {
  OpenKey open(root, key);
  DWORD subkeys = 0;
  DWORD values = 0;
  return open.get() != nullptr &&
         RegQueryInfoKeyW(open.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                          nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys == 0 && values == 0;
}

}  // namespace

LSTATUS deleteKeyAndEmptyParents(HKEY root, const std::string& key) {
  const LSTATUS status = deleteKey(root, key);
  if (status != ERROR_SUCCESS) return status;
  std::string parent = key;
  for (size_t at = parent.rfind('\\'); at != std::string::npos; at = parent.rfind('\\')) {
    parent.erase(at);
    if (parent.find('\\') == std::string::npos) break;  // the root's own key ("Software") stays
    if (!keyIsEmpty(root, parent) || deleteKey(root, parent) != ERROR_SUCCESS) break;
  }
  return ERROR_SUCCESS;
}

}  // namespace orvnm
