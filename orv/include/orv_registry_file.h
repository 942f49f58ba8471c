// The registry's text export and import: a key with its values and all its
// subkeys saved into a profile file and read back, through CORVIni.
//
//   [HKEY_CURRENT_USER\Software\Test]
//   Count=REG_DWORD:0x0000001F
//   Name=REG_SZ:"abc"
//   Path=REG_SZ_EXPAND:"%TEMP%\x"
//   List=REG_SZ_MULTI:61 00 00 00,62 00 63 00 00 00
//   Data=REG_BINARY:01 02 03 00 00
//
// One section per key that holds values of these five types, the key first
// and then its subkeys depth-first; one line per value, grouped by type in
// the order above. Texts are written as they are, between quotes. The codes
// of a multi-string are each element's UTF-16 bytes with its terminator; a
// binary value's codes are its bytes followed by "00 00", which the import
// drops again, so that any data comes back byte for byte.
#pragma once

#include "orv_wchar_string.h"
#include "orv_win32.h"

// Writes the key hRootKey\szKeyName and its subkeys into fileName, creating
// the file's folder when needed; bReplaceFile deletes the file first. True
// when everything was written; false when the key is missing, holds values
// of other types (which are not written), or when a value or a key could
// not be written (text holding a line break or
// characters the file's encoding cannot hold, a value name the file cannot
// give back as it is), while the rest is still written.
ORV_API bool exportRegistryToFile(const CORVWCharString& fileName, HKEY hRootKey, const CORVWCharString& szKeyName,
                          bool bReplaceFile);

// Creates the key of every section and writes its values. Lines that are
// not of the export's form are skipped and the walk goes on. True when
// every line was written; false for a missing file, or when a line was
// skipped or a key or value could not be written.
ORV_API bool importRegistryFromFile(const CORVWCharString& fileName);
