#include "command_line.h"

#include "orv_platform/text_encoding.h"

namespace orvreg {
namespace {

struct Root {
  const WCHAR* shortName;
  const WCHAR* longName;
  HKEY key;
};

const Root kRoots[] = {
    {ORV_W("HKLM"), ORV_W("HKEY_LOCAL_MACHINE"), HKEY_LOCAL_MACHINE},
    {ORV_W("HKCU"), ORV_W("HKEY_CURRENT_USER"), HKEY_CURRENT_USER},
    {ORV_W("HKCR"), ORV_W("HKEY_CLASSES_ROOT"), HKEY_CLASSES_ROOT},
    {ORV_W("HKU"), ORV_W("HKEY_USERS"), HKEY_USERS},
    {ORV_W("HKCC"), ORV_W("HKEY_CURRENT_CONFIG"), HKEY_CURRENT_CONFIG},
};

bool same(const WString& text, const WCHAR* word) { return _wcsicmp(text.c_str(), word) == 0; }

bool isOption(const WString& arg) { return arg.size() >= 2 && (arg[0] == '/' || arg[0] == '-'); }

std::string syntaxError(const char* verb) {
  return std::string("Invalid syntax. Type \"orvreg ") + verb + " /?\" for usage.";
}

bool isViewOption(const WString& arg) { return same(arg, ORV_W("/reg:32")) || same(arg, ORV_W("/reg:64")); }

}  // namespace

bool isHelpOption(const WString& arg) {
  return same(arg, ORV_W("/?")) || same(arg, ORV_W("-?")) || same(arg, ORV_W("-h")) || same(arg, ORV_W("--help")) ||
         same(arg, ORV_W("/h"));
}

bool parseKey(const WString& text, RegCommand* command, std::string* reason) {
  const size_t slash = text.find(ORV_W('\\'));
  const WString rootText = text.substr(0, slash);
  for (const Root& root : kRoots) {
    if (same(rootText, root.shortName) || same(rootText, root.longName)) {
      command->root = root.key;
      command->rootName = root.longName;
    }
  }
  if (command->root == nullptr) {
    *reason = "Invalid key name.";
    return false;
  }
  command->path = slash == WString::npos ? WString() : text.substr(slash + 1);
  while (!command->path.empty() && command->path.back() == ORV_W('\\')) command->path.pop_back();
  return true;
}

namespace {

// Each option once; /v, /t, /s (for add) and /d take the next argument.
bool parseOptions(const std::vector<WString>& args, const char* verb, RegCommand* command, std::string* reason) {
  bool seen[8] = {};
  const auto once = [&](int slot) { return !seen[slot] && (seen[slot] = true); };
  for (size_t i = 2; i < args.size(); ++i) {
    const WString& arg = args[i];
    const bool hasNext = i + 1 < args.size();
    const bool adding = command->verb == Verb::kAdd;
    if (!isOption(arg)) {
      *reason = syntaxError(verb);
      return false;
    }
    const WString option = arg.substr(1);
    bool ok = false;
    if (same(option, ORV_W("v")) && hasNext && command->value == ValueChoice::kNone) {
      command->value = ValueChoice::kNamed;
      command->valueName = args[++i];
      ok = true;
    } else if (same(option, ORV_W("ve")) && command->value == ValueChoice::kNone) {
      command->value = ValueChoice::kDefault;
      ok = true;
    } else if (same(option, ORV_W("va")) && command->verb == Verb::kDelete && command->value == ValueChoice::kNone) {
      command->value = ValueChoice::kAll;
      ok = true;
    } else if (same(option, ORV_W("t")) && adding && hasNext && once(0)) {
      command->typeGiven = true;
      command->typeName = args[++i];
      ok = true;
    } else if (same(option, ORV_W("s")) && adding && hasNext && once(1)) {
      command->separatorGiven = true;
      command->separator = args[++i];
      ok = command->separator.size() == 1;
    } else if (same(option, ORV_W("s")) && command->verb == Verb::kQuery && once(1)) {
      command->recurse = true;
      ok = true;
    } else if (same(option, ORV_W("d")) && adding && hasNext && once(2)) {
      command->dataGiven = true;
      command->data = args[++i];
      ok = true;
    } else if (same(option, ORV_W("f")) && command->verb != Verb::kQuery && once(3)) {
      command->force = true;
      ok = true;
    }
    if (!ok) {
      *reason = syntaxError(verb);
      return false;
    }
  }
  return true;
}

// export KEY FILE [/y] and import FILE. The file name is taken as it is: on
// Linux a full path begins with "/".
bool parseFileCommand(const std::vector<WString>& args, const char* verb, RegCommand* command, std::string* reason) {
  const bool exporting = command->verb == Verb::kExport;
  const size_t fileAt = exporting ? 2 : 1;
  const bool overwrite = exporting && args.size() == fileAt + 2 && same(args[fileAt + 1], ORV_W("/y"));
  if (args.size() <= fileAt || (exporting && isOption(args[1])) || (args.size() > fileAt + 1 && !overwrite)) {
    *reason = syntaxError(verb);
    return false;
  }
  if (exporting && !parseKey(args[1], command, reason)) return false;
  command->fileName = args[fileAt];
  command->force = overwrite;
  return true;
}

}  // namespace

bool parseRegCommand(const std::vector<WString>& given, RegCommand* command, std::string* reason) {
  *command = RegCommand();
  if (given.empty()) {
    *reason = "Invalid syntax. Type \"orvreg /?\" for usage.";
    return false;
  }
  if (isHelpOption(given[0])) return true;
  // The registry view: one here, so the option changes nothing.
  std::vector<WString> args{given[0]};
  for (size_t i = 1; i < given.size(); ++i)
    if (!isViewOption(given[i])) args.push_back(given[i]);
  const char* verb = nullptr;
  if (same(args[0], ORV_W("add"))) {
    command->verb = Verb::kAdd;
    verb = "add";
  } else if (same(args[0], ORV_W("query"))) {
    command->verb = Verb::kQuery;
    verb = "query";
  } else if (same(args[0], ORV_W("delete"))) {
    command->verb = Verb::kDelete;
    verb = "delete";
  } else if (same(args[0], ORV_W("export"))) {
    command->verb = Verb::kExport;
    verb = "export";
  } else if (same(args[0], ORV_W("import"))) {
    command->verb = Verb::kImport;
    verb = "import";
  } else {
    *reason = "Invalid syntax. Type \"orvreg /?\" for usage.";
    return false;
  }
  if (args.size() >= 2 && isHelpOption(args[1])) {
    command->verb = Verb::kHelp;
    command->helpVerb = verb;
    return true;
  }
  if (command->verb == Verb::kExport || command->verb == Verb::kImport)
    return parseFileCommand(args, verb, command, reason);
  if (args.size() < 2 || isOption(args[1])) {
    *reason = syntaxError(verb);
    return false;
  }
  return parseKey(args[1], command, reason) && parseOptions(args, verb, command, reason);
}

WString fullKeyName(const RegCommand& command) {
  return command.path.empty() ? command.rootName : command.rootName + ORV_W("\\") + command.path;
}

std::string toUtf8(const WString& text) { return orv_platform::utf8Of(text, orv_platform::InvalidText::kReplace); }

}  // namespace orvreg
