// The C runtime's wide-string helpers for 16-bit text. Case folding is the
// CRT's "C" locale rule: ASCII letters only.
#include <climits>
#include <string>

#include "orv_win32.h"

namespace {

WCHAR foldAscii(WCHAR c) { return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c + (u'a' - u'A')) : c; }

bool isCrtBlank(WCHAR c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

template <typename Result>
Result parseDecimal(const WCHAR* s) {
  if (s == nullptr) return 0;
  while (isCrtBlank(*s)) ++s;
  bool negative = false;
  if (*s == u'+' || *s == u'-') negative = (*s++ == u'-');
  long long value = 0;
  for (; *s >= u'0' && *s <= u'9'; ++s) {
    value = value * 10 + (*s - u'0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;  // out of range: the CRT saturates
  }
  if (negative) value = -value;
  if (value > INT_MAX) return static_cast<Result>(INT_MAX);
  if (value < INT_MIN) return static_cast<Result>(INT_MIN);
  return static_cast<Result>(value);
}

}  // namespace

size_t wcslen(const WCHAR* s) { return std::char_traits<WCHAR>::length(s); }

int wcscmp(const WCHAR* a, const WCHAR* b) {
  for (;; ++a, ++b) {
    if (*a != *b) return *a < *b ? -1 : 1;
    if (*a == 0) return 0;
  }
}

int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n) {
  for (; n > 0; --n, ++a, ++b) {
    if (*a != *b) return *a < *b ? -1 : 1;
    if (*a == 0) return 0;
  }
  return 0;
}

int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t n) {
  for (; n > 0; --n, ++a, ++b) {
    const WCHAR x = foldAscii(*a);
    const WCHAR y = foldAscii(*b);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
  return 0;
}

int _wcsicmp(const WCHAR* a, const WCHAR* b) { return _wcsnicmp(a, b, static_cast<size_t>(-1)); }

const WCHAR* wcschr(const WCHAR* s, WCHAR c) {
  for (;; ++s) {
    if (*s == c) return s;
    if (*s == 0) return nullptr;
  }
}

WCHAR* wcschr(WCHAR* s, WCHAR c) { return const_cast<WCHAR*>(wcschr(static_cast<const WCHAR*>(s), c)); }

const WCHAR* wcsrchr(const WCHAR* s, WCHAR c) {
  const WCHAR* last = nullptr;
  for (;; ++s) {
    if (*s == c) last = s;
    if (*s == 0) return last;
  }
}

WCHAR* wcsrchr(WCHAR* s, WCHAR c) { return const_cast<WCHAR*>(wcsrchr(static_cast<const WCHAR*>(s), c)); }

const WCHAR* wcsstr(const WCHAR* haystack, const WCHAR* needle) {
  std::u16string_view text(haystack);
  const size_t at = text.find(needle);
  return at == std::u16string_view::npos ? nullptr : haystack + at;
}

WCHAR* wcsstr(WCHAR* haystack, const WCHAR* needle) {
  return const_cast<WCHAR*>(wcsstr(static_cast<const WCHAR*>(haystack), needle));
}

int _wtoi(const WCHAR* s) { return parseDecimal<int>(s); }

long _wtol(const WCHAR* s) { return parseDecimal<long>(s); }
