// One implementation for both builds: it calls only the Win32 subset, which
// is the system's own on Windows and posix/text/ elsewhere.
#include "orv_platform/text_encoding.h"

#include <climits>
#include <new>

namespace orv_platform {
namespace {

static_assert(kMaxConvertedText * 3 <= static_cast<size_t>(INT_MAX), "a UTF-8 result of the longest input fits an int");

bool refuse(DWORD error) {
  SetLastError(error);
  return false;
}

// Sizes the result and runs the second call; the first call has measured it.
template <typename Text, typename Convert>
bool fill(Text& out, int size, const Convert& convert) {
  try {
    out.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return refuse(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (convert(&out[0], size) == size) return true;
  out.clear();
  return false;
}

}  // namespace

bool toUtf16(const char* bytes, size_t size, WideText& out, InvalidText invalid, UINT codePage) {
  out.clear();
  if (size == 0) return true;
  if (bytes == nullptr || size > kMaxConvertedText) return refuse(ERROR_INVALID_PARAMETER);
  const DWORD flags = invalid == InvalidText::kFail ? MB_ERR_INVALID_CHARS : 0;
  const int length = static_cast<int>(size);
  const int units = MultiByteToWideChar(codePage, flags, bytes, length, nullptr, 0);
  if (units <= 0) return false;
  return fill(out, units, [&](WCHAR* target, int capacity) {
    return MultiByteToWideChar(codePage, flags, bytes, length, target, capacity);
  });
}

bool fromUtf16(const WCHAR* text, size_t length, std::string& out, InvalidText invalid, UINT codePage) {
  out.clear();
  if (invalid == InvalidText::kFail && codePage != CP_UTF8) return refuse(ERROR_INVALID_FLAGS);
  if (length == 0) return true;
  if (text == nullptr || length > kMaxConvertedText) return refuse(ERROR_INVALID_PARAMETER);
  const DWORD flags = invalid == InvalidText::kFail ? WC_ERR_INVALID_CHARS : 0;
  const int units = static_cast<int>(length);
  const int size = WideCharToMultiByte(codePage, flags, text, units, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return false;
  return fill(out, size, [&](char* target, int capacity) {
    return WideCharToMultiByte(codePage, flags, text, units, target, capacity, nullptr, nullptr);
  });
}

}  // namespace orv_platform
