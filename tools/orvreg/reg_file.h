// .reg files as reg.exe and regedit write and read them:
//
//   Windows Registry Editor Version 5.00      (UTF-16LE with byte-order mark)
//
//   [HKEY_CURRENT_USER\Software\Key]
//   @="default value"
//   "name"=dword:0000001f
//   "data"=hex:01,02,\ (continued on the next line)
//     03
//   "path"=hex(2):25,00,...                   (hex(N): for type N)
//   "gone"=-                                  (import: delete the value)
//   [-HKEY_CURRENT_USER\Software\Old]         (import: delete the key)
//
// "REGEDIT4" files (ANSI, strings as ANSI bytes) are read as well.
#pragma once

#include <string>

#include "command_line.h"

namespace orvreg {

enum class FileFormat { kRegistryEditor5, kRegedit4, kOther };

// By the file's first line; kOther for anything else, or a file that
// cannot be read (reason then says why).
FileFormat sniffRegFile(const WString& fileName, std::string* reason);

// Writes the key and its subkeys as "Windows Registry Editor Version 5.00"
// into a file beside fileName, renamed over it when complete. A value that
// the text forms would change (a DWORD of another size, a string with a
// zero inside, without terminator or with a carriage return) is written as
// hex(N): so that it comes back exactly. False with a reason.
bool exportRegFile(const RegCommand& command, const WString& fileName, std::string* reason);

// Reads a file of either format and applies it key by key. False with a
// reason naming the line when the file is not of that form or a key or
// value cannot be written; what came before stays applied, as with reg.exe.
bool importRegFile(const WString& fileName, std::string* reason);

}  // namespace orvreg
