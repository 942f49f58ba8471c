// Registry data as reg.exe writes it on its command line and in its output.
#pragma once

#include <string>

#include "command_line.h"

namespace orvreg {

// The types reg.exe writes, by name (any case): REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ, REG_DWORD (also as REG_DWORD_LITTLE_ENDIAN),
// REG_DWORD_BIG_ENDIAN, REG_QWORD, REG_BINARY and REG_NONE (stored as
// text); false for another name.
bool typeFromName(const WString& name, DWORD* type);
const char* typeName(DWORD type);

// The bytes to store for /d DATA: strings with their terminator; a DWORD in
// decimal or 0x hexadecimal; binary as hexadecimal digits (an odd count has a
// leading 0 added); multi-strings split at `separator` ("\0" when empty),
// where only a trailing separator may leave an element empty. False with a
// one-line reason when the data does not fit the type.
bool encodeData(DWORD type, const WString& data, const WString& separator, std::string* bytes, std::string* reason);

// The data column of `query`.
std::string formatData(DWORD type, const std::string& bytes);

}  // namespace orvreg
