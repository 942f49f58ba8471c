// What the source files of CORVWCharString share: the source file their
// records name, their raise and catch shapes, and substring matching.
#pragma once

#include <cerrno>

#include "orv_buffer.h"
#include "orv_catch.h"
#include "orv_exceptions.h"
#include "orv_wchar_string.h"

// All parts of the string report as one source file.
#define ORV_WCHAR_STRING_SOURCE_FILE ORV_W("orv_wchar_string.cpp")

#define ORV_STRING_CATCH_RETURN(result) \
  ORV_CATCH_THEN_FROM(errno, ORV_WCHAR_STRING_SOURCE_FILE, __LINE__, return (result))
#define ORV_STRING_BAD_ARG(argument, detail)                                                                         \
  throw CORVBadArgException(ORV_W(argument), ORV_W(detail), ORV_WCHAR_STRING_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, \
                            true, false)

namespace orv_wchar_string {

// A search pattern with its Knuth-Morris-Pratt fallback table, read forwards
// or backwards, so that every scan is linear in the length of the text.
class CPattern {
 public:
  CPattern(const WCHAR* pText, ULONG ulLength, bool bBackward)
      : m_pText(pText), m_ulLength(ulLength), m_bBackward(bBackward) {
    if (ulLength <= kInlineLength) {
      m_pFallback = m_inline;
    } else if (m_heap.init(ulLength)) {
      m_pFallback = m_heap.getBuffer();
    } else {
      return;  // logged by init; the pattern matches nothing
    }
    m_pFallback[0] = 0;
    for (ULONG q = 1, k = 0; q < ulLength; ++q) {
      while (k > 0 && at(k) != at(q)) k = m_pFallback[k - 1];
      if (at(k) == at(q)) ++k;
      m_pFallback[q] = k;
    }
  }
  CPattern(const CPattern&) = delete;
  CPattern& operator=(const CPattern&) = delete;

  bool isReady() const { return m_pFallback != nullptr && m_ulLength != 0; }
  ULONG length() const { return m_ulLength; }
  WCHAR at(ULONG j) const { return m_bBackward ? m_pText[m_ulLength - 1 - j] : m_pText[j]; }
  // The number of pattern units matched after reading c with j matched.
  ULONG advance(ULONG j, WCHAR c) const {
    if (j == m_ulLength) j = m_pFallback[j - 1];
    while (j > 0 && c != at(j)) j = m_pFallback[j - 1];
    return c == at(j) ? j + 1 : 0;
  }

 private:
  static constexpr ULONG kInlineLength = 32;

  const WCHAR* m_pText;
  ULONG m_ulLength;
  bool m_bBackward;
  ULONG* m_pFallback = nullptr;
  ULONG m_inline[kInlineLength];
  CORVBuffer<ULONG> m_heap;
};

// The matches of a pattern in a text, from the start or from the end; each
// given as its start position in the text.
class CMatchScanner {
 public:
  enum Overlap { overlapping, disjoint };

  CMatchScanner(const WCHAR* pText, ULONG ulTextLength, const WCHAR* pPattern, ULONG ulPatternLength, bool bBackward,
                Overlap overlap = overlapping)
      : m_pattern(pPattern, ulPatternLength, bBackward),
        m_pText(pText),
        m_ulTextLength(ulTextLength),
        m_bBackward(bBackward),
        m_overlap(overlap) {}

  bool next(ULONG& ulStart) {
    if (!m_pattern.isReady()) return false;
    const ULONG ulPatternLength = m_pattern.length();
    while (m_ulNext < m_ulTextLength) {
      const WCHAR c = m_bBackward ? m_pText[m_ulTextLength - 1 - m_ulNext] : m_pText[m_ulNext];
      ++m_ulNext;
      m_ulMatched = m_pattern.advance(m_ulMatched, c);
      if (m_ulMatched == ulPatternLength) {
        if (m_overlap == disjoint) m_ulMatched = 0;
        ulStart = m_bBackward ? m_ulTextLength - m_ulNext : m_ulNext - ulPatternLength;
        return true;
      }
    }
    return false;
  }

 private:
  CPattern m_pattern;
  const WCHAR* m_pText;
  ULONG m_ulTextLength;
  bool m_bBackward;
  Overlap m_overlap;
  ULONG m_ulNext = 0;
  ULONG m_ulMatched = 0;
};

inline WCHAR hexDigit(ULONG ulValue) {
  return static_cast<WCHAR>(ulValue < 10 ? ORV_W('0') + ulValue : ORV_W('A') + (ulValue - 10));
}

// The value of a hexadecimal digit, or -1.
inline int hexValue(WCHAR c) {
  if (c >= ORV_W('0') && c <= ORV_W('9')) return c - ORV_W('0');
  if (c >= ORV_W('a') && c <= ORV_W('f')) return c - ORV_W('a') + 10;
  if (c >= ORV_W('A') && c <= ORV_W('F')) return c - ORV_W('A') + 10;
  return -1;
}

// The whitespace classes, in the order of their bits.
constexpr WCHAR kWhitespace[] = {0x20, 0x09, 0x0C, 0x07, 0x0A, 0x08, 0x0D, 0x0B};

// The class bits that a flag set selects.
inline ULONG selectedClasses(const CORVFlags& classes) {
  ULONG ulSelected = 0;
  for (ULONG bit = 1; bit <= CORVWCharString::wsVerticalTab; bit <<= 1)
    if (classes.hasFlags(bit)) ulSelected |= bit;
  return ulSelected;
}

inline bool isInClasses(WCHAR c, ULONG ulSelected) {
  for (ULONG i = 0; i < sizeof(kWhitespace) / sizeof(kWhitespace[0]); ++i)
    if ((ulSelected & (1u << i)) != 0 && c == kWhitespace[i]) return true;
  return false;
}

}  // namespace orv_wchar_string
