// The registry's text export and import: a key with its values and all its
// subkeys saved into a profile file and read back.
//
//   [HKEY_CURRENT_USER\Software\Test]
//   Count=REG_DWORD:0x0000001F
//   Name=REG_SZ:"abc"
//   =REG_SZ:"the default value"
//   Path=REG_SZ_EXPAND:"%TEMP%\x"
//   List=REG_SZ_MULTI:61 00 00 00,62 00 63 00 00 00
//   Data=REG_BINARY:01 02 03 00 00
//   Big=REG_QWORD:0x0000000100000000
//   Odd=REG_TYPE_4:01 02
//
// One section per key that holds values, the key first and then its
// subkeys depth-first; one line per value, grouped by type in the order
// above, the default value under the empty name. Texts are written as they
// are, between quotes. The codes of a multi-string are each element's
// UTF-16 bytes with its terminator, the list's closing terminator left out;
// a binary value's codes are its bytes followed by "00 00", which the
// import drops again. A value these tags cannot give back exactly (a DWORD
// or QWORD of another size, text with a zero inside, without terminator, with
// a line break or characters the file's encoding cannot hold, a multi-string
// that does not end in two terminators, REG_NONE and every other type) is
// written as "REG_TYPE_<type number>:" followed by the codes of its bytes, a
// tag that older readers skip.
#pragma once

#include "orv_wchar_string.h"
#include "orv_win32.h"

// Writes the key hRootKey\szKeyName and its subkeys into fileName, creating
// the file's folder when needed. With bReplaceFile the file is written
// beside the target and renamed over it when complete, so that an
// interrupted export leaves the previous file whole; without it the
// sections are added to the file. True when everything was written; false
// when the key is missing, or when a value or a key could not be written (a
// name the file cannot give back as it is: a line break, "=", blanks or
// control characters at its ends, a leading "[" or ";", characters the
// file's encoding cannot hold), each of which is named in a record, while
// the rest is still written.
ORV_API bool exportRegistryToFile(const CORVWCharString& fileName, HKEY hRootKey, const CORVWCharString& szKeyName,
                                  bool bReplaceFile);

// Creates the key of every section and writes its values, reading the file
// line by line. False, with a record naming the file, when the file is
// missing or unreadable or is not a registry text file (its first content
// line must be a section naming a root and a key); nothing is written then.
// Lines that are not of the export's form are skipped and the walk goes
// on; the result is then false too.
ORV_API bool importRegistryFromFile(const CORVWCharString& fileName);

// Whether the file's first content line is a section naming a root and a
// key, and no zero byte marks it as binary; false for a file that cannot be
// read.
ORV_API bool isRegistryTextFile(const CORVWCharString& fileName);
