#include "value_text.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace orvreg {
namespace {

struct TypeName {
  DWORD type;
  const char* name;
};

const TypeName kTypes[] = {
    {REG_NONE, "REG_NONE"},
    {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},
    {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, "REG_LINK"},
    {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_RESOURCE_LIST, "REG_RESOURCE_LIST"},
    {REG_FULL_RESOURCE_DESCRIPTOR, "REG_FULL_RESOURCE_DESCRIPTOR"},
    {REG_RESOURCE_REQUIREMENTS_LIST, "REG_RESOURCE_REQUIREMENTS_LIST"},
    {REG_QWORD, "REG_QWORD"},
};

const DWORD kWritableTypes[] = {REG_SZ,    REG_EXPAND_SZ, REG_MULTI_SZ,         REG_DWORD,
                                REG_QWORD, REG_BINARY,    REG_DWORD_BIG_ENDIAN, REG_NONE};

int hexDigit(WCHAR c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void appendUnits(const WString& text, std::string* bytes) {
  for (const WCHAR unit : text) {
    const uint16_t value = static_cast<uint16_t>(unit);
    bytes->push_back(static_cast<char>(value & 0xFF));
    bytes->push_back(static_cast<char>(value >> 8));
  }
  bytes->append(2, '\0');
}

// Decimal or 0x hexadecimal, at most `limit`.
bool parseNumber(const WString& data, uint64_t limit, uint64_t* value) {
  const bool hex = data.size() > 2 && data[0] == '0' && (data[1] == 'x' || data[1] == 'X');
  const unsigned base = hex ? 16 : 10;
  if (data.empty() || (data.size() == 2 && hex)) return false;
  uint64_t number = 0;
  for (size_t i = hex ? 2 : 0; i < data.size(); ++i) {
    const int digit = hexDigit(data[i]);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return false;
    if (number > (limit - static_cast<unsigned>(digit)) / base) return false;
    number = number * base + static_cast<unsigned>(digit);
  }
  *value = number;
  return true;
}

std::string hexBytes(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (const unsigned char byte : bytes) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0xF];
  }
  return text;
}

std::vector<WString> unitsToStrings(const std::string& bytes) {
  WString units(bytes.size() / 2, 0);
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<WCHAR>(static_cast<unsigned char>(bytes[2 * i]) |
                                  (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  std::vector<WString> strings;
  size_t start = 0;
  while (start < units.size()) {
    size_t end = units.find(WCHAR(0), start);
    if (end == WString::npos) end = units.size();
    if (end == start) break;  // the closing empty string
    strings.push_back(units.substr(start, end - start));
    start = end + 1;
  }
  return strings;
}

}  // namespace

bool typeFromName(const WString& name, DWORD* type) {
  for (const DWORD writable : kWritableTypes) {
    const std::string text = typeName(writable);
    if (_wcsicmp(name.c_str(), WString(text.begin(), text.end()).c_str()) == 0) {
      *type = writable;
      return true;
    }
  }
  if (_wcsicmp(name.c_str(), ORV_W("REG_DWORD_LITTLE_ENDIAN")) == 0) {
    *type = REG_DWORD;  // the same type under its other name
    return true;
  }
  return false;
}

const char* typeName(DWORD type) {
  for (const TypeName& entry : kTypes) {
    if (entry.type == type) return entry.name;
  }
  return "REG_UNKNOWN";
}

bool encodeData(DWORD type, const WString& data, const WString& separator, std::string* bytes, std::string* reason) {
  bytes->clear();
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_NONE:  // stored as text, as reg.exe does
      appendUnits(data, bytes);
      return true;
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
    case REG_QWORD: {
      uint64_t value = 0;
      const size_t size = type == REG_QWORD ? 8 : 4;
      if (!parseNumber(data, size == 8 ? UINT64_MAX : 0xFFFFFFFFu, &value)) {
        *reason = "Invalid value specified for /d. A number is expected.";
        return false;
      }
      for (size_t i = 0; i < size; ++i) {
        const size_t shift = 8 * (type == REG_DWORD_BIG_ENDIAN ? size - 1 - i : i);
        bytes->push_back(static_cast<char>((value >> shift) & 0xFF));
      }
      return true;
    }
    case REG_BINARY: {
      const WString digits = data.size() % 2 == 1 ? ORV_W("0") + data : data;
      for (size_t i = 0; i < digits.size(); i += 2) {
        const int high = hexDigit(digits[i]);
        const int low = hexDigit(digits[i + 1]);
        if (high < 0 || low < 0) {
          *reason = "Invalid value specified for /d. Hexadecimal digits are expected.";
          return false;
        }
        bytes->push_back(static_cast<char>(high * 16 + low));
      }
      return true;
    }
    case REG_MULTI_SZ: {
      const WString split = separator.empty() ? WString(ORV_W("\\0")) : separator;
      size_t start = 0;
      while (start < data.size()) {
        size_t end = data.find(split, start);
        if (end == WString::npos) end = data.size();
        if (end == start) {
          *reason = "Invalid value specified for /d. An element of a multi-string is empty.";
          return false;
        }
        appendUnits(data.substr(start, end - start), bytes);
        start = end + split.size();
      }
      bytes->append(2, '\0');
      return true;
    }
    default: *reason = "Unsupported registry data type"; return false;
  }
}

std::string formatData(DWORD type, const std::string& bytes) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      const std::vector<WString> strings = unitsToStrings(bytes);
      return strings.empty() ? std::string() : toUtf8(strings[0]);
    }
    case REG_MULTI_SZ: {
      std::string text;
      for (const WString& element : unitsToStrings(bytes)) text += (text.empty() ? "" : "\\0") + toUtf8(element);
      return text;
    }
    case REG_DWORD:
      if (bytes.size() == 4) {
        DWORD value = 0;
        std::memcpy(&value, bytes.data(), sizeof(value));
        char text[16];
        snprintf(text, sizeof(text), "0x%x", static_cast<unsigned>(value));
        return text;
      }
      return hexBytes(bytes);
    case REG_DWORD_BIG_ENDIAN:
    case REG_QWORD:
      if (bytes.size() == (type == REG_QWORD ? 8u : 4u)) {
        unsigned long long value = 0;
        for (size_t i = 0; i < bytes.size(); ++i) {
          const size_t at = type == REG_QWORD ? bytes.size() - 1 - i : i;
          value = (value << 8) | static_cast<unsigned char>(bytes[at]);
        }
        char text[24];
        snprintf(text, sizeof(text), "0x%llx", value);
        return text;
      }
      return hexBytes(bytes);
    default: return hexBytes(bytes);
  }
}

}  // namespace orvreg
