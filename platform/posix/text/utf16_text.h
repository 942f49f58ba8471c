// UTF-8 text from the system (file names, command lines) as UTF-16.
#pragma once

#include <string>

namespace orv_posix {

// Bytes that are not UTF-8 become U+FFFD, as Windows shows undecodable names.
std::u16string utf16FromUtf8(const std::string& utf8);

}  // namespace orv_posix
