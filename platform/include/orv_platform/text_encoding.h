// Text between UTF-16 and bytes in a code page (UTF-8 unless told
// otherwise), through the platform's MultiByteToWideChar and
// WideCharToMultiByte. Every caller says what happens to text that does
// not convert, and every conversion keeps to one size limit, so that no
// length is cut to an int and no input asks for unbounded memory.
#pragma once

#include <cstddef>
#include <string>

#include "orv_api.h"
#include "orv_win32.h"

namespace orv_platform {

using WideText = std::basic_string<WCHAR>;

// What a conversion does with bytes that are not valid in the code page,
// or with a surrogate code unit that has no partner.
enum class InvalidText {
  kReplace,  // each becomes U+FFFD, as the platform's conversion does without flags
  kFail,     // the whole conversion fails
};

// The longest input, in bytes or code units, that a conversion takes; its
// result then stays below 192 MiB.
constexpr size_t kMaxConvertedText = size_t{64} << 20;

// `out` receives the UTF-16 text of `size` bytes in `codePage`; no input is
// an empty text. False, with `out` empty and the last error set, when the
// input is longer than kMaxConvertedText, does not convert under kFail, or
// memory runs out. A zero byte converts to a zero code unit like any other.
ORV_API bool toUtf16(const char* bytes, size_t size, WideText& out, InvalidText invalid, UINT codePage = CP_UTF8);

// `out` receives `length` code units of UTF-16 text as bytes in
// `codePage`. The same failures; kFail needs CP_UTF8, the one code page
// whose conversion can check its input (another fails with
// ERROR_INVALID_FLAGS).
ORV_API bool fromUtf16(const WCHAR* text, size_t length, std::string& out, InvalidText invalid,
                       UINT codePage = CP_UTF8);

// UTF-8 to UTF-16 and back for a whole string; empty when the conversion fails.
inline WideText utf16Of(const std::string& bytes, InvalidText invalid) {
  WideText wide;
  toUtf16(bytes.data(), bytes.size(), wide, invalid);
  return wide;
}

inline std::string utf8Of(const WCHAR* text, size_t length, InvalidText invalid) {
  std::string bytes;
  fromUtf16(text, length, bytes, invalid);
  return bytes;
}

inline std::string utf8Of(const WideText& text, InvalidText invalid) {
  return utf8Of(text.data(), text.size(), invalid);
}

}  // namespace orv_platform
