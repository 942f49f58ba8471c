#include "orv_registry_file.h"

#include <atomic>
#include <string>

#include "orv_catch.h"
#include "orv_directory.h"
#include "orv_platform/paths.h"
#include "orv_platform/text_encoding.h"

namespace {

using WText = std::basic_string<WCHAR>;

constexpr WCHAR kKeySeparator = ORV_W('\\');
constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;
constexpr DWORD kReadChunk = 64 * 1024;

const WCHAR* const kDwordTag = ORV_W("REG_DWORD");
const WCHAR* const kQwordTag = ORV_W("REG_QWORD");
const WCHAR* const kStringTag = ORV_W("REG_SZ");
const WCHAR* const kExpandTag = ORV_W("REG_SZ_EXPAND");
const WCHAR* const kMultiTag = ORV_W("REG_SZ_MULTI");
const WCHAR* const kBinaryTag = ORV_W("REG_BINARY");
const WCHAR* const kTypeTagPrefix = ORV_W("REG_TYPE_");

struct Root {
  HKEY key;
  const WCHAR* name;
};

// The import tests the names in this order; HKEY_LOCAL_MACHINE is also the
// root of any other name.
const Root kRoots[] = {
    {HKEY_LOCAL_MACHINE, ORV_W("HKEY_LOCAL_MACHINE")},
    {HKEY_CURRENT_USER, ORV_W("HKEY_CURRENT_USER")},
    {HKEY_CURRENT_CONFIG, ORV_W("HKEY_CURRENT_CONFIG")},
    {HKEY_CLASSES_ROOT, ORV_W("HKEY_CLASSES_ROOT")},
    {HKEY_USERS, ORV_W("HKEY_USERS")},
};

WText wtextOf(const CORVWCharString& text) { return WText(text.getTextOrEmpty(), text.getLength()); }

CORVWCharString stringOf(const WText& text) {
  return text.empty() ? CORVWCharString()
                      : CORVWCharString(CORVBuffer<WCHAR>(text.data(), static_cast<ULONG>(text.size())));
}

// One record per thing left out or refused: the export names the key, the
// value and why; the import names the file and why.
class CORVRegistryFileRecord : public CORVLogException1 {
 public:
  CORVRegistryFileRecord(const WText& format, const WText& first, const WText& second, DWORD errorCode,
                         const WCHAR* methodName, ULONG line) noexcept
      : CORVLogException1({format.c_str(), first.c_str(), second.c_str()}, errorCode, ORV_RESULT_PASS_FAIL,
                          ORV_W("CORVRegistryKey"), methodName, ORV_SOURCE_FILE, line, ORV_OUTPUT_TEXT, true, false) {}
};

void reportValue(const WText& section, const WText& name, const WCHAR* why, ULONG line) {
  const WText format = WText(ORV_W("Registry value not exported, ")) + why + ORV_W(" ( key: %s, value: \"%s\" )");
  CORVRegistryFileRecord record(format, section, name, ORV_NO_ERROR_CODE, ORV_W("save"), line);
}

void reportKey(const WText& section, const WCHAR* why, DWORD error, ULONG line) {
  const WText format = WText(ORV_W("Registry key not exported, ")) + why + ORV_W(" ( key: %s )");
  CORVRegistryFileRecord record(format, section, WText(), error, ORV_W("save"), line);
}

void reportFile(const WText& fileName, const WCHAR* why, DWORD error, ULONG line) {
  const WText format = WText(ORV_W("Unable to import registry file, ")) + why + ORV_W(" ( %s )");
  CORVRegistryFileRecord record(format, fileName, WText(), error, ORV_W("restore"), line);
}

// Blanks as the profile reader drops them around names and values.
bool isProfileBlank(WCHAR c) { return c == ORV_W(' ') || (c >= ORV_W('\t') && c <= ORV_W('\r')) || c == 0x1A; }

bool holdsLineBreak(const WCHAR* text, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (text[i] == ORV_W('\r') || text[i] == ORV_W('\n')) return true;
  return false;
}

WText trimmed(const WText& text, size_t begin = 0, size_t end = WText::npos) {
  if (end > text.size()) end = text.size();
  while (begin < end && isProfileBlank(text[begin])) ++begin;
  while (end > begin && isProfileBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// ---- Export

// The profile calls write a new file in the ANSI code page on Windows and
// in UTF-8 elsewhere: text the conversion changes (characters outside the
// code page, a lone surrogate) would come back as something else.
bool survivesFileEncoding(const WCHAR* text, size_t size) {
  using orv_platform::InvalidText;
  std::string narrow;
  WText decoded;
  return orv_platform::fromUtf16(text, size, narrow, InvalidText::kReplace, CP_ACP) &&
         orv_platform::toUtf16(narrow.data(), narrow.size(), decoded, InvalidText::kReplace, CP_ACP) &&
         decoded.compare(0, WText::npos, text, size) == 0;
}

// Every other root is written as the current user's.
WText sectionNameOf(HKEY hRootKey, const WText& keyPath) {
  WText section = ORV_W("HKEY_CURRENT_USER");
  for (const Root& root : kRoots)
    if (root.key == hRootKey) section = root.name;
  return section + kKeySeparator + keyPath;
}

// A line break would end the line early and let the rest pass for lines of
// its own; the reader drops blanks at the ends of names.
const WCHAR* sectionProblem(const WText& section) {
  if (holdsLineBreak(section.data(), section.size())) return ORV_W("its name holds a line break");
  if (section.empty() || isProfileBlank(section.back()) || section.back() < 0x20)
    return ORV_W("its name ends in a blank or control character");
  if (!survivesFileEncoding(section.data(), section.size())) return ORV_W("the file's encoding cannot hold its name");
  return nullptr;
}

// Besides that, a line is read up to its first "=" and one that begins with
// "[" or ";" is a header or a comment.
const WCHAR* valueNameProblem(const WCHAR* name, size_t length) {
  if (length == 0) return nullptr;  // the default value
  for (size_t i = 0; i < length; ++i) {
    if (name[i] == ORV_W('\r') || name[i] == ORV_W('\n')) return ORV_W("its name holds a line break");
    if (name[i] == ORV_W('=')) return ORV_W("its name holds \"=\"");
  }
  const WCHAR first = name[0];
  const WCHAR last = name[length - 1];
  if (first <= 0x20 || last <= 0x20 || first == 0x7F || last == 0x7F)
    return ORV_W("its name begins or ends with a blank or control character");
  if (first == ORV_W('[') || first == ORV_W(';')) return ORV_W("its name begins with \"[\" or \";\"");
  if (!survivesFileEncoding(name, length)) return ORV_W("the file's encoding cannot hold its name");
  return nullptr;
}

WCHAR hexDigit(unsigned value) { return static_cast<WCHAR>(value < 10 ? ORV_W('0') + value : ORV_W('A') + value - 10); }

// Takes the text built so far and empties it: the codes of a large value
// leave in pieces rather than as one text three times its size.
using Spill = void (*)(void* context, WText& text);
struct Spiller {
  Spill spill = nullptr;
  void* context = nullptr;
  void operator()(WText& text) const {
    if (spill != nullptr && text.size() >= kReadChunk) spill(context, text);
  }
};

// Two upper-case digits per byte, separated by blanks.
void appendCodes(WText& out, const BYTE* data, size_t count, const Spiller& spill = Spiller()) {
  for (size_t i = 0; i < count; ++i) {
    if (i != 0) out += ORV_W(' ');
    out += hexDigit(data[i] >> 4);
    out += hexDigit(data[i] & 0xFu);
    if ((i & 0x3FFF) == 0x3FFF) spill(out);
  }
}

void appendHexNumber(WText& out, unsigned long long value, int digits) {
  out += ORV_W("0x");
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
    out += hexDigit(static_cast<unsigned>(value >> shift) & 0xFu);
}

void appendDecimal(WText& out, unsigned long value) {
  WCHAR digits[12];
  int count = 0;
  do {
    digits[count++] = static_cast<WCHAR>(ORV_W('0') + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) out += digits[--count];
}

const WCHAR* unitsOf(const BYTE* data) { return reinterpret_cast<const WCHAR*>(data); }

// Text that the quoted form gives back exactly: one terminator at the end
// and no zero, line break or character outside the file's encoding before.
bool isQuotableText(const BYTE* data, DWORD size) {
  if (size < sizeof(WCHAR) || size % sizeof(WCHAR) != 0) return false;
  const WCHAR* units = unitsOf(data);
  const size_t length = size / sizeof(WCHAR) - 1;
  if (units[length] != 0) return false;
  for (size_t i = 0; i < length; ++i)
    if (units[i] == 0) return false;
  return !holdsLineBreak(units, length) && survivesFileEncoding(units, length);
}

// A multi-string whose data ends in two terminators: its elements are the
// runs up to each zero before the last one.
bool isListedMultiString(const BYTE* data, DWORD size) {
  if (size % sizeof(WCHAR) != 0) return false;
  const size_t units = size / sizeof(WCHAR);
  return units >= 2 && unitsOf(data)[units - 1] == 0 && unitsOf(data)[units - 2] == 0;
}

void appendMultiStringCodes(WText& out, const BYTE* data, DWORD size, const Spiller& spill) {
  const size_t units = size / sizeof(WCHAR) - 1;  // the closing terminator is implied
  size_t begin = 0;
  for (size_t i = 0; i < units; ++i) {
    if (unitsOf(data)[i] != 0) continue;
    if (begin != 0) out += ORV_W(',');
    appendCodes(out, data + begin * sizeof(WCHAR), (i + 1 - begin) * sizeof(WCHAR), spill);
    begin = i + 1;
  }
}

void appendTag(WText& out, const WCHAR* tag) {
  out += tag;
  out += ORV_W(':');
}

// The line's value for one registry value, the tag of its type when that
// gives the data back exactly, the type's number and the bytes otherwise.
void appendEntryValue(WText& out, DWORD type, const BYTE* data, DWORD size, const Spiller& spill = Spiller()) {
  switch (type) {
    case REG_DWORD:
      if (size != sizeof(DWORD)) break;
      appendTag(out, kDwordTag);
      appendHexNumber(out, *reinterpret_cast<const DWORD*>(data), 8);
      return;
    case REG_QWORD: {
      if (size != sizeof(ULONGLONG)) break;
      ULONGLONG value = 0;
      for (int i = 7; i >= 0; --i) value = (value << 8) | data[i];
      appendTag(out, kQwordTag);
      appendHexNumber(out, value, 16);
      return;
    }
    case REG_SZ:
    case REG_EXPAND_SZ:
      if (!isQuotableText(data, size)) break;
      appendTag(out, type == REG_SZ ? kStringTag : kExpandTag);
      out += ORV_W('"');
      out.append(unitsOf(data), size / sizeof(WCHAR) - 1);
      out += ORV_W('"');
      return;
    case REG_MULTI_SZ:
      if (size != 0 && !isListedMultiString(data, size)) break;
      appendTag(out, kMultiTag);
      if (size != 0) appendMultiStringCodes(out, data, size, spill);
      return;
    case REG_BINARY: {
      appendTag(out, kBinaryTag);
      if (size == 0) return;
      appendCodes(out, data, size, spill);
      out += ORV_W(" 00 00");  // the closing codes of a string, which the import drops
      return;
    }
  }
  out += kTypeTagPrefix;
  appendDecimal(out, type);
  out += ORV_W(':');
  appendCodes(out, data, size, spill);
}

int groupOf(DWORD type) {
  switch (type) {
    case REG_DWORD: return 0;
    case REG_QWORD: return 1;
    case REG_SZ: return 2;
    case REG_EXPAND_SZ: return 3;
    case REG_MULTI_SZ: return 4;
    case REG_BINARY: return 5;
  }
  return 6;
}
constexpr int kGroups = 7;

// Where a key's lines go. A new file is written as a stream, in the bytes
// the profile calls write (the ANSI code page, "[section]" and
// "name=value" lines ending in CR LF); a file that is being added to is
// written through the profile calls, a section in one step when it is new.
class SectionSink {
 public:
  virtual ~SectionSink() = default;
  virtual void begin(const WText& section) = 0;
  // The line's text comes in pieces; endLine closes it.
  virtual void put(const WText& piece) = 0;
  virtual void endLine() = 0;
  // False when the section could not be written.
  virtual bool end() = 0;
};

class StreamSink : public SectionSink {
 public:
  explicit StreamSink(HANDLE file) : m_file(file) {}
  void begin(const WText& section) override {
    m_pending += ORV_W('[');
    m_pending += section;
    m_pending += ORV_W("]\r\n");
  }
  void put(const WText& piece) override {
    m_pending += piece;
    if (m_pending.size() >= kReadChunk) flush();
  }
  void endLine() override { put(ORV_W("\r\n")); }
  bool end() override { return flush(); }
  bool flush() {
    if (m_pending.empty() || !m_ok) {
      m_pending.clear();
      return m_ok;
    }
    // A piece never ends inside a surrogate pair that the conversion would split.
    size_t count = m_pending.size();
    const WCHAR last = m_pending[count - 1];
    if (last >= 0xD800 && last <= 0xDBFF && count > 1) --count;
    std::string bytes;
    DWORD written = 0;
    m_ok = orv_platform::fromUtf16(m_pending.data(), count, bytes, orv_platform::InvalidText::kReplace, CP_ACP) &&
           WriteFile(m_file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
    m_pending.erase(0, count);
    return m_ok;
  }

 private:
  HANDLE m_file;
  WText m_pending;
  bool m_ok = true;
};

class ProfileSink : public SectionSink {
 public:
  explicit ProfileSink(const CORVWCharString& fileName) : m_fileName(fileName) {}
  void begin(const WText& section) override {
    m_section = section;
    m_entries.clear();
  }
  void put(const WText& piece) override { m_entries += piece; }
  void endLine() override { m_entries += WCHAR(0); }
  bool end() override {
    if (m_entries.empty()) return true;
    m_entries += WCHAR(0);
    const bool written = writeSection();
    WText().swap(m_entries);
    return written;
  }

 private:
  // m_entries: "name=value" items, each ended by a zero, and a closing zero.
  bool writeSection() {
    const WCHAR* file = m_fileName.getTextOrEmpty();
    WCHAR probe[4] = {0, 0, 0, 0};
    if (GetPrivateProfileSectionW(m_section.c_str(), probe, 4, file) == 0) {
      if (WritePrivateProfileSectionW(m_section.c_str(), m_entries.c_str(), file)) return true;
      reportKey(m_section, ORV_W("its section could not be written"), GetLastError(), __LINE__);
      return false;
    }
    // The section is there already: its other lines stay.
    bool complete = true;
    for (size_t at = 0; m_entries[at] != 0;) {
      const size_t end = m_entries.find(WCHAR(0), at);
      const size_t equals = m_entries.find(ORV_W('='), at);
      const WText key = m_entries.substr(at, equals - at);
      const WText value = m_entries.substr(equals + 1, end - equals - 1);
      if (!WritePrivateProfileStringW(m_section.c_str(), key.c_str(), value.c_str(), file)) {
        reportValue(m_section, key, ORV_W("its line could not be written"), __LINE__);
        complete = false;
      }
      at = end + 1;
    }
    return complete;
  }

  const CORVWCharString& m_fileName;
  WText m_section;
  WText m_entries;
};

// Writes one key's section and then its subkeys'. A first pass gathers the
// names of the values by type group; the second reads each value by name
// into one buffer and writes its line, so that memory holds the names and
// the largest value, never all the data.
class Exporter {
 public:
  explicit Exporter(SectionSink& sink) : m_sink(sink) {}

  bool exportKey(HKEY hRootKey, const WText& keyPath) {
    const WText section = sectionNameOf(hRootKey, keyPath);
    HKEY key = nullptr;
    const LONG status = RegOpenKeyExW(hRootKey, keyPath.c_str(), 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) {
      reportKey(section, ORV_W("it cannot be opened"), static_cast<DWORD>(status), __LINE__);
      return false;
    }
    bool complete = false;
    try {
      complete = exportValues(key, section);
      complete = exportSubKeys(key, hRootKey, keyPath) && complete;
    } catch (...) {
      RegCloseKey(key);
      throw;
    }
    RegCloseKey(key);
    return complete;
  }

 private:
  // Names by group, each ended by a zero.
  bool gatherNames(HKEY key, const WText& section, WText (&groups)[kGroups], bool& anyValue) {
    DWORD longestName = 0;
    LONG status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                                   nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) {
      reportKey(section, ORV_W("its values cannot be counted"), static_cast<DWORD>(status), __LINE__);
      return false;
    }
    WText name(longestName + 1, 0);
    bool complete = true;
    for (DWORD index = 0;;) {
      DWORD nameLength = static_cast<DWORD>(name.size());
      DWORD type = REG_NONE;
      status = RegEnumValueW(key, index, &name[0], &nameLength, nullptr, &type, nullptr, nullptr);
      if (status == ERROR_NO_MORE_ITEMS) break;
      if (status == ERROR_MORE_DATA && name.size() < 32768) {  // a longer name came since it was measured
        name.assign(name.size() * 2, 0);
        continue;
      }
      if (status != ERROR_SUCCESS) {
        reportKey(section, ORV_W("its values cannot be read"), static_cast<DWORD>(status), __LINE__);
        return false;
      }
      ++index;
      anyValue = true;
      const WCHAR* problem = valueNameProblem(name.data(), nameLength);
      if (problem != nullptr) {
        reportValue(section, WText(name.data(), nameLength), problem, __LINE__);
        complete = false;
        continue;
      }
      WText& group = groups[groupOf(type)];
      group.append(name.data(), nameLength);
      group += WCHAR(0);
    }
    return complete;
  }

  bool exportValues(HKEY key, const WText& section) {
    WText groups[kGroups];
    bool anyValue = false;
    bool complete = gatherNames(key, section, groups, anyValue);
    if (!anyValue) return complete;
    const WCHAR* problem = sectionProblem(section);
    if (problem != nullptr) {
      reportKey(section, problem, ORV_NO_ERROR_CODE, __LINE__);
      return false;
    }
    bool begun = false;
    std::basic_string<BYTE> data;
    WText line;
    for (const WText& group : groups) {
      for (size_t at = 0; at < group.size(); at = group.find(WCHAR(0), at) + 1) {
        const WCHAR* name = group.c_str() + at;
        DWORD type = REG_NONE;
        if (!readValue(key, name, type, data)) continue;  // gone since the names were read
        if (!begun) m_sink.begin(section);
        begun = true;
        line.assign(name);
        line += ORV_W('=');
        const Spiller spill{[](void* sink, WText& text) {
                              static_cast<SectionSink*>(sink)->put(text);
                              text.clear();
                            },
                            &m_sink};
        appendEntryValue(line, type, data.data(), static_cast<DWORD>(data.size()), spill);
        m_sink.put(line);
        m_sink.endLine();
        WText().swap(line);
      }
    }
    if (begun && !m_sink.end()) {
      reportKey(section, ORV_W("its section could not be written"), GetLastError(), __LINE__);
      return false;
    }
    return complete;
  }

  // The value's type and data into the one buffer; false when it is gone.
  static bool readValue(HKEY key, const WCHAR* name, DWORD& type, std::basic_string<BYTE>& data) {
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    for (int attempt = 0; attempt < 8; ++attempt) {  // it may grow between the calls
      data.resize(size);
      DWORD got = size;
      const LONG status = RegQueryValueExW(key, name, nullptr, &type, size == 0 ? nullptr : &data[0], &got);
      if (status == ERROR_SUCCESS) {
        data.resize(got);
        return true;
      }
      if (status != ERROR_MORE_DATA) return false;
      size = got;
    }
    return false;
  }

  bool exportSubKeys(HKEY key, HKEY hRootKey, const WText& keyPath) {
    DWORD longestSubKey = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longestSubKey, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
      longestSubKey = 255;
    WText name(longestSubKey + 1, 0);
    bool complete = true;
    for (DWORD index = 0;;) {
      DWORD length = static_cast<DWORD>(name.size());
      const LONG status = RegEnumKeyExW(key, index, &name[0], &length, nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_MORE_DATA && name.size() < 32768) {
        name.assign(name.size() * 2, 0);
        continue;
      }
      if (status != ERROR_SUCCESS) break;
      ++index;
      const WText subKeyPath =
          keyPath.empty() ? WText(name.data(), length) : keyPath + kKeySeparator + WText(name.data(), length);
      complete = exportKey(hRootKey, subKeyPath) && complete;
    }
    return complete;
  }

  SectionSink& m_sink;
};

void createFolderOf(const CORVWCharString& fileName) {
  ULONG separator = 0;
  if (!fileName.find(CORVWCharString(orv_platform::kPathSeparator), 1, CORVWCharString::fromEnd, separator) ||
      separator == 0)
    return;
  CORVDirectory folder(CORVWCharString(CORVBuffer<WCHAR>(fileName.getBuffer(), separator)));
  if (!folder.isValidDirectory()) folder.createDirectoryPath();
}

// A new empty file of a name of its own beside the target, open for
// writing: the same folder, so that renaming it over the target replaces it
// in one step.
HANDLE createTemporaryBeside(const CORVWCharString& fileName, CORVWCharString& temporary) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    WText name = wtextOf(fileName) + ORV_W(".");
    appendDecimal(name, GetCurrentProcessId());
    name += ORV_W('-');
    appendDecimal(name, counter++);
    name += ORV_W(".tmp");
    const HANDLE file =
        CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      temporary = stringOf(name);
      return file;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return INVALID_HANDLE_VALUE;
}

// ---- Import

HKEY rootOf(const WText& rootText) {
  for (const Root& root : kRoots)
    if (rootText == root.name) return root.key;
  return HKEY_LOCAL_MACHINE;
}

int hexValue(WCHAR c) {
  if (c >= ORV_W('0') && c <= ORV_W('9')) return c - ORV_W('0');
  if (c >= ORV_W('A') && c <= ORV_W('F')) return c - ORV_W('A') + 10;
  if (c >= ORV_W('a') && c <= ORV_W('f')) return c - ORV_W('a') + 10;
  return -1;
}

// Pairs of digits three characters apart, as long as two remain, appended
// to bytes; false for a pair that is not hexadecimal.
bool appendBytesOfCodes(const WCHAR* codes, size_t length, std::basic_string<BYTE>& bytes) {
  const size_t pairs = length < 2 ? 0 : (length - 2) / 3 + 1;
  bytes.reserve(bytes.size() + pairs);
  for (size_t i = 0; i < pairs; ++i) {
    const int high = hexValue(codes[3 * i]);
    const int low = hexValue(codes[3 * i + 1]);
    if (high < 0 || low < 0) return false;
    bytes += static_cast<BYTE>(high * 16 + low);
  }
  return true;
}

// "0x" optional, then 1 to maxDigits hexadecimal digits.
bool parseHexNumber(const WText& text, int maxDigits, unsigned long long& value) {
  size_t at = 0;
  if (text.size() > 2 && text[0] == ORV_W('0') && (text[1] == ORV_W('x') || text[1] == ORV_W('X'))) at = 2;
  if (at == text.size() || text.size() - at > static_cast<size_t>(maxDigits)) return false;
  value = 0;
  for (; at < text.size(); ++at) {
    const int digit = hexValue(text[at]);
    if (digit < 0) return false;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return true;
}

bool parseDecimalType(const WText& text, DWORD& type) {
  if (text.empty() || text.size() > 10) return false;
  unsigned long long value = 0;
  for (WCHAR c : text) {
    if (c < ORV_W('0') || c > ORV_W('9')) return false;
    value = value * 10 + static_cast<unsigned>(c - ORV_W('0'));
  }
  if (value > 0xFFFFFFFFull) return false;
  type = static_cast<DWORD>(value);
  return true;
}

void appendUnits(std::basic_string<BYTE>& bytes, const WCHAR* units, size_t count) {
  bytes.append(reinterpret_cast<const BYTE*>(units), count * sizeof(WCHAR));
}

// The type and bytes of one line's value; false for a line not of the
// export's form.
bool decodeEntryValue(const WText& entry, DWORD& type, std::basic_string<BYTE>& bytes) {
  const size_t colon = entry.find(ORV_W(':'));
  if (colon == WText::npos) return false;
  const WText tag = entry.substr(0, colon);
  const WCHAR* data = entry.data() + colon + 1;
  const size_t length = entry.size() - colon - 1;
  bytes.clear();
  if (tag == kDwordTag) {
    ULONG number = 0;
    if (!stringOf(WText(data, length)).toNumber(number, CORVWCharString::nsHex, true)) return false;
    type = REG_DWORD;
    const DWORD value = number;
    bytes.append(reinterpret_cast<const BYTE*>(&value), sizeof(value));
    return true;
  }
  if (tag == kQwordTag) {
    unsigned long long number = 0;
    if (!parseHexNumber(WText(data, length), 16, number)) return false;
    type = REG_QWORD;
    for (int i = 0; i < 8; ++i) bytes += static_cast<BYTE>(number >> (8 * i));
    return true;
  }
  if (tag == kStringTag || tag == kExpandTag) {
    // Only the outer quotes go.
    if (length < 2 || data[0] != ORV_W('"') || data[length - 1] != ORV_W('"')) return false;
    type = tag == kStringTag ? REG_SZ : REG_EXPAND_SZ;
    appendUnits(bytes, data + 1, length - 2);
    const WCHAR terminator = 0;
    appendUnits(bytes, &terminator, 1);
    return true;
  }
  if (tag == kBinaryTag) {
    if (!appendBytesOfCodes(data, length, bytes) || (length != 0 && bytes.empty())) return false;
    // The export's closing "00 00" is not part of the data.
    if (bytes.size() >= 2 && bytes[bytes.size() - 1] == 0 && bytes[bytes.size() - 2] == 0)
      bytes.resize(bytes.size() - 2);
    type = REG_BINARY;
    return true;
  }
  if (tag == kMultiTag) {
    // Each element's codes hold its terminator; the list's own follows.
    type = REG_MULTI_SZ;
    if (length == 0) return true;
    for (size_t begin = 0; begin <= length;) {
      size_t end = begin;
      while (end < length && data[end] != ORV_W(',')) ++end;
      const size_t before = bytes.size();
      if (!appendBytesOfCodes(data + begin, end - begin, bytes) || (end != begin && bytes.size() == before))
        return false;
      begin = end + 1;
    }
    bytes.append(2, 0);
    return true;
  }
  const size_t prefix = WText(kTypeTagPrefix).size();
  if (tag.compare(0, prefix, kTypeTagPrefix) == 0 && parseDecimalType(tag.substr(prefix), type)) {
    // Strict: exactly the codes the export writes.
    if (length % 3 != (length == 0 ? 0u : 2u)) return false;
    for (size_t i = 2; i < length; i += 3)
      if (data[i] != ORV_W(' ')) return false;
    return appendBytesOfCodes(data, length, bytes);
  }
  return false;
}

// Reads a file line by line in the profile calls' encodings: UTF-16 with
// its byte-order mark, UTF-8 with its mark, the ANSI code page otherwise.
class LineReader {
 public:
  explicit LineReader(const CORVWCharString& fileName) {
    m_file = CreateFileW(fileName.getTextOrEmpty(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    m_error = m_file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
  }
  ~LineReader() {
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
  }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  bool isOpen() const { return m_file != INVALID_HANDLE_VALUE; }
  DWORD error() const { return m_error; }
  // True when the file's bytes hold a zero outside UTF-16: not a text file.
  bool sawZeroByte() const { return m_zeroByte; }

  // False at the end of the file or on a read error (error() then says so).
  bool next(WText& line) {
    if (!m_started) start();
    std::string raw;
    const size_t width = m_utf16 ? 2 : 1;
    for (;;) {
      while (m_at + width <= m_buffer.size()) {
        const WCHAR unit = unitAt(m_at);
        if (m_skipLineFeed) {
          // CR LF is one line end.
          m_skipLineFeed = false;
          if (unit == ORV_W('\n')) {
            m_at += width;
            m_pending = m_at;
            continue;
          }
        }
        if (unit == ORV_W('\n') || unit == ORV_W('\r')) {
          raw.append(m_buffer, m_pending, m_at - m_pending);
          m_at += width;
          m_pending = m_at;
          m_skipLineFeed = unit == ORV_W('\r');
          line = decode(raw);
          return true;
        }
        if (!m_utf16 && m_buffer[m_at] == 0) m_zeroByte = true;
        m_at += width;
      }
      raw.append(m_buffer, m_pending, m_at - m_pending);
      m_buffer.erase(0, m_at);
      m_at = 0;
      m_pending = 0;
      if (!fill()) {
        if (raw.empty() && m_buffer.empty()) return false;
        raw += m_buffer;  // a stray last byte of UTF-16
        m_buffer.clear();
        line = decode(raw);
        return true;
      }
    }
  }

 private:
  bool fill() {
    if (m_ended) return false;
    const size_t kept = m_buffer.size();
    m_buffer.resize(kept + kReadChunk);
    DWORD read = 0;
    if (!ReadFile(m_file, &m_buffer[kept], kReadChunk, &read, nullptr)) {
      m_error = GetLastError();
      read = 0;
    }
    m_buffer.resize(kept + read);
    if (read == 0) m_ended = true;
    return read != 0;
  }

  void start() {
    m_started = true;
    while (m_buffer.size() < 3 && fill()) {
    }
    if (m_buffer.compare(0, 2, "\xFF\xFE") == 0) {
      m_utf16 = true;
      m_at = m_pending = 2;
    } else if (m_buffer.compare(0, 3, "\xEF\xBB\xBF") == 0) {
      m_codePage = CP_UTF8;
      m_at = m_pending = 3;
    }
  }

  WCHAR unitAt(size_t at) const {
    if (m_utf16)
      return static_cast<WCHAR>(static_cast<BYTE>(m_buffer[at]) | (static_cast<BYTE>(m_buffer[at + 1]) << 8));
    return static_cast<WCHAR>(static_cast<BYTE>(m_buffer[at]));
  }

  WText decode(const std::string& raw) {
    WText text;
    if (m_utf16) {
      text.resize(raw.size() / 2);
      for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<WCHAR>(static_cast<BYTE>(raw[2 * i]) | (static_cast<BYTE>(raw[2 * i + 1]) << 8));
    } else if (!raw.empty()) {
      orv_platform::toUtf16(raw.data(), raw.size(), text, orv_platform::InvalidText::kReplace, m_codePage);
    }
    // The profile calls see C strings: a zero unit ends what the line says.
    const size_t zero = text.find(WCHAR(0));
    if (zero != WText::npos) text.resize(zero);
    return text;
  }

  HANDLE m_file = INVALID_HANDLE_VALUE;
  DWORD m_error = ERROR_SUCCESS;
  std::string m_buffer;
  size_t m_at = 0;
  size_t m_pending = 0;
  bool m_started = false;
  bool m_ended = false;
  bool m_utf16 = false;
  bool m_zeroByte = false;
  bool m_skipLineFeed = false;
  UINT m_codePage = CP_ACP;
};

enum class LineKind { kBlank, kHeader, kEntry, kOther };

// A header is "[" up to the line's last "]"; an entry a name, "=" and a value.
LineKind classify(const WText& line, WText& name, WText& value) {
  const WText text = trimmed(line);
  if (text.empty() || text[0] == ORV_W(';')) return LineKind::kBlank;
  const size_t close = text.rfind(ORV_W(']'));
  if (text[0] == ORV_W('[') && close != WText::npos && close > 0) {
    name = trimmed(text, 1, close);
    return LineKind::kHeader;
  }
  const size_t equals = text.find(ORV_W('='));
  if (equals == WText::npos) return LineKind::kOther;
  name = trimmed(text, 0, equals);
  value = trimmed(text, equals + 1);
  return LineKind::kEntry;
}

// The root and the key path of a section named "ROOT\path".
bool keyOfSection(const WText& section, HKEY& root, WText& keyPath) {
  const size_t separator = section.find(kKeySeparator);
  if (separator == WText::npos || separator == 0) return false;
  root = rootOf(section.substr(0, separator));
  keyPath = section.substr(separator + 1);
  return true;
}

// A registry text file's first content line names a root and a key; a
// zero byte outside UTF-16 marks a binary file.
bool checkRegistryTextFile(const CORVWCharString& fileName, DWORD& error) {
  LineReader reader(fileName);
  if (!reader.isOpen()) {
    error = reader.error();
    return false;
  }
  WText line;
  WText name;
  WText value;
  bool sawHeader = false;
  for (int lines = 0; lines < 64 && !sawHeader && reader.next(line); ++lines) {
    const LineKind kind = classify(line, name, value);
    if (kind == LineKind::kBlank) continue;
    HKEY root = nullptr;
    WText keyPath;
    if (kind != LineKind::kHeader || !keyOfSection(name, root, keyPath)) return false;
    sawHeader = true;
  }
  error = reader.error();
  if (error != ERROR_SUCCESS) return false;
  if (!sawHeader && reader.next(line)) return false;  // 64 blank lines and more
  return !reader.sawZeroByte();
}

class Importer {
 public:
  ~Importer() { closeKey(); }

  bool run(LineReader& reader, const CORVWCharString& fileName) {
    WText line;
    WText name;
    WText value;
    std::basic_string<BYTE> bytes;
    bool complete = true;
    while (reader.next(line)) {
      const LineKind kind = classify(line, name, value);
      if (kind == LineKind::kBlank) continue;
      if (kind == LineKind::kHeader) {
        complete = openSection(name) && complete;
        continue;
      }
      if (!m_inSection) continue;  // lines of a section that was skipped, or before the first
      DWORD type = REG_NONE;
      if (kind != LineKind::kEntry || !decodeEntryValue(value, type, bytes)) {
        complete = false;
        continue;
      }
      if (m_key == nullptr) continue;
      const LONG status = RegSetValueExW(m_key, name.c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
      if (status != ERROR_SUCCESS) {
        reportFile(wtextOf(fileName), ORV_W("a value could not be written"), static_cast<DWORD>(status), __LINE__);
        complete = false;
      }
    }
    if (reader.error() != ERROR_SUCCESS) {
      reportFile(wtextOf(fileName), ORV_W("the file could not be read to its end"), reader.error(), __LINE__);
      return false;
    }
    return complete;
  }

 private:
  bool openSection(const WText& section) {
    closeKey();
    HKEY root = nullptr;
    WText keyPath;
    m_inSection = keyOfSection(section, root, keyPath);
    if (!m_inSection) return false;
    m_inSection = true;
    const LONG status = RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, 0, kReadWrite, nullptr, &m_key, nullptr);
    if (status == ERROR_SUCCESS) return true;
    m_key = nullptr;
    return false;
  }

  void closeKey() {
    if (m_key != nullptr) RegCloseKey(m_key);
    m_key = nullptr;
  }

  HKEY m_key = nullptr;
  bool m_inSection = false;
};

void discardTemporary(HANDLE file, const CORVWCharString& temporary) {
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (temporary.getLength() != 0) DeleteFileW(temporary.getTextOrEmpty());
}

}  // namespace

bool exportRegistryToFile(const CORVWCharString& fileName, HKEY hRootKey, const CORVWCharString& szKeyName,
                          bool bReplaceFile) {
  CORVWCharString temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  try {
    // A leading backslash is not part of the path: exactly one separates
    // the root from it in the section name.
    WText keyPath = wtextOf(szKeyName);
    keyPath.erase(0, keyPath.find_first_not_of(kKeySeparator) == WText::npos
                         ? keyPath.size()
                         : keyPath.find_first_not_of(kKeySeparator));
    HKEY key = nullptr;
    const LONG status = RegOpenKeyExW(hRootKey, keyPath.c_str(), 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) {
      reportKey(sectionNameOf(hRootKey, keyPath), ORV_W("it cannot be opened"), static_cast<DWORD>(status), __LINE__);
      return false;
    }
    RegCloseKey(key);
    createFolderOf(fileName);
    if (!bReplaceFile) {
      ProfileSink sink(fileName);
      return Exporter(sink).exportKey(hRootKey, keyPath);
    }
    file = createTemporaryBeside(fileName, temporary);
    if (file == INVALID_HANDLE_VALUE) {
      reportKey(sectionNameOf(hRootKey, keyPath), ORV_W("no file could be created beside the target"), GetLastError(),
                __LINE__);
      return false;
    }
    StreamSink sink(file);
    const bool complete = Exporter(sink).exportKey(hRootKey, keyPath);
    const HANDLE written = file;
    file = INVALID_HANDLE_VALUE;
    if (!CloseHandle(written) || !MoveFileExW(temporary.getTextOrEmpty(), fileName.getTextOrEmpty(),
                                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      reportKey(sectionNameOf(hRootKey, keyPath), ORV_W("the file could not be replaced"), GetLastError(), __LINE__);
      DeleteFileW(temporary.getTextOrEmpty());
      return false;
    }
    return complete;
  }
  ORV_CATCH_THEN(GetLastError(), __LINE__, discardTemporary(file, temporary); return false)
}

bool importRegistryFromFile(const CORVWCharString& fileName) {
  try {
    DWORD error = ERROR_SUCCESS;
    if (!checkRegistryTextFile(fileName, error)) {
      reportFile(wtextOf(fileName),
                 error != ERROR_SUCCESS ? ORV_W("the file cannot be read") : ORV_W("it is not a registry text file"),
                 error != ERROR_SUCCESS ? error : ORV_NO_ERROR_CODE, __LINE__);
      return false;
    }
    LineReader reader(fileName);
    if (!reader.isOpen()) {
      reportFile(wtextOf(fileName), ORV_W("the file cannot be read"), reader.error(), __LINE__);
      return false;
    }
    return Importer().run(reader, fileName);
  }
  ORV_CATCH_RETURN_CODE(false, GetLastError())
}

bool isRegistryTextFile(const CORVWCharString& fileName) {
  try {
    DWORD error = ERROR_SUCCESS;
    return checkRegistryTextFile(fileName, error);
  }
  ORV_CATCH_RETURN_CODE(false, GetLastError())
}
