// wsprintfW as user32 implements it: a fixed set of conversions and a
// 1024-character output limit.
#include <cstdint>
#include <type_traits>

#include "orv_win32.h"

namespace {

constexpr size_t kMaxOutput = 1024;  // characters, terminator included

// Collects output up to the limit; what does not fit is dropped.
class Output {
 public:
  explicit Output(LPWSTR buffer) : buffer_(buffer) {}
  void put(WCHAR c) {
    if (length_ + 1 < kMaxOutput) buffer_[length_++] = c;
  }
  void repeat(WCHAR c, size_t count) {
    for (size_t i = 0; i < count; ++i) put(c);
  }
  int finish() {
    buffer_[length_] = 0;
    return static_cast<int>(length_);
  }

 private:
  LPWSTR buffer_;
  size_t length_ = 0;
};

struct Conversion {
  bool leftAlign = false;
  bool zeroPad = false;
  bool alternate = false;
  size_t width = 0;
  int precision = -1;
  bool narrow = false;  // 'h' or %S: the argument is char text
};

size_t readNumber(LPCWSTR& p) {
  size_t value = 0;
  while (*p >= u'0' && *p <= u'9') {
    if (value < kMaxOutput) value = value * 10 + static_cast<size_t>(*p - u'0');
    ++p;
  }
  return value;
}

void pad(Output& out, const Conversion& spec, size_t length, WCHAR fill) {
  if (spec.width > length) out.repeat(fill, spec.width - length);
}

template <typename Char>
void putText(Output& out, const Conversion& spec, const Char* text) {
  static const char kNull[] = "(null)";
  if (text == nullptr) return putText(out, spec, kNull);
  size_t length = 0;
  while (text[length] != 0 && (spec.precision < 0 || length < static_cast<size_t>(spec.precision))) ++length;
  if (!spec.leftAlign) pad(out, spec, length, u' ');
  for (size_t i = 0; i < length; ++i) out.put(static_cast<WCHAR>(static_cast<std::make_unsigned_t<Char>>(text[i])));
  if (spec.leftAlign) pad(out, spec, length, u' ');
}

void putNumber(Output& out, const Conversion& spec, uint32_t magnitude, bool negative, unsigned base, bool upper) {
  const char* digitsOf = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  WCHAR digits[16];
  size_t count = 0;
  do {
    digits[count++] = static_cast<WCHAR>(digitsOf[magnitude % base]);
    magnitude /= base;
  } while (magnitude != 0);
  const size_t minimum = spec.precision < 0 ? 0 : static_cast<size_t>(spec.precision);
  const size_t leadingZeros = minimum > count ? minimum - count : 0;
  const WCHAR* prefix = negative ? u"-" : (spec.alternate && base == 16) ? (upper ? u"0X" : u"0x") : u"";
  size_t prefixLength = 0;
  while (prefix[prefixLength] != 0) ++prefixLength;
  const size_t length = prefixLength + leadingZeros + count;
  const bool zeroFill = spec.zeroPad && !spec.leftAlign;
  if (!spec.leftAlign && !zeroFill) pad(out, spec, length, u' ');
  for (size_t i = 0; i < prefixLength; ++i) out.put(prefix[i]);
  if (zeroFill) pad(out, spec, length, u'0');
  out.repeat(u'0', leadingZeros);
  while (count > 0) out.put(digits[--count]);
  if (spec.leftAlign) pad(out, spec, length, u' ');
}

}  // namespace

int wvsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, va_list arglist) {
  if (lpOut == nullptr) return 0;
  Output out(lpOut);
  if (lpFmt == nullptr) return out.finish();
  for (LPCWSTR p = lpFmt; *p != 0;) {
    if (*p != u'%') {
      out.put(*p++);
      continue;
    }
    ++p;
    Conversion spec;
    for (;; ++p) {
      if (*p == u'-')
        spec.leftAlign = true;
      else if (*p == u'0')
        spec.zeroPad = true;
      else if (*p == u'#')
        spec.alternate = true;
      else
        break;
    }
    spec.width = readNumber(p);
    if (*p == u'.') {
      ++p;
      spec.precision = static_cast<int>(readNumber(p));
    }
    if (*p == u'l')
      ++p;  // Windows' long is 32 bits: the same as int
    else if (*p == u'h')
      spec.narrow = true, ++p;
    const WCHAR type = *p;
    if (type == 0) break;
    ++p;
    switch (type) {
      case u's':
        if (spec.narrow)
          putText(out, spec, va_arg(arglist, const char*));
        else
          putText(out, spec, va_arg(arglist, const WCHAR*));
        break;
      case u'S': putText(out, spec, va_arg(arglist, const char*)); break;
      case u'c': {
        const WCHAR text[2] = {static_cast<WCHAR>(va_arg(arglist, int)), 0};
        putText(out, spec, text);
        break;
      }
      case u'd':
      case u'i': {
        const int32_t value = va_arg(arglist, int32_t);
        const uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
        putNumber(out, spec, magnitude, value < 0, 10, false);
        break;
      }
      case u'u': putNumber(out, spec, va_arg(arglist, uint32_t), false, 10, false); break;
      case u'x':
      case u'X': putNumber(out, spec, va_arg(arglist, uint32_t), false, 16, type == u'X'); break;
      default:  // %% and unknown conversions print the character itself
        out.put(type);
        break;
    }
  }
  return out.finish();
}

int wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...) {
  va_list args;
  va_start(args, lpFmt);
  const int written = wvsprintfW(lpOut, lpFmt, args);
  va_end(args);
  return written;
}
