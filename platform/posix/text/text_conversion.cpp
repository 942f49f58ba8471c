// UTF-8 <-> UTF-16 with the results of Windows' MultiByteToWideChar and
// WideCharToMultiByte for CP_UTF8. Decoding and validation come from utfcpp.
#include <utf8.h>

#include <climits>
#include <string>

#include "orv_win32.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool isSupportedCodePage(UINT codePage) { return codePage == CP_UTF8 || codePage == CP_ACP; }

// Stores the units into the caller's buffer the way both calls do: a zero
// capacity asks for the size, a small buffer fails.
template <typename CopyTo>
int deliver(size_t needed, int capacity, const CopyTo& copyTo) {
  if (needed > static_cast<size_t>(INT_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (capacity == 0) return static_cast<int>(needed);
  if (needed > static_cast<size_t>(capacity)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  copyTo();
  return static_cast<int>(needed);
}

void appendUtf16(char32_t codePoint, std::u16string& out) {
  if (codePoint < 0x10000) {
    out.push_back(static_cast<char16_t>(codePoint));
  } else {
    codePoint -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
  }
}

}  // namespace

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar) {
  if (!isSupportedCodePage(CodePage) || lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 ||
      cchWideChar < 0 || (cchWideChar > 0 && lpWideCharStr == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((dwFlags & ~MB_ERR_INVALID_CHARS) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  // -1: the text runs to its terminator, which is converted and counted too.
  const size_t length =
      cbMultiByte == -1 ? std::char_traits<char>::length(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
  const char* next = lpMultiByteStr;
  const char* const end = lpMultiByteStr + length;
  std::u16string units;
  units.reserve(length);
  while (next < end) {
    const char* start = next;
    try {
      appendUtf16(utf8::next(next, end), units);
    } catch (const utf8::exception&) {
      if ((dwFlags & MB_ERR_INVALID_CHARS) != 0) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      // One U+FFFD per bad lead byte, then resynchronise on the next byte.
      units.push_back(kReplacement);
      next = start + 1;
    }
  }
  return deliver(units.size(), cchWideChar, [&] { units.copy(lpWideCharStr, units.size()); });
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar) {
  // CP_UTF8 takes no default character (Windows fails such calls).
  if (!isSupportedCodePage(CodePage) || lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 ||
      cbMultiByte < 0 || (cbMultiByte > 0 && lpMultiByteStr == nullptr) || lpDefaultChar != nullptr ||
      lpUsedDefaultChar != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((dwFlags & ~WC_ERR_INVALID_CHARS) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const size_t length =
      cchWideChar == -1 ? std::char_traits<char16_t>::length(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
  std::string bytes;
  bytes.reserve(length);
  auto out = std::back_inserter(bytes);
  for (size_t i = 0; i < length; ++i) {
    const char16_t unit = lpWideCharStr[i];
    char32_t codePoint = unit;
    if (utf8::internal::is_lead_surrogate(unit) && i + 1 < length &&
        utf8::internal::is_trail_surrogate(lpWideCharStr[i + 1])) {
      codePoint = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (lpWideCharStr[i + 1] - 0xDC00);
      ++i;
    } else if (utf8::internal::is_surrogate(unit)) {
      if ((dwFlags & WC_ERR_INVALID_CHARS) != 0) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      codePoint = kReplacement;  // a lone surrogate
    }
    out = utf8::unchecked::append(codePoint, out);
  }
  return deliver(bytes.size(), cbMultiByte, [&] { bytes.copy(lpMultiByteStr, bytes.size()); });
}
