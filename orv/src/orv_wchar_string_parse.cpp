// CORVWCharString: trimming and stripping by whitespace class, the number
// tests and toNumber, and cutting a text into fields.
#include "orv_wchar_string.h"
#include "orv_wchar_string_internal.h"

using orv_wchar_string::CMatchScanner;
using orv_wchar_string::hexValue;
using orv_wchar_string::isInClasses;
using orv_wchar_string::selectedClasses;

namespace {

bool isDecimalDigit(WCHAR c) { return c >= ORV_W('0') && c <= ORV_W('9'); }
bool isBinaryDigit(WCHAR c) { return c == ORV_W('0') || c == ORV_W('1'); }
bool isOctalDigit(WCHAR c) { return c >= ORV_W('0') && c <= ORV_W('7'); }
bool isHexDigit(WCHAR c) { return hexValue(c) >= 0; }

WCHAR toLowerAscii(WCHAR c) {
  return (c >= ORV_W('A') && c <= ORV_W('Z')) ? static_cast<WCHAR>(c + (ORV_W('a') - ORV_W('A'))) : c;
}

// A leading "0x" or a final 'h', either case.
bool stripHexMarker(CORVWCharString& digits) {
  const ULONG ulLength = digits.getLength();
  const WCHAR* pText = digits.getBuffer();
  if (ulLength >= 2 && pText[0] == ORV_W('0') && toLowerAscii(pText[1]) == ORV_W('x')) return digits.removeFromStart(2);
  if (ulLength >= 1 && toLowerAscii(pText[ulLength - 1]) == ORV_W('h')) return digits.removeFromEnd(1);
  return true;
}

// The value of the digits in a base, kept in 32 bits.
ULONG digitsValue(const CORVWCharString& digits, ULONG ulBase) {
  ULONG ulValue = 0;
  const WCHAR* pText = digits.getBuffer();
  for (ULONG i = 0, ulLength = digits.getLength(); i < ulLength; ++i)
    ulValue = ulValue * ulBase + static_cast<ULONG>(hexValue(pText[i]));
  return ulValue;
}

}  // namespace

// ---- Trimming

bool CORVWCharString::trim(WCHAR extraChar, const CORVFlags& sides, const CORVFlags& classes) {
  try {
    const ULONG ulLength = getLength();
    if (ulLength == 0) return false;
    const ULONG ulSelected = selectedClasses(classes);
    const auto isTrimmed = [&](WCHAR c) { return c == extraChar || isInClasses(c, ulSelected); };
    ULONG ulEnd = ulLength;
    if (sides.hasFlags(sideTrailing))
      while (ulEnd > 0 && isTrimmed(m_pBuffer[ulEnd - 1])) --ulEnd;
    ULONG ulBegin = 0;
    if (sides.hasFlags(sideLeading))
      while (ulBegin < ulEnd && isTrimmed(m_pBuffer[ulBegin])) ++ulBegin;
    if (ulBegin == 0 && ulEnd == ulLength) return true;
    // Rebuilt at its new size, so that the string stays normalised.
    return assign(m_pBuffer + ulBegin, ulEnd - ulBegin);
  }
  ORV_STRING_CATCH_RETURN(false)
}

bool CORVWCharString::strip(const CORVFlags& sides, const CORVFlags& classes) {
  try {
    if (sides.getFlags() == 0 || classes.getFlags() == 0) return true;
    return stripSelected(sides.hasFlags(sideLeading), sides.hasFlags(sideTrailing), selectedClasses(classes));
  }
  ORV_STRING_CATCH_RETURN(false)
}

bool CORVWCharString::stripSelected(bool bLeading, bool bTrailing, ULONG ulSelectedClasses) {
  const ULONG ulLength = getLength();
  if (ulLength == 0 || ulSelectedClasses == 0 || (!bLeading && !bTrailing)) return true;
  const auto isSelected = [&](WCHAR c) { return isInClasses(c, ulSelectedClasses); };
  ULONG ulRunEnd = 0;
  while (ulRunEnd < ulLength && isSelected(m_pBuffer[ulRunEnd])) ++ulRunEnd;
  if (ulRunEnd == ulLength) return free();  // all of it is leading and trailing run
  ULONG ulTailBegin = ulLength;
  while (isSelected(m_pBuffer[ulTailBegin - 1])) --ulTailBegin;
  if (!bLeading || !bTrailing) {
    const ULONG ulBegin = bLeading ? ulRunEnd : 0;
    const ULONG ulEnd = bTrailing ? ulTailBegin : ulLength;
    return (ulBegin == 0 && ulEnd == ulLength) || assign(m_pBuffer + ulBegin, ulEnd - ulBegin);
  }
  // Both sides: the selected characters go from the interior as well.
  ULONG ulKept = 0;
  for (ULONG i = ulRunEnd; i < ulTailBegin; ++i)
    if (!isSelected(m_pBuffer[i])) ++ulKept;
  CORVBuffer<WCHAR> text;
  if (!text.init(ulKept + 1)) return false;
  WCHAR* pOut = text.getBuffer();
  for (ULONG i = ulRunEnd; i < ulTailBegin; ++i)
    if (!isSelected(m_pBuffer[i])) *pOut++ = m_pBuffer[i];
  swap(text);
  return true;
}

// ---- Number tests

bool CORVWCharString::allDigits(bool (*isDigit)(WCHAR)) const {
  if (!isValid()) return false;
  for (ULONG i = 0, ulLength = getLength(); i < ulLength; ++i)
    if (!isDigit(m_pBuffer[i])) return false;
  return true;
}

bool CORVWCharString::isBinary() const { return allDigits(isBinaryDigit); }

bool CORVWCharString::isOctal() const { return allDigits(isOctalDigit); }

bool CORVWCharString::isHex() const { return allDigits(isHexDigit); }

bool CORVWCharString::isNumeric(bool bAllowMinus, bool bAllowPoint) const {
  const ULONG ulLength = getLength();
  ULONG ulDigits = 0;
  bool bPointSeen = false;
  for (ULONG i = 0; i < ulLength; ++i) {
    const WCHAR c = m_pBuffer[i];
    if (isDecimalDigit(c)) {
      ++ulDigits;
    } else if (c == ORV_W('-') && bAllowMinus && i == 0) {
      // a leading sign
    } else if (c == ORV_W('.') && bAllowPoint && !bPointSeen && i != 0 && i + 1 != ulLength) {
      bPointSeen = true;
    } else {
      return false;
    }
  }
  return ulDigits != 0;  // a sign or a point alone is no number
}

bool CORVWCharString::hasMarker(WCHAR marker, bool (*isDigit)(WCHAR)) const {
  const ULONG ulLength = getLength();
  ULONG ulMarkers = 0;
  ULONG ulMarkerPos = 0;
  for (ULONG i = 0; i < ulLength; ++i) {
    if (toLowerAscii(m_pBuffer[i]) == marker) {
      ++ulMarkers;
      ulMarkerPos = i;
    } else if (!isDigit(m_pBuffer[i])) {
      return false;
    }
  }
  return ulMarkers == 1 && ulLength >= 2 && (ulMarkerPos == 1 || ulMarkerPos + 1 == ulLength);
}

bool CORVWCharString::hasBinaryMarker() const { return hasMarker(ORV_W('b'), isBinaryDigit); }

bool CORVWCharString::hasOctalMarker() const { return hasMarker(ORV_W('o'), isOctalDigit); }

bool CORVWCharString::hasHexMarker() const {
  const ULONG ulLength = getLength();
  ULONG ulX = 0;
  ULONG ulH = 0;
  ULONG ulDigits = 0;
  for (ULONG i = 0; i < ulLength; ++i) {
    const WCHAR c = toLowerAscii(m_pBuffer[i]);
    if (c == ORV_W('x')) {
      ++ulX;
    } else if (c == ORV_W('h')) {
      ++ulH;
    } else if (isHexDigit(c)) {
      ++ulDigits;
    } else {
      return false;
    }
  }
  return ulDigits != 0 && ulX + ulH <= 1;
}

bool CORVWCharString::stripMarker() {
  try {
    const ULONG ulLength = getLength();
    if (ulLength == 0) return false;
    if (hasBinaryMarker() || hasOctalMarker()) {
      // Two characters hold both forms: the marker is then the suffix.
      const WCHAR second = toLowerAscii(m_pBuffer[1]);
      const bool bPrefixForm = ulLength > 2 && (second == ORV_W('b') || second == ORV_W('o'));
      return bPrefixForm ? removeFromStart(2) : removeFromEnd(1);
    }
    return !hasHexMarker() || stripHexMarker(*this);
  }
  ORV_STRING_CATCH_RETURN(false)
}

bool CORVWCharString::toNumber(ULONG& ulValue, USHORT asNumberSystem, bool bStripHexMarker) const {
  try {
    CORVWCharString digits(*this);
    digits.trim(ORV_W(' '), CORVFlags(sideBoth), CORVFlags(wsAll));
    ULONG ulParsed = 0;
    switch (asNumberSystem) {
      case nsDecimal:
        if (!digits.isNumeric(true, false)) return false;
        ulParsed = static_cast<ULONG>(static_cast<LONG>(_wtol(digits.getBuffer())));
        break;
      case nsHex:
        if (!digits.isHex() && !digits.hasHexMarker()) return false;
        if (bStripHexMarker && !stripHexMarker(digits)) return false;
        if (digits.getLength() > 8)
          ORV_STRING_BAD_ARG("this string", "too many hex digits in string - will overflow unsigned long value");
        // A marker left in the text, or one out of place, is no digit.
        if (!digits.isHex()) return false;
        ulParsed = digitsValue(digits, 16);
        break;
      case nsBinary:
        if (!digits.isBinary() && !digits.hasBinaryMarker()) return false;
        if (!digits.stripMarker()) return false;
        if (digits.getLength() >= 33)
          ORV_STRING_BAD_ARG("this", "too many binary digits in string - will overflow unsigned long value");
        if (!digits.isBinary()) return false;
        ulParsed = digitsValue(digits, 2);
        break;
      case nsOctal:
        if (!digits.isOctal() && !digits.hasOctalMarker()) return false;
        if (!digits.stripMarker()) return false;
        if (digits.getLength() >= 13)
          ORV_STRING_BAD_ARG("this string", "too many octal digits in string - will overflow unsigned long value");
        if (!digits.isOctal()) return false;
        ulParsed = digitsValue(digits, 8);
        break;
      default: return false;
    }
    ulValue = ulParsed;
    return true;
  }
  ORV_STRING_CATCH_RETURN(false)
}

// ---- Fields

bool CORVWCharString::locateField(const CORVWCharString& delimiter, ULONG ulOccurrance, ULONG parseMode, ULONG& ulBegin,
                                  ULONG& ulEnd) const {
  if (parseMode != fromStart && parseMode != fromEnd) return false;
  const ULONG ulLength = getLength();
  const ULONG ulDelimiterLength = delimiter.getLength();
  CMatchScanner delimiters(m_pBuffer, ulLength, delimiter.m_pBuffer, ulDelimiterLength, false, CMatchScanner::disjoint);
  // The field opens behind delimiter ulOccurrance - 1 (or at the start), or
  // for an enclosed text behind delimiter ulOccurrance.
  const ULONG ulOpening = parseMode == fromStart ? ulOccurrance - 1 : ulOccurrance;
  ULONG ulStart = 0;
  ulBegin = 0;
  for (ULONG ulSeen = 0; ulSeen < ulOpening; ++ulSeen) {
    if (!delimiters.next(ulStart)) return false;
    ulBegin = ulStart + ulDelimiterLength;
  }
  if (delimiters.next(ulStart)) {
    ulEnd = ulStart;
    return true;
  }
  ulEnd = ulLength;
  return parseMode == fromStart;  // the last field runs to the end
}

bool CORVWCharString::getField(CORVWCharString& out, const CORVWCharString& delimiter, ULONG ulOccurrance,
                               ULONG parseMode, const CORVFlags& sides, const CORVFlags& classes) const {
  try {
    if (ulOccurrance == 0) ORV_STRING_BAD_ARG("ulOccurrance", "ulOccurrance must be greater than 0");
    if (getLength() == 0 || delimiter.getLength() == 0) return false;
    ULONG ulBegin = 0;
    ULONG ulEnd = 0;
    if (!locateField(delimiter, ulOccurrance, parseMode, ulBegin, ulEnd)) return false;
    CORVWCharString field;
    if (!field.assign(m_pBuffer + ulBegin, ulEnd - ulBegin) || !field.strip(sides, classes)) return false;
    out.swap(field);
    return true;
  }
  ORV_STRING_CATCH_RETURN(false)
}

bool CORVWCharString::split(CORVWCharStringList& list, const CORVWCharString& delimiter, ULONG parseMode,
                            const CORVFlags& sides, const CORVFlags& classes) const {
  try {
    list.clear();
    const ULONG ulLength = getLength();
    const ULONG ulDelimiterLength = delimiter.getLength();
    if (ulLength == 0 || ulDelimiterLength == 0 || (parseMode != fromStart && parseMode != fromEnd)) return false;
    // The same fields as getField for 1, 2, 3, ... (or 1, 3, 5, ...), found
    // in one scan.
    const bool bStrip = sides.getFlags() != 0 && classes.getFlags() != 0;
    const bool bLeading = bStrip && sides.hasFlags(sideLeading);
    const bool bTrailing = bStrip && sides.hasFlags(sideTrailing);
    const ULONG ulSelected = bStrip ? selectedClasses(classes) : 0;
    INT nTag = 0;
    const auto addField = [&](ULONG ulBegin, ULONG ulEnd) {
      CORVWCharString field;
      return field.assign(m_pBuffer + ulBegin, ulEnd - ulBegin) &&
             field.stripSelected(bLeading, bTrailing, ulSelected) && list.addTail(std::move(field), nTag++);
    };
    CMatchScanner delimiters(m_pBuffer, ulLength, delimiter.m_pBuffer, ulDelimiterLength, false,
                             CMatchScanner::disjoint);
    bool bAdded = true;
    ULONG ulStart = 0;
    if (parseMode == fromStart) {
      ULONG ulBegin = 0;
      for (; bAdded && delimiters.next(ulStart); ulBegin = ulStart + ulDelimiterLength)
        bAdded = addField(ulBegin, ulStart);
      if (bAdded) bAdded = addField(ulBegin, ulLength);
    } else {
      for (ULONG ulOpening = 0; bAdded && delimiters.next(ulOpening) && delimiters.next(ulStart);)
        bAdded = addField(ulOpening + ulDelimiterLength, ulStart);
    }
    // A list with a field missing in the middle would be wrong, not short.
    if (!bAdded) list.clear();
    return list.getCount() != 0;
  }
  ORV_STRING_CATCH_RETURN(false)
}
