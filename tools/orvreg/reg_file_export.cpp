#include <atomic>
#include <string>

#include "reg_file.h"

namespace orvreg {
namespace {

constexpr size_t kFlushAt = 64 * 1024;
// reg.exe breaks hex data after the comma that reaches this column.
constexpr size_t kMaxHexColumns = 77;

// Writes UTF-16LE text in large pieces; remembers the first failure.
class RegTextWriter {
 public:
  explicit RegTextWriter(HANDLE file) : file_(file) {}
  void put(const WString& text) {
    pending_ += text;
    if (pending_.size() >= kFlushAt) flush();
  }
  void put(WCHAR unit) { pending_ += unit; }
  bool flush() {
    if (ok_ && !pending_.empty()) {
      DWORD written = 0;
      const DWORD size = static_cast<DWORD>(pending_.size() * sizeof(WCHAR));
      ok_ = WriteFile(file_, pending_.data(), size, &written, nullptr) && written == size;
    }
    pending_.clear();
    return ok_;
  }

 private:
  HANDLE file_;
  WString pending_;
  bool ok_ = true;
};

WCHAR hexDigit(unsigned value) { return static_cast<WCHAR>(value < 10 ? '0' + value : 'a' + value - 10); }

WString lowerHex(unsigned long value, int minimumDigits) {
  WString digits;
  do {
    digits.insert(digits.begin(), hexDigit(value & 0xFu));
    value >>= 4;
  } while (value != 0);
  while (static_cast<int>(digits.size()) < minimumDigits) digits.insert(digits.begin(), ORV_W('0'));
  return digits;
}

WString escaped(const WCHAR* text, size_t length) {
  WString out;
  out.reserve(length + 2);
  for (size_t i = 0; i < length; ++i) {
    const WCHAR c = text[i];
    if (c == '\\' || c == '"') {
      out += ORV_W('\\');
      out += c;
    } else if (c == '\n') {
      out += ORV_W("\\n");
    } else {
      out += c;
    }
  }
  return out;
}

// Text that the quoted form gives back exactly.
bool isQuotableText(const std::string& data) {
  if (data.size() < sizeof(WCHAR) || data.size() % sizeof(WCHAR) != 0) return false;
  const WCHAR* units = reinterpret_cast<const WCHAR*>(data.data());
  const size_t length = data.size() / sizeof(WCHAR) - 1;
  if (units[length] != 0) return false;
  for (size_t i = 0; i < length; ++i)
    if (units[i] == 0 || units[i] == '\r') return false;
  return true;
}

void putValue(RegTextWriter& out, const WString& name, DWORD type, const std::string& data) {
  WString line = name.empty() ? WString(ORV_W("@=")) : ORV_W("\"") + escaped(name.data(), name.size()) + ORV_W("\"=");
  if (type == REG_SZ && isQuotableText(data)) {
    line += ORV_W('"');
    line += escaped(reinterpret_cast<const WCHAR*>(data.data()), data.size() / sizeof(WCHAR) - 1);
    line += ORV_W("\"\r\n");
    out.put(line);
    return;
  }
  if (type == REG_DWORD && data.size() == sizeof(DWORD)) {
    DWORD value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(data[static_cast<size_t>(i)]);
    out.put(line + ORV_W("dword:") + lowerHex(value, 8) + ORV_W("\r\n"));
    return;
  }
  line += type == REG_BINARY ? WString(ORV_W("hex:")) : ORV_W("hex(") + lowerHex(type, 1) + ORV_W("):");
  size_t column = line.size();
  for (size_t i = 0; i < data.size(); ++i) {
    const unsigned byte = static_cast<unsigned char>(data[i]);
    line += hexDigit(byte >> 4);
    line += hexDigit(byte & 0xFu);
    if (i + 1 == data.size()) break;
    line += ORV_W(',');
    column += 3;
    if (column >= kMaxHexColumns) {
      line += ORV_W("\\\r\n  ");
      column = 2;
      out.put(line);
      line.clear();
    }
  }
  line += ORV_W("\r\n");
  out.put(line);
}

// The key's values one at a time, then its subkeys depth-first.
bool putKey(RegTextWriter& out, HKEY key, const WString& fullName, std::string* reason) {
  out.put(ORV_W("\r\n[") + fullName + ORV_W("]\r\n"));
  DWORD longestSubKey = 0;
  DWORD longestName = 0;
  DWORD largestData = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longestSubKey, nullptr, nullptr, &longestName,
                       &largestData, nullptr, nullptr) != ERROR_SUCCESS) {
    *reason = "Unable to read the key " + toUtf8(fullName);
    return false;
  }
  WString name(longestName + 1, 0);
  std::string data(largestData + 1, '\0');
  for (DWORD index = 0;;) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = REG_NONE;
    const LONG status =
        RegEnumValueW(key, index, &name[0], &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_MORE_DATA) {  // changed since it was measured
      if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                           &largestData, nullptr, nullptr) != ERROR_SUCCESS ||
          (longestName < name.size() && largestData < data.size())) {
        *reason = "Unable to read the values of " + toUtf8(fullName);
        return false;
      }
      name.assign(longestName + 1, 0);
      data.assign(largestData + 1, '\0');
      continue;
    }
    if (status != ERROR_SUCCESS) {
      *reason = "Unable to read the values of " + toUtf8(fullName);
      return false;
    }
    ++index;
    putValue(out, WString(name.data(), nameLength), type, data.substr(0, size));
  }
  WString().swap(name);
  std::string().swap(data);
  WString subKeyName(longestSubKey + 1, 0);
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(subKeyName.size());
    const LONG status = RegEnumKeyExW(key, index, &subKeyName[0], &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) {
      subKeyName.assign(subKeyName.size() * 2, 0);
      --index;
      continue;
    }
    if (status != ERROR_SUCCESS) break;
    const WString child(subKeyName.data(), length);
    HKEY subKey = nullptr;
    if (RegOpenKeyExW(key, child.c_str(), 0, KEY_READ, &subKey) != ERROR_SUCCESS) {
      *reason = "Unable to open the key " + toUtf8(fullName + ORV_W("\\") + child);
      return false;
    }
    const bool written = putKey(out, subKey, fullName + ORV_W("\\") + child, reason);
    RegCloseKey(subKey);
    if (!written) return false;
  }
  return true;
}

WString temporaryName(const WString& fileName, unsigned attempt) {
  static std::atomic<unsigned> counter{0};
  return fileName + ORV_W(".") + lowerHex(GetCurrentProcessId(), 1) + ORV_W("-") + lowerHex(counter++ + attempt, 1) +
         ORV_W(".tmp");
}

}  // namespace

bool exportRegFile(const RegCommand& command, const WString& fileName, std::string* reason) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(command.root, command.path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    *reason = "The system was unable to find the specified registry key or value.";
    return false;
  }
  WString temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = temporaryName(fileName, attempt);
    file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    RegCloseKey(key);
    *reason = "Unable to write to the file " + toUtf8(fileName);
    return false;
  }
  RegTextWriter out(file);
  out.put(static_cast<WCHAR>(0xFEFF));
  out.put(ORV_W("Windows Registry Editor Version 5.00\r\n"));
  bool written = putKey(out, key, fullKeyName(command), reason);
  RegCloseKey(key);
  out.put(ORV_W("\r\n"));
  if (!out.flush() && written) {
    *reason = "Unable to write to the file " + toUtf8(fileName);
    written = false;
  }
  CloseHandle(file);
  if (written &&
      !MoveFileExW(temporary.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    *reason = "Unable to write to the file " + toUtf8(fileName);
    written = false;
  }
  if (!written) DeleteFileW(temporary.c_str());
  return written;
}

}  // namespace orvreg
