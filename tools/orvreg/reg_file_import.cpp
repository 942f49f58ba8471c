#include <string>

#include "orv_platform/text_encoding.h"
#include "reg_file.h"

namespace orvreg {
namespace {

constexpr DWORD kReadChunk = 64 * 1024;
const char kEditor5[] = "Windows Registry Editor Version 5.00";
const char kRegedit4[] = "REGEDIT4";

// Lines of a .reg file: UTF-16LE after its byte-order mark, UTF-8 after
// its mark, the ANSI code page otherwise. Any line end.
class RegLineReader {
 public:
  explicit RegLineReader(const WString& fileName) {
    file_ = CreateFileW(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
  }
  ~RegLineReader() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }
  RegLineReader(const RegLineReader&) = delete;
  RegLineReader& operator=(const RegLineReader&) = delete;

  bool isOpen() const { return file_ != INVALID_HANDLE_VALUE; }
  bool failed() const { return failed_; }
  bool binary() const { return zeroByte_; }

  bool next(WString& line) {
    if (!started_) start();
    const size_t width = utf16_ ? 2 : 1;
    std::string raw;
    for (;;) {
      while (at_ + width <= buffer_.size()) {
        const WCHAR unit = unitAt(at_);
        if (skipLineFeed_) {
          skipLineFeed_ = false;
          if (unit == '\n') {
            at_ += width;
            pending_ = at_;
            continue;
          }
        }
        if (unit == '\n' || unit == '\r') {
          raw.append(buffer_, pending_, at_ - pending_);
          at_ += width;
          pending_ = at_;
          skipLineFeed_ = unit == '\r';
          line = decode(raw);
          return true;
        }
        if (!utf16_ && unit == 0) zeroByte_ = true;
        at_ += width;
      }
      raw.append(buffer_, pending_, at_ - pending_);
      buffer_.erase(0, at_);
      at_ = pending_ = 0;
      if (!fill()) {
        if (raw.empty() && buffer_.empty()) return false;
        raw += buffer_;
        buffer_.clear();
        line = decode(raw);
        return true;
      }
    }
  }

 private:
  bool fill() {
    if (ended_) return false;
    const size_t kept = buffer_.size();
    buffer_.resize(kept + kReadChunk);
    DWORD read = 0;
    if (!ReadFile(file_, &buffer_[kept], kReadChunk, &read, nullptr)) {
      failed_ = true;
      read = 0;
    }
    buffer_.resize(kept + read);
    ended_ = read == 0;
    return read != 0;
  }
  void start() {
    started_ = true;
    while (buffer_.size() < 3 && fill()) {
    }
    if (buffer_.compare(0, 2, "\xFF\xFE") == 0) {
      utf16_ = true;
      at_ = pending_ = 2;
    } else if (buffer_.compare(0, 3, "\xEF\xBB\xBF") == 0) {
      codePage_ = CP_UTF8;
      at_ = pending_ = 3;
    }
  }
  WCHAR unitAt(size_t at) const {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(buffer_[i]); };
    return utf16_ ? static_cast<WCHAR>(byte(at) | (byte(at + 1) << 8)) : static_cast<WCHAR>(byte(at));
  }
  WString decode(const std::string& raw) const {
    WString text;
    if (utf16_) {
      text.resize(raw.size() / 2);
      for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<WCHAR>(static_cast<unsigned char>(raw[2 * i]) |
                                     (static_cast<unsigned char>(raw[2 * i + 1]) << 8));
      return text;
    }
    orv_platform::toUtf16(raw.data(), raw.size(), text, orv_platform::InvalidText::kReplace, codePage_);
    return text;
  }

  HANDLE file_ = INVALID_HANDLE_VALUE;
  std::string buffer_;
  size_t at_ = 0;
  size_t pending_ = 0;
  bool started_ = false;
  bool ended_ = false;
  bool failed_ = false;
  bool utf16_ = false;
  bool zeroByte_ = false;
  bool skipLineFeed_ = false;
  UINT codePage_ = CP_ACP;
};

bool isBlank(WCHAR c) { return c == ' ' || c == '\t'; }

WString trimmed(const WString& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool isAscii(const WString& text, const char* word) {
  size_t i = 0;
  for (; word[i] != 0; ++i)
    if (i >= text.size() || text[i] != static_cast<WCHAR>(word[i])) return false;
  return i == text.size();
}

int hexValue(WCHAR c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool parseHex(const WString& text, size_t maxDigits, unsigned long* value) {
  if (text.empty() || text.size() > maxDigits) return false;
  *value = 0;
  for (WCHAR c : text) {
    const int digit = hexValue(c);
    if (digit < 0) return false;
    *value = *value * 16 + static_cast<unsigned long>(digit);
  }
  return true;
}

// A quoted string from text[at] (the opening quote) on, escapes undone;
// at ends past the closing quote.
bool parseQuoted(const WString& text, size_t& at, WString* out) {
  if (at >= text.size() || text[at] != '"') return false;
  out->clear();
  for (++at; at < text.size(); ++at) {
    WCHAR c = text[at];
    if (c == '"') {
      ++at;
      return true;
    }
    if (c == '\\' && at + 1 < text.size()) {
      c = text[++at];
      if (c == 'n')
        c = '\n';
      else if (c == 'r')
        c = '\r';
      else if (c == '0')
        c = 0;
    }
    *out += c;
  }
  return false;
}

class RegImporter {
 public:
  RegImporter(bool apply, bool regedit4) : apply_(apply), regedit4_(regedit4) {}
  ~RegImporter() { closeKey(); }

  // One logical line (continuations joined); false with a reason.
  bool line(const WString& text, std::string* reason) {
    const WString content = trimmed(text);
    if (content.empty() || content[0] == ';') return true;
    if (content[0] == '[') return keyLine(content, reason);
    if (content[0] == '@' || content[0] == '"') return valueLine(content, reason);
    *reason = "not a line of a registry file";
    return false;
  }

 private:
  bool keyLine(const WString& content, std::string* reason) {
    closeKey();
    const size_t close = content.rfind(']');
    if (close == WString::npos || close < 2) {
      *reason = "a key line without \"]\"";
      return false;
    }
    WString name = content.substr(1, close - 1);
    const bool deleting = name[0] == '-';
    if (deleting) name.erase(0, 1);
    RegCommand key;
    if (!parseKey(name, &key, reason) || key.path.empty()) {
      *reason = "Invalid key name";
      return false;
    }
    if (!apply_) {
      inKey_ = !deleting;
      return true;
    }
    if (deleting) {
      const LONG status = RegDeleteTreeW(key.root, key.path.c_str());
      inKey_ = false;
      if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return true;
      *reason = "Unable to delete the key " + toUtf8(name);
      return false;
    }
    const LONG status =
        RegCreateKeyExW(key.root, key.path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
    inKey_ = true;
    if (status == ERROR_SUCCESS) return true;
    key_ = nullptr;
    *reason = "Unable to create the key " + toUtf8(name);
    return false;
  }

  bool valueLine(const WString& content, std::string* reason) {
    if (!inKey_) {
      *reason = "a value outside a key";
      return false;
    }
    WString name;
    size_t at = 0;
    if (content[0] == '@') {
      at = 1;
    } else if (!parseQuoted(content, at, &name)) {
      *reason = "a value name without its closing quote";
      return false;
    }
    while (at < content.size() && isBlank(content[at])) ++at;
    if (at >= content.size() || content[at] != '=') {
      *reason = "a value without \"=\"";
      return false;
    }
    const WString data = trimmed(content.substr(at + 1));
    DWORD type = REG_SZ;
    std::string bytes;
    if (data == ORV_W("-")) {
      if (!apply_ || key_ == nullptr) return true;
      const LONG status = RegDeleteValueW(key_, name.c_str());
      if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return true;
      *reason = "Unable to delete the value " + toUtf8(name);
      return false;
    }
    if (!decodeData(data, &type, &bytes)) {
      *reason = "data that is not of a registry file";
      return false;
    }
    if (!apply_ || key_ == nullptr) return true;
    if (RegSetValueExW(key_, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size())) != ERROR_SUCCESS) {
      *reason = "Unable to write the value " + toUtf8(name);
      return false;
    }
    return true;
  }

  bool decodeData(const WString& data, DWORD* type, std::string* bytes) const {
    if (!data.empty() && data[0] == '"') {
      size_t at = 0;
      WString text;
      if (!parseQuoted(data, at, &text)) return false;
      const WString rest = trimmed(data.substr(at));
      if (!rest.empty() && rest[0] != ';') return false;
      *type = REG_SZ;
      text += WCHAR(0);
      bytes->assign(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(WCHAR));
      return true;
    }
    const size_t colon = data.find(':');
    if (colon == WString::npos) return false;
    const WString tag = data.substr(0, colon);
    const WString rest = data.substr(colon + 1);
    if (tag == ORV_W("dword")) {
      unsigned long value = 0;
      if (!parseHex(trimmed(rest), 8, &value)) return false;
      *type = REG_DWORD;
      for (int i = 0; i < 4; ++i) *bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
      return true;
    }
    if (tag == ORV_W("hex")) {
      *type = REG_BINARY;
    } else if (tag.size() > 5 && tag.compare(0, 4, ORV_W("hex(")) == 0 && tag.back() == ')') {
      unsigned long number = 0;
      if (!parseHex(tag.substr(4, tag.size() - 5), 8, &number)) return false;
      *type = static_cast<DWORD>(number);
    } else {
      return false;
    }
    // Pairs of digits separated by commas; blanks around them.
    for (size_t at = 0; at < rest.size();) {
      while (at < rest.size() && isBlank(rest[at])) ++at;
      if (at >= rest.size()) break;
      if (rest[at] == ';') break;  // a comment after the data
      if (at + 1 >= rest.size() || hexValue(rest[at]) < 0 || hexValue(rest[at + 1]) < 0) return false;
      *bytes += static_cast<char>(hexValue(rest[at]) * 16 + hexValue(rest[at + 1]));
      at += 2;
      while (at < rest.size() && isBlank(rest[at])) ++at;
      if (at < rest.size() && rest[at] == ',')
        ++at;
      else if (at < rest.size() && rest[at] != ';')
        return false;
    }
    // REGEDIT4 holds the strings of these types as ANSI bytes.
    if (regedit4_ && (*type == REG_SZ || *type == REG_EXPAND_SZ || *type == REG_MULTI_SZ) && !bytes->empty()) {
      WString wide;
      orv_platform::toUtf16(bytes->data(), bytes->size(), wide, orv_platform::InvalidText::kReplace, CP_ACP);
      bytes->assign(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(WCHAR));
    }
    return true;
  }

  void closeKey() {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
  }

  const bool apply_;
  const bool regedit4_;
  HKEY key_ = nullptr;
  bool inKey_ = false;
};

// Hex data goes on over lines that end in a backslash.
bool continues(const WString& line) {
  const WString content = trimmed(line);
  return !content.empty() && content.back() == '\\' && content.find(ORV_W("=hex")) != WString::npos;
}

bool walk(const WString& fileName, bool apply, std::string* reason) {
  RegLineReader reader(fileName);
  if (!reader.isOpen()) {
    *reason = "Unable to open the file " + toUtf8(fileName);
    return false;
  }
  WString line;
  if (!reader.next(line)) {
    *reason = "The file is not a registry file.";
    return false;
  }
  const bool regedit4 = isAscii(trimmed(line), kRegedit4);
  RegImporter importer(apply, regedit4);
  unsigned long number = 1;
  while (reader.next(line)) {
    ++number;
    const unsigned long first = number;
    while (continues(line)) {
      WString more;
      if (!reader.next(more)) break;
      ++number;
      line = trimmed(line);
      line.pop_back();
      line += trimmed(more);
    }
    std::string why;
    if (!importer.line(line, &why)) {
      *reason =
          (apply ? "" : "The file is not a valid registry file: ") + why + " (line " + std::to_string(first) + ")";
      return false;
    }
  }
  if (reader.failed()) {
    *reason = "Unable to read the file " + toUtf8(fileName);
    return false;
  }
  return true;
}

}  // namespace

FileFormat sniffRegFile(const WString& fileName, std::string* reason) {
  RegLineReader reader(fileName);
  if (!reader.isOpen()) {
    *reason = "Unable to open the file " + toUtf8(fileName);
    return FileFormat::kOther;
  }
  WString line;
  if (!reader.next(line)) return FileFormat::kOther;
  const WString first = trimmed(line);
  if (isAscii(first, kEditor5)) return FileFormat::kRegistryEditor5;
  if (isAscii(first, kRegedit4)) return FileFormat::kRegedit4;
  return FileFormat::kOther;
}

// Checked whole first, so that a file that is no registry file changes nothing.
bool importRegFile(const WString& fileName, std::string* reason) {
  return walk(fileName, false, reason) && walk(fileName, true, reason);
}

}  // namespace orvreg
