// The command line of orvreg, which is reg.exe's (/reg:32 and /reg:64 are
// accepted anywhere after the verb; there is one view):
//   orvreg add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]
//   orvreg query KEY [/v NAME | /ve] [/s]
//   orvreg delete KEY [/v NAME | /ve | /va] [/f]
//   orvreg export KEY FILE [/y]
//   orvreg import FILE
#pragma once

#include <string>
#include <vector>

#include "orv_win32.h"

namespace orvreg {

using WString = std::basic_string<WCHAR>;

enum class Verb { kHelp, kAdd, kQuery, kDelete, kExport, kImport };
enum class ValueChoice { kNone, kNamed, kDefault, kAll };

struct RegCommand {
  Verb verb = Verb::kHelp;
  HKEY root = nullptr;
  WString rootName;  // the long name, as output shows it
  WString path;      // below the root, without trailing backslashes
  ValueChoice value = ValueChoice::kNone;
  WString valueName;
  bool typeGiven = false;
  WString typeName = ORV_W("REG_SZ");
  bool separatorGiven = false;
  WString separator;
  bool dataGiven = false;
  WString data;
  bool force = false;    // /f, and export's /y
  bool recurse = false;  // query /s
  WString fileName;      // export and import
  std::string helpVerb;  // "orvreg VERB /?": the verb; empty for the general usage
};

// True when arg asks for help: /?, -?, -h, --help.
bool isHelpOption(const WString& arg);

// ROOT\path into the command's root, root name and path; false with a
// reason for an unknown root.
bool parseKey(const WString& text, RegCommand* command, std::string* reason);

// False with a one-line reason when the arguments (without the program
// name) do not make a command.
bool parseRegCommand(const std::vector<WString>& args, RegCommand* command, std::string* reason);

// "HKEY_CURRENT_USER\Software\Key", as reg.exe names a key in its output.
WString fullKeyName(const RegCommand& command);

std::string toUtf8(const WString& text);

}  // namespace orvreg
