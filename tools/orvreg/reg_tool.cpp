#include "reg_tool.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "orv_platform/paths.h"
#include "orv_registry_file.h"
#include "orv_registry_key.h"
#include "reg_file.h"
#include "value_text.h"

namespace orvreg {
namespace {

const char kUsage[] =
    "ORVREG Operation [Parameter List]\n"
    "\n"
    "  Operation  [ QUERY | ADD | DELETE | EXPORT | IMPORT ]\n"
    "\n"
    "Return Code: (except for ORVREG COMPARE)\n"
    "\n"
    "  0 - Successful\n"
    "  1 - Failed\n"
    "\n"
    "For help on a specific operation type:\n"
    "\n"
    "  ORVREG Operation /?\n"
    "\n"
    "Examples:\n"
    "\n"
    "  ORVREG QUERY /?\n"
    "  ORVREG ADD /?\n"
    "  ORVREG DELETE /?\n"
    "  ORVREG EXPORT /?\n"
    "  ORVREG IMPORT /?\n"
    "\n"
    "KEY is ROOT\\Subkey, ROOT one of HKLM, HKCU, HKCR, HKU, HKCC or their long names\n"
    "(HKEY_LOCAL_MACHINE, ...). /reg:32 and /reg:64 are accepted; there is one view.\n"
    "On Linux the registry lives in the folder that ORV_REGISTRY_DIR names.\n";

const char kKeyHelp[] =
    "  KeyName  ROOT\\Subkey, ROOT one of HKLM, HKCU, HKCR, HKU, HKCC\n"
    "           (or HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, ...)\n";

const char kTypesHelp[] =
    "  /t       REG_SZ | REG_MULTI_SZ | REG_EXPAND_SZ | REG_DWORD | REG_QWORD | REG_BINARY | REG_NONE |\n"
    "           REG_DWORD_LITTLE_ENDIAN | REG_DWORD_BIG_ENDIAN (REG_SZ when omitted)\n";

struct VerbHelp {
  const char* verb;
  const char* text;
};

const VerbHelp kVerbHelp[] = {
    {"query",
     "ORVREG QUERY KeyName [/v ValueName | /ve] [/s] [/reg:32 | /reg:64]\n\n"
     "  /v       the value to show\n"
     "  /ve      the default (unnamed) value\n"
     "  /s       the key and all its subkeys\n"},
    {"add",
     "ORVREG ADD KeyName [/v ValueName | /ve] [/t Type] [/s Separator] [/d Data] [/f] [/reg:32 | /reg:64]\n\n"
     "  /v       the value to add\n"
     "  /ve      the default (unnamed) value\n"
     "TYPES\n"
     "  /s       the separator of REG_MULTI_SZ elements (\\0 when omitted)\n"
     "  /d       the data: text; a number, decimal or 0x hexadecimal, for REG_DWORD and REG_QWORD;\n"
     "           hexadecimal digits for REG_BINARY\n"
     "  /f       overwrite without asking\n"},
    {"delete",
     "ORVREG DELETE KeyName [/v ValueName | /ve | /va] [/f] [/reg:32 | /reg:64]\n\n"
     "  /v       the value to delete\n"
     "  /ve      the default (unnamed) value\n"
     "  /va      every value of the key (its subkeys stay)\n"
     "  /f       delete without asking\n"
     "  Without /v, /ve or /va the key and all its subkeys are deleted.\n"},
    {"export",
     "ORVREG EXPORT KeyName FileName [/y] [/reg:32 | /reg:64]\n\n"
     "  FileName  a name ending in .reg: a \"Windows Registry Editor Version 5.00\" file (UTF-16),\n"
     "            as reg.exe and regedit write it; any other name: a registry text file\n"
     "            (a profile file, one [ROOT\\Key] section per key, one NAME=TAG:DATA line per value)\n"
     "  /y        overwrite an existing file without asking\n"
     "  The file is written beside its target and takes its place only when complete.\n"},
    {"import",
     "ORVREG IMPORT FileName [/reg:32 | /reg:64]\n\n"
     "  FileName  a .reg file (\"Windows Registry Editor Version 5.00\" or \"REGEDIT4\", with [-KEY] to\n"
     "            delete a key and \"name\"=- to delete a value) or a registry text file, told apart by\n"
     "            their content; any other file is refused and changes nothing.\n"},
};

void printUsage(const std::string& verb) {
  std::string text = kUsage;
  for (const VerbHelp& help : kVerbHelp) {
    if (verb != help.verb) continue;
    text = help.text;
    const size_t types = text.find("TYPES\n");
    if (types != std::string::npos) text.replace(types, 6, kTypesHelp);
    text += "\n";
    text += kKeyHelp;
    text += "\nReturn Code: 0 - Successful, 1 - Failed\n";
  }
  std::fputs(text.c_str(), stdout);
}

const char kDone[] = "The operation completed successfully.\n";

void say(const std::string& text) { std::fputs(text.c_str(), stdout); }

// reg.exe's form: "ERROR: " and the reason, on one line.
int fail(const std::string& reason) {
  std::fprintf(stderr, "ERROR: %s\n", reason.c_str());
  return 1;
}

std::string reasonFor(LONG status, bool /*aboutValue: reg.exe says the same for both*/) {
  switch (status) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_KEY_DELETED: return "The system was unable to find the specified registry key or value.";
    case ERROR_ACCESS_DENIED: return "Access is denied.";
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER: return "Invalid key name.";
    case ERROR_REGISTRY_CORRUPT: return "The registry database is damaged.";
    default: return "The operation failed with error " + std::to_string(status) + ".";
  }
}

// Asked unless /f was given; anything but an answer starting with y is no.
bool confirmed(const RegCommand& command, const std::string& question) {
  if (command.force) return true;
  say(question + " (Yes/No)? ");
  std::fflush(stdout);
  char answer[64];
  if (std::fgets(answer, sizeof(answer), stdin) == nullptr) return false;
  return answer[0] == 'y' || answer[0] == 'Y';
}

WString chosenValueName(const RegCommand& command) {
  return command.value == ValueChoice::kNamed ? command.valueName : WString();
}

std::string displayName(const WString& name) { return name.empty() ? "(Default)" : toUtf8(name); }

struct Value {
  WString name;
  DWORD type = REG_NONE;
  std::string data;
};

std::string valueLine(const Value& value) {
  return "    " + displayName(value.name) + "    " + typeName(value.type) + "    " +
         formatData(value.type, value.data) + "\n";
}

LONG readValue(HKEY key, const WString& name, Value* value) {
  DWORD size = 0;
  LONG status = RegQueryValueExW(key, name.c_str(), nullptr, &value->type, nullptr, &size);
  value->name = name;
  value->data.assign(size, '\0');
  if (status == ERROR_SUCCESS) {
    status =
        RegQueryValueExW(key, name.c_str(), nullptr, &value->type, reinterpret_cast<BYTE*>(value->data.data()), &size);
    value->data.resize(size);
  }
  return status;
}

std::vector<Value> valuesOf(HKEY key) {
  std::vector<Value> values;
  DWORD longestName = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS) {
    return values;
  }
  std::vector<WCHAR> name(longestName + 1);
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    if (RegEnumValueW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    Value value;
    if (readValue(key, WString(name.data(), length), &value) == ERROR_SUCCESS) values.push_back(value);
  }
  return values;
}

std::vector<WString> subKeysOf(HKEY key) {
  std::vector<WString> names;
  WCHAR name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

int add(const RegCommand& command) {
  DWORD type = REG_SZ;
  if (!typeFromName(command.typeName, &type)) {
    return fail("Invalid value specified for /t. Unsupported registry data type [" + toUtf8(command.typeName) + "].");
  }
  const bool setsValue = command.value != ValueChoice::kNone;
  if ((!setsValue && (command.typeGiven || command.dataGiven || command.separatorGiven)) ||
      (command.separatorGiven && type != REG_MULTI_SZ)) {
    return fail("Invalid syntax. Type \"orvreg add /?\" for usage.");
  }
  std::string bytes;
  std::string reason;
  if (setsValue && type == REG_DWORD && !command.dataGiven) {
    return fail("Invalid value specified for /d. A number is expected.");
  }
  if (setsValue && !encodeData(type, command.data, command.separator, &bytes, &reason)) return fail(reason);

  HKEY key = nullptr;
  LONG status = RegCreateKeyExW(command.root, command.path.c_str(), 0, nullptr, 0, KEY_READ | KEY_SET_VALUE, nullptr,
                                &key, nullptr);
  if (status != ERROR_SUCCESS) return fail(reasonFor(status, false));
  if (setsValue) {
    const WString name = chosenValueName(command);
    if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        !confirmed(command, "Value " + displayName(name) + " exists, overwrite")) {
      RegCloseKey(key);
      return fail("The operation was cancelled.");
    }
    status = RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                            static_cast<DWORD>(bytes.size()));
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return fail(reasonFor(status, true));
  say(kDone);
  return 0;
}

// query /s: every key below, depth first; with /v or /ve only the keys that
// hold the value, and a count at the end.
void search(HKEY key, const WString& fullName, const RegCommand& command, int* matches) {
  const bool filtered = command.value != ValueChoice::kNone;
  std::string block;
  for (const Value& value : valuesOf(key)) {
    if (filtered && _wcsicmp(value.name.c_str(), chosenValueName(command).c_str()) != 0) continue;
    block += valueLine(value);
    ++*matches;
  }
  if (!filtered || !block.empty()) say(toUtf8(fullName) + "\n" + block + "\n");
  for (const WString& name : subKeysOf(key)) {
    HKEY subKey = nullptr;
    if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, &subKey) != ERROR_SUCCESS) continue;
    search(subKey, fullName + ORV_W("\\") + name, command, matches);
    RegCloseKey(subKey);
  }
}

int query(const RegCommand& command) {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExW(command.root, command.path.c_str(), 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) return fail(reasonFor(status, false));
  const WString fullName = fullKeyName(command);
  int result = 0;
  if (command.recurse) {
    int matches = 0;
    say("\n");
    search(key, fullName, command, &matches);
    if (command.value != ValueChoice::kNone) say("End of search: " + std::to_string(matches) + " match(es) found.\n");
  } else if (command.value != ValueChoice::kNone) {
    Value value;
    status = readValue(key, chosenValueName(command), &value);
    if (status == ERROR_SUCCESS) {
      say("\n" + toUtf8(fullName) + "\n" + valueLine(value) + "\n");
    } else {
      result = fail(reasonFor(status, true));
    }
  } else {
    std::string text = "\n";
    const std::vector<Value> values = valuesOf(key);
    if (!values.empty()) {
      text += toUtf8(fullName) + "\n";
      for (const Value& value : values) text += valueLine(value);
      text += "\n";
    }
    for (const WString& name : subKeysOf(key)) text += toUtf8(fullName + ORV_W("\\") + name) + "\n";
    say(text);
  }
  RegCloseKey(key);
  return result;
}

int remove(const RegCommand& command) {
  const std::string fullName = toUtf8(fullKeyName(command));
  if (command.value == ValueChoice::kNone) {
    // A whole root is never deleted.
    if (command.path.empty()) return fail("Invalid key name.");
    if (!confirmed(command, "Permanently delete the registry key " + fullName)) {
      return fail("The operation was cancelled.");
    }
    const LONG status = RegDeleteTreeW(command.root, command.path.c_str());
    if (status != ERROR_SUCCESS) return fail(reasonFor(status, false));
    say(kDone);
    return 0;
  }
  HKEY key = nullptr;
  LONG status = RegOpenKeyExW(command.root, command.path.c_str(), 0, KEY_READ | KEY_SET_VALUE, &key);
  if (status != ERROR_SUCCESS) return fail(reasonFor(status, false));
  std::vector<WString> names;
  std::string question;
  if (command.value == ValueChoice::kAll) {
    for (const Value& value : valuesOf(key)) names.push_back(value.name);
    question = "Delete all values under the registry key " + fullName;
  } else {
    names.push_back(chosenValueName(command));
    question = "Delete the registry value " + displayName(names[0]);
  }
  if (!confirmed(command, question)) {
    RegCloseKey(key);
    return fail("The operation was cancelled.");
  }
  for (const WString& name : names) {
    status = RegDeleteValueW(key, name.c_str());
    if (status != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return fail(reasonFor(status, true));
  say(kDone);
  return 0;
}

// The profile calls look for a bare file name in the Windows folder; the
// tool takes it from the current folder, as reg.exe does. Windows takes "/"
// for a separator too.
CORVWCharString profilePath(const WString& fileName) {
  if (fileName.find(orv_platform::kPathSeparator) != WString::npos || fileName.find(ORV_W('/')) != WString::npos ||
      orv_platform::isRootedPath(fileName.c_str()))
    return CORVWCharString(fileName.c_str());
  const WCHAR here[] = {ORV_W('.'), orv_platform::kPathSeparator, 0};
  return CORVWCharString(here) + CORVWCharString(fileName.c_str());
}

bool endsWithRegExtension(const WString& fileName) {
  return fileName.size() >= 4 && _wcsicmp(fileName.c_str() + fileName.size() - 4, ORV_W(".reg")) == 0;
}

// A name ending in .reg is written as reg.exe writes it; any other through
// the registry key's text save, as a profile file.
int exportToFile(const RegCommand& command) {
  HKEY key = nullptr;
  const LONG status = RegOpenKeyExW(command.root, command.path.c_str(), 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) return fail(reasonFor(status, false));
  RegCloseKey(key);
  if (GetFileAttributesW(command.fileName.c_str()) != INVALID_FILE_ATTRIBUTES &&
      !confirmed(command, "File " + toUtf8(command.fileName) + " already exists. Overwrite")) {
    return fail("The operation was cancelled.");
  }
  if (endsWithRegExtension(command.fileName)) {
    std::string reason;
    if (!exportRegFile(command, command.fileName, &reason)) return fail(reason);
    say(kDone);
    return 0;
  }
  CORVRegistryKey source(command.root, CORVWCharString(command.path.c_str()), KEY_READ, false, 0);
  if (!source.save(profilePath(command.fileName), CORVRegistryKey::kSaveFormatText, true)) {
    return fail("Not every value or key could be written to the file; the log names them.");
  }
  say(kDone);
  return 0;
}

// The format is told by the content, never by the name.
int importFromFile(const RegCommand& command) {
  const DWORD attributes = GetFileAttributesW(command.fileName.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return fail("Error opening the file " + toUtf8(command.fileName) + ".");
  }
  std::string reason;
  if (sniffRegFile(command.fileName, &reason) != FileFormat::kOther) {
    if (!importRegFile(command.fileName, &reason)) return fail(reason);
    say(kDone);
    return 0;
  }
  if (!reason.empty()) return fail(reason);
  if (!isRegistryTextFile(profilePath(command.fileName)))
    return fail("The file " + toUtf8(command.fileName) +
                " is neither a .reg file nor a registry text file; nothing was imported.");
  // The file names its own keys; the object only carries the call.
  CORVRegistryKey target(HKEY_CURRENT_USER, CORVWCharString(), KEY_READ, false, 0);
  if (!target.restore(profilePath(command.fileName), CORVRegistryKey::kRestoreFlagsText))
    return fail("Not every line of the file could be imported; the log names them.");
  say(kDone);
  return 0;
}

}  // namespace

int runRegCommand(const RegCommand& command) {
  switch (command.verb) {
    case Verb::kAdd: return add(command);
    case Verb::kQuery: return query(command);
    case Verb::kDelete: return remove(command);
    case Verb::kExport: return exportToFile(command);
    case Verb::kImport: return importFromFile(command);
    case Verb::kHelp: break;
  }
  printUsage(command.helpVerb);
  return 0;
}

int runOrvreg(const std::vector<WString>& args) {
  RegCommand command;
  std::string reason;
  if (!parseRegCommand(args, &command, &reason)) return fail(reason);
  return runRegCommand(command);
}

}  // namespace orvreg
