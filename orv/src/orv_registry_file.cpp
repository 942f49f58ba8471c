#include "orv_registry_file.h"

#include "orv_catch.h"
#include "orv_directory.h"
#include "orv_ini.h"
#include "orv_platform/paths.h"
#include "orv_registry_binary.h"
#include "orv_registry_dword.h"
#include "orv_registry_expand.h"
#include "orv_registry_key.h"
#include "orv_registry_multi_string.h"
#include "orv_registry_string.h"

namespace {

constexpr WCHAR kKeySeparator = ORV_W('\\');
constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;

const WCHAR* const kDwordTag = ORV_W("REG_DWORD");
const WCHAR* const kStringTag = ORV_W("REG_SZ");
const WCHAR* const kExpandTag = ORV_W("REG_SZ_EXPAND");
const WCHAR* const kMultiTag = ORV_W("REG_SZ_MULTI");
const WCHAR* const kBinaryTag = ORV_W("REG_BINARY");

struct Root {
  HKEY key;
  const WCHAR* name;
};

// The import tests the names in this order; HKEY_LOCAL_MACHINE is also the
// root of any other name.
const Root kRoots[] = {
    {HKEY_LOCAL_MACHINE, ORV_W("HKEY_LOCAL_MACHINE")}, {HKEY_CURRENT_USER, ORV_W("HKEY_CURRENT_USER")},
    {HKEY_CURRENT_CONFIG, ORV_W("HKEY_CURRENT_CONFIG")}, {HKEY_CLASSES_ROOT, ORV_W("HKEY_CLASSES_ROOT")},
    {HKEY_USERS, ORV_W("HKEY_USERS")},
};

const WCHAR* textOf(const CORVWCharString& text) { return text.isValid() ? text.getBuffer() : ORV_W(""); }

// The first ulCount code units of text.
CORVWCharString headOf(const CORVWCharString& text, ULONG ulCount) {
  return CORVWCharString(CORVBuffer<WCHAR>(text.getBuffer(), ulCount));
}

bool isBlank(WCHAR c) { return c == ORV_W(' ') || c == ORV_W('\t'); }

bool holdsAnyOf(const CORVWCharString& text, const WCHAR* characters) {
  const ULONG length = text.getLength();
  for (ULONG i = 0; i < length; ++i)
    for (const WCHAR* c = characters; *c != 0; ++c)
      if (text.getBuffer()[i] == *c) return true;
  return false;
}

// ---- Export

// The profile calls write a new file in the ANSI code page on Windows and
// in UTF-8 elsewhere: text the conversion changes (characters outside the
// code page, a lone surrogate) would come back as something else.
bool survivesFileEncoding(const CORVWCharString& text) {
  const int length = static_cast<int>(text.getLength());
  if (length == 0) return true;
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text.getBuffer(), length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return false;
  CORVBuffer<BYTE> encoded(static_cast<ULONG>(bytes));
  LPSTR narrow = reinterpret_cast<LPSTR>(encoded.getBuffer());
  if (WideCharToMultiByte(CP_ACP, 0, text.getBuffer(), length, narrow, bytes, nullptr, nullptr) != bytes) return false;
  CORVBuffer<WCHAR> decoded(static_cast<ULONG>(length) + 1);
  return MultiByteToWideChar(CP_ACP, 0, narrow, bytes, decoded.getBuffer(), length + 1) == length &&
         CORVWCharString(decoded) == text;
}

// Every other root is written as the current user's.
CORVWCharString sectionNameOf(HKEY hRootKey, const CORVWCharString& keyPath) {
  CORVWCharString section(ORV_W("HKEY_CURRENT_USER"));
  for (const Root& root : kRoots)
    if (root.key == hRootKey) section = root.name;
  return section + CORVWCharString(kKeySeparator) + keyPath;
}

// A line break would end the line early and let the rest pass for lines of
// its own; the platform drops blanks at the ends of names.
bool isWritableSection(const CORVWCharString& section) {
  const ULONG length = section.getLength();
  return !holdsAnyOf(section, ORV_W("\r\n")) && length != 0 && !isBlank(section.getBuffer()[length - 1]) &&
         survivesFileEncoding(section);
}

// Besides that, a line is read up to its first "=" and one that begins with
// "[" or ";" is a header or a comment.
bool isWritableValueName(const CORVWCharString& name) {
  const ULONG length = name.getLength();
  if (length == 0) return true;
  const WCHAR first = name.getBuffer()[0];
  return !holdsAnyOf(name, ORV_W("=\r\n")) && first != ORV_W('[') && first != ORV_W(';') && !isBlank(first) &&
         !isBlank(name.getBuffer()[length - 1]) && survivesFileEncoding(name);
}

WCHAR hexDigit(ULONG ulValue) { return static_cast<WCHAR>(ulValue < 10 ? ORV_W('0') + ulValue : ORV_W('A') + ulValue - 10); }

// The bytes as two upper-case digits each, separated by blanks, followed by
// the codes of a string terminator, as a string's code string ends.
CORVWCharString terminatedByteCodes(const CORVBuffer<BYTE>& data) {
  const ULONG count = data.getNumElems();
  if (count == 0) return CORVWCharString();
  CORVBuffer<WCHAR> codes(3 * (count + 2));
  WCHAR* out = codes.getBuffer();
  for (ULONG i = 0; i < count + 2; ++i) {
    const ULONG byte = i < count ? data.getBuffer()[i] : 0;
    if (i != 0) *out++ = ORV_W(' ');
    *out++ = hexDigit(byte >> 4);
    *out++ = hexDigit(byte & 0xFu);
  }
  return CORVWCharString(codes);
}

CORVWCharString multiStringCodes(const CORVRegistryValent& value) {
  CORVWCharStringList elements;
  CORVRegistryMultiString::fromBytes(value.m_data, elements);
  CORVWCharString codes;
  bool first = true;
  elements.moveFirst();
  for (const CORVWCharString* element = elements.getCurrentData(); element != nullptr;
       element = elements.moveNext() ? elements.getCurrentData() : nullptr) {
    if (!first) codes += ORV_W(",");
    codes += element->getAsciiCodeString();
    first = false;
  }
  return codes;
}

CORVWCharString quoted(const WCHAR* tag, const CORVWCharString& text) {
  return CORVWCharString(tag) + CORVWCharString(ORV_W(":\"")) + text + CORVWCharString(ORV_W('"'));
}

// The line's value for one registry value; false when the file cannot hold
// the data as it is.
bool entryOf(const CORVRegistryValent& value, CORVWCharString& entry) {
  switch (value.m_type) {
    case REG_DWORD:
      entry = CORVWCharString(kDwordTag) + CORVWCharString(ORV_W(":")) +
              CORVWCharString(value.getDword(), CORVWCharString::nsHex, 8, true);
      return true;
    case REG_SZ:
    case REG_EXPAND_SZ: {
      const CORVWCharString text = value.getText();
      entry = quoted(value.m_type == REG_SZ ? kStringTag : kExpandTag, text);
      return !holdsAnyOf(text, ORV_W("\r\n")) && survivesFileEncoding(text);
    }
    case REG_MULTI_SZ:
      entry = CORVWCharString(kMultiTag) + CORVWCharString(ORV_W(":")) + multiStringCodes(value);
      return true;
    case REG_BINARY:
      entry = CORVWCharString(kBinaryTag) + CORVWCharString(ORV_W(":")) + terminatedByteCodes(value.m_data);
      return true;
  }
  return false;
}

// Writes the values of the five types, type by type; false when one is
// left out or not written, or when the key holds values of other types,
// which the file has no tag for.
bool writeValues(CORVIni& ini, const CORVWCharString& section, CORVRegistryValentList& values) {
  static const DWORD kTypeOrder[] = {REG_DWORD, REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_BINARY};
  ULONG ofTheFiveTypes = 0;
  bool complete = true;
  for (const DWORD type : kTypeOrder) {
    values.moveFirst();
    for (const CORVRegistryValent* value = values.getCurrentData(); value != nullptr;
         value = values.moveNext() ? values.getCurrentData() : nullptr) {
      if (value->m_type != type) continue;
      CORVWCharString entry;
      const bool isWritten = isWritableValueName(value->m_name) && entryOf(*value, entry) &&
                             ini.setProfileString(section, value->m_name, entry);
      complete = complete && isWritten;
      ++ofTheFiveTypes;
    }
  }
  return complete && ofTheFiveTypes == values.getCount();
}

bool exportKey(CORVIni& ini, HKEY hRootKey, const CORVWCharString& keyPath) {
  CORVRegistryKey key(hRootKey, keyPath, KEY_READ, false, 0);
  if (!key.exists()) return false;
  const CORVWCharString section = sectionNameOf(hRootKey, keyPath);
  if (!isWritableSection(section)) return false;

  bool complete = true;
  CORVRegistryValentList values;
  if (key.getValues(values)) {
    complete = writeValues(ini, section, values);
  } else {
    // No values at all, or values that could not be read.
    CORVWCharStringList names;
    complete = !key.enumValueNames(names);
  }
  CORVWCharStringList subKeys;
  key.enumSubKeys(subKeys);
  key.close();
  subKeys.moveFirst();
  for (const CORVWCharString* name = subKeys.getCurrentData(); name != nullptr;
       name = subKeys.moveNext() ? subKeys.getCurrentData() : nullptr) {
    const CORVWCharString subKeyPath =
        keyPath.getLength() == 0 ? *name : keyPath + CORVWCharString(kKeySeparator) + *name;
    complete = exportKey(ini, hRootKey, subKeyPath) && complete;
  }
  return complete;
}

void createFolderOf(const CORVWCharString& fileName) {
  ULONG separator = 0;
  if (!fileName.find(CORVWCharString(orv_platform::kPathSeparator), 1, CORVWCharString::fromEnd, separator) ||
      separator == 0)
    return;
  CORVDirectory folder(headOf(fileName, separator));
  if (!folder.isValidDirectory()) folder.createDirectoryPath();
}

// ---- Import

HKEY rootOf(const CORVWCharString& rootText) {
  for (const Root& root : kRoots)
    if (rootText == CORVWCharString(root.name)) return root.key;
  return HKEY_LOCAL_MACHINE;
}

// "abc" between quotes gives abc, and only the outer quotes go.
bool unquote(const CORVWCharString& data, CORVWCharString& text) {
  const ULONG length = data.getLength();
  if (length < 2 || data.getBuffer()[0] != ORV_W('"') || data.getBuffer()[length - 1] != ORV_W('"')) return false;
  text = data.withoutStart(1).withoutEnd(1);
  return true;
}

// The bytes of a code string; false for one that holds anything but codes.
bool bytesOf(const CORVWCharString& codes, CORVBuffer<BYTE>& bytes) {
  bytes = codes.getBufferFromAsciiCodeString();
  return codes.getLength() == 0 || bytes.getNumElems() != 0;
}

bool writeBinary(HKEY hRootKey, const CORVWCharString& keyPath, const CORVWCharString& name,
                 const CORVWCharString& data) {
  CORVBuffer<BYTE> bytes;
  if (!bytesOf(data, bytes)) return false;
  // The export's closing "00 00" is not part of the data.
  ULONG count = bytes.getNumElems();
  if (count >= 2 && bytes.getBuffer()[count - 1] == 0 && bytes.getBuffer()[count - 2] == 0) count -= 2;
  return CORVRegistryBinary(hRootKey, keyPath, name, kReadWrite, true, 0)
      .setValue(CORVBuffer<BYTE>(bytes.getBuffer(), count), false);
}

bool writeMultiString(HKEY hRootKey, const CORVWCharString& keyPath, const CORVWCharString& name,
                      const CORVWCharString& data) {
  CORVWCharStringList elements;
  CORVWCharStringList fields;
  data.split(fields, CORVWCharString(ORV_W(',')), CORVWCharString::fromStart, CORVFlags(0), CORVFlags(0));
  INT tag = 0;
  fields.moveFirst();
  for (const CORVWCharString* field = fields.getCurrentData(); field != nullptr;
       field = fields.moveNext() ? fields.getCurrentData() : nullptr) {
    CORVBuffer<BYTE> bytes;
    if (!bytesOf(*field, bytes)) return false;
    elements.addTail(CORVWCharString(CORVBuffer<WCHAR>(bytes)), tag++);
  }
  return CORVRegistryMultiString(hRootKey, keyPath, name, kReadWrite, true, 0).setValue(elements, false);
}

// One "name=TAG:data" line; false when it is skipped or not written.
bool importLine(HKEY hRootKey, const CORVWCharString& keyPath, const CORVWCharString& line) {
  ULONG equals = 0;
  if (!line.find(CORVWCharString(ORV_W('=')), 1, CORVWCharString::fromStart, equals)) return false;
  const CORVWCharString name = headOf(line, equals);
  // Tag and data follow the name, which may hold colons itself.
  const CORVWCharString entry = line.withoutStart(equals + 1);
  ULONG colon = 0;
  if (!entry.find(CORVWCharString(ORV_W(':')), 1, CORVWCharString::fromStart, colon)) return false;
  const CORVWCharString tag = headOf(entry, colon);
  const CORVWCharString data = entry.withoutStart(colon + 1);

  if (tag == CORVWCharString(kDwordTag)) {
    ULONG number = 0;
    return data.toNumber(number, CORVWCharString::nsHex, true) &&
           CORVRegistryDword(hRootKey, keyPath, name, kReadWrite, true, 0).setValue(number, false);
  }
  if (tag == CORVWCharString(kStringTag)) {
    CORVWCharString text;
    return unquote(data, text) &&
           CORVRegistryString(hRootKey, keyPath, name, kReadWrite, true, 0).setValue(text, false);
  }
  if (tag == CORVWCharString(kExpandTag)) {
    CORVWCharString text;
    return unquote(data, text) &&
           CORVRegistryStringExpand(hRootKey, keyPath, name, kReadWrite, true, 0).setValue(text, false);
  }
  if (tag == CORVWCharString(kBinaryTag)) return writeBinary(hRootKey, keyPath, name, data);
  if (tag == CORVWCharString(kMultiTag)) return writeMultiString(hRootKey, keyPath, name, data);
  return false;
}

bool importSection(CORVIni& ini, const CORVWCharString& section) {
  const CORVWCharString separator(kKeySeparator);
  CORVWCharString rootText;
  if (!section.getField(rootText, separator, 1, CORVWCharString::fromStart, CORVFlags(0), CORVFlags(0)))
    return false;
  const CORVWCharString keyPath = section.withoutStart(rootText.getLength() + 1);
  const HKEY hRootKey = rootOf(rootText);

  bool complete = CORVRegistryKey(hRootKey, keyPath, kReadWrite, true, 0).create();
  CORVWCharStringList lines;
  if (!ini.getProfileSection(section, lines)) return complete;
  lines.moveFirst();
  for (const CORVWCharString* line = lines.getCurrentData(); line != nullptr;
       line = lines.moveNext() ? lines.getCurrentData() : nullptr)
    complete = importLine(hRootKey, keyPath, *line) && complete;
  return complete;
}

}  // namespace

bool exportRegistryToFile(const CORVWCharString& fileName, HKEY hRootKey, const CORVWCharString& szKeyName,
                          bool bReplaceFile) {
  try {
    if (bReplaceFile) DeleteFileW(textOf(fileName));
    createFolderOf(fileName);
    // A leading backslash is not part of the path: exactly one separates
    // the root from it in the section name.
    CORVWCharString keyPath(szKeyName);
    while (keyPath.getLength() != 0 && keyPath.getBuffer()[0] == kKeySeparator) keyPath.removeFromStart(1);
    CORVIni ini(fileName);
    return exportKey(ini, hRootKey, keyPath);
  }
  ORV_CATCH_RETURN_CODE(false, GetLastError())
}

bool importRegistryFromFile(const CORVWCharString& fileName) {
  try {
    const DWORD attributes = GetFileAttributesW(textOf(fileName));
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    CORVIni ini(fileName);
    CORVWCharStringList sections;
    if (!ini.getProfileSectionNames(sections)) return true;  // nothing to import
    bool complete = true;
    sections.moveFirst();
    for (const CORVWCharString* section = sections.getCurrentData(); section != nullptr;
         section = sections.moveNext() ? sections.getCurrentData() : nullptr)
      complete = importSection(ini, *section) && complete;
    return complete;
  }
  ORV_CATCH_RETURN_CODE(false, GetLastError())
}
