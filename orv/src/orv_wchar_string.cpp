// CORVWCharString: construction, assignment, concatenation, comparison,
// truncation, and the traced prefix, suffix and code-string operations.
#include "orv_wchar_string.h"

#include <algorithm>

#include "orv_trace_scope.h"
#include "orv_wchar_string_internal.h"

using orv_wchar_string::hexDigit;
using orv_wchar_string::hexValue;

namespace {

// The length of the text in a buffer: up to its first 0, or all of it.
ULONG textLengthIn(const WCHAR* pText, ULONG ulNumElems) {
  if (pText == nullptr) return 0;
  ULONG ulLength = 0;
  while (ulLength < ulNumElems && pText[ulLength] != 0) ++ulLength;
  return ulLength;
}

}  // namespace

// ---- Construction

CORVWCharString::CORVWCharString() = default;

CORVWCharString::CORVWCharString(const CORVWCharString& other) = default;

CORVWCharString::CORVWCharString(CORVWCharString&& other) noexcept = default;

CORVWCharString::CORVWCharString(const CORVBuffer<WCHAR>& buffer) {
  if (!assign(buffer.getBuffer(), textLengthIn(buffer.getBuffer(), buffer.getNumElems())))
    throw CORVBufferInitException(ORV_WCHAR_STRING_SOURCE_FILE, __LINE__, true);
}

CORVWCharString::CORVWCharString(WCHAR character) {
  if (character != 0 && !assign(&character, 1))
    throw CORVBufferInitException(ORV_WCHAR_STRING_SOURCE_FILE, __LINE__, true);
}

CORVWCharString::CORVWCharString(const WCHAR* text) {
  if (text != nullptr && !assign(text, textLengthIn(text, 0xFFFFFFFEu)))
    throw CORVBufferInitException(ORV_WCHAR_STRING_SOURCE_FILE, __LINE__, true);
}

CORVWCharString::CORVWCharString(INT nValue) {
  if (!buildNumber(static_cast<ULONG>(nValue), nsDecimal, 0, false))
    throw CORVBufferInitException(ORV_WCHAR_STRING_SOURCE_FILE, __LINE__, true);
}

CORVWCharString::CORVWCharString(ULONG ulValue, USHORT asNumberSystem, USHORT usWidth, bool bPrefix) {
  if (!buildNumber(ulValue, asNumberSystem, usWidth, bPrefix))
    throw CORVBufferInitException(ORV_WCHAR_STRING_SOURCE_FILE, __LINE__, true);
}

bool CORVWCharString::buildNumber(ULONG ulValue, USHORT asNumberSystem, USHORT usWidth, bool bPrefix) {
  try {
    if (asNumberSystem == nsDecimal) {
      // Signed; the magnitude is taken unsigned so that the most negative
      // value has one too.
      const bool bNegative = static_cast<INT>(ulValue) < 0;
      ULONG ulMagnitude = bNegative ? 0u - ulValue : ulValue;
      WCHAR text[12];
      ULONG ulStart = sizeof(text) / sizeof(text[0]);
      do {
        text[--ulStart] = static_cast<WCHAR>(ORV_W('0') + ulMagnitude % 10);
        ulMagnitude /= 10;
      } while (ulMagnitude != 0);
      if (bNegative) text[--ulStart] = ORV_W('-');
      return assign(text + ulStart, sizeof(text) / sizeof(text[0]) - ulStart);
    }
    ULONG ulBits = 0;
    WCHAR marker = 0;
    switch (asNumberSystem) {
      case nsHex:
        ulBits = 4;
        marker = ORV_W('x');
        break;
      case nsBinary:
        ulBits = 1;
        marker = ORV_W('b');
        break;
      case nsOctal:
        ulBits = 3;
        marker = ORV_W('o');
        break;
      default: ORV_STRING_BAD_ARG("asNumberSystem", "mode isn't supported, must be hex,bin,or oct");
    }
    // Digits up to the one where the rest of the value fell below the base.
    ULONG ulDigits = 0;
    for (ULONG ulRest = ulValue; ulDigits == 0 || ulRest != 0; ulRest >>= ulBits) ++ulDigits;
    // A width pads with zeros or keeps only the least significant digits.
    const ULONG ulShown = usWidth != 0 ? usWidth : ulDigits;
    const ULONG ulPrefix = bPrefix ? 2 : 0;
    CORVBuffer<WCHAR> text;
    if (!text.init(ulPrefix + ulShown + 1)) return false;
    WCHAR* const pOut = text.getBuffer();
    if (bPrefix) {
      pOut[0] = ORV_W('0');
      pOut[1] = marker;
    }
    const ULONG ulMask = (1u << ulBits) - 1;
    for (ULONG i = 0; i < ulShown; ++i) {
      const ULONG ulPlace = ulShown - 1 - i;  // digits from the least significant
      pOut[ulPrefix + i] = ulPlace < ulDigits ? hexDigit((ulValue >> (ulPlace * ulBits)) & ulMask) : ORV_W('0');
    }
    swap(text);
    return true;
  }
  ORV_STRING_CATCH_RETURN(false)
}

// ---- Assignment

bool CORVWCharString::assign(const WCHAR* pText, ULONG ulLength) { return assignJoined(pText, ulLength, nullptr, 0); }

bool CORVWCharString::assignJoined(const WCHAR* pFirst, ULONG ulFirst, const WCHAR* pSecond, ULONG ulSecond,
                                   const WCHAR* pThird, ULONG ulThird) {
  try {
    const ULONG ulLength = addCounts(addCounts(ulFirst, ulSecond), ulThird);
    if (ulLength == 0) return free();
    // The pieces may lie in this string's storage: copy them out first.
    CORVBuffer<WCHAR> text;
    if (!text.init(addCounts(ulLength, 1))) return false;
    copyElems(text.getBuffer(), pFirst, ulFirst);
    copyElems(text.getBuffer() + ulFirst, pSecond, ulSecond);
    copyElems(text.getBuffer() + ulFirst + ulSecond, pThird, ulThird);
    swap(text);
    return true;
  }
  ORV_STRING_CATCH_RETURN(false)
}

CORVWCharString& CORVWCharString::operator=(const CORVWCharString& other) {
  if (this == &other) return *this;
  if (!other.isValid()) {
    free();
  } else {
    CORVBuffer<WCHAR>::operator=(other);
  }
  return *this;
}

CORVWCharString& CORVWCharString::operator=(CORVWCharString&& other) noexcept {
  CORVBuffer<WCHAR>::operator=(std::move(other));
  return *this;
}

CORVWCharString& CORVWCharString::operator=(const CORVBuffer<WCHAR>& buffer) {
  assign(buffer.getBuffer(), textLengthIn(buffer.getBuffer(), buffer.getNumElems()));
  return *this;
}

CORVWCharString& CORVWCharString::operator=(WCHAR character) {
  assign(&character, character != 0 ? 1 : 0);
  return *this;
}

CORVWCharString& CORVWCharString::operator=(const WCHAR* text) {
  assign(text, textLengthIn(text, 0xFFFFFFFEu));
  return *this;
}

ULONG CORVWCharString::getLength() const { return textLengthIn(m_pBuffer, m_ulNumElems); }

bool CORVWCharString::normalize() {
  try {
    if (!isValid()) return false;
    const ULONG ulLength = getLength();
    if (ulLength == 0) return free();
    if (m_ulNumElems == ulLength + 1) return true;
    // Cuts behind the first terminator, or adds the missing one.
    return resize(ulLength + 1);
  }
  ORV_STRING_CATCH_RETURN(false)
}

// ---- Concatenation

CORVWCharString& CORVWCharString::operator+=(const CORVWCharString& other) {
  const ULONG ulAdded = other.getLength();
  if (ulAdded != 0) assignJoined(m_pBuffer, getLength(), other.m_pBuffer, ulAdded);
  return *this;
}

CORVWCharString& CORVWCharString::operator+=(const WCHAR* text) {
  const ULONG ulAdded = textLengthIn(text, 0xFFFFFFFEu);
  if (ulAdded != 0) assignJoined(m_pBuffer, getLength(), text, ulAdded);
  return *this;
}

CORVWCharString CORVWCharString::operator+(const CORVWCharString& other) const {
  CORVWCharString joined;
  joined.assignJoined(m_pBuffer, getLength(), other.m_pBuffer, other.getLength());
  return joined;
}

// ---- Comparison

int CORVWCharString::compareEqualLength(const CORVWCharString& other) const {
  const ULONG ulLength = getLength();
  for (ULONG i = 0; i < ulLength; ++i)
    if (m_pBuffer[i] != other.m_pBuffer[i]) return m_pBuffer[i] < other.m_pBuffer[i] ? -1 : 1;
  return 0;
}

bool CORVWCharString::operator==(const CORVWCharString& other) const {
  return getLength() == other.getLength() && compareEqualLength(other) == 0;
}

bool CORVWCharString::operator!=(const CORVWCharString& other) const { return !(*this == other); }

bool CORVWCharString::operator<=(const CORVWCharString& other) const {
  const ULONG ulLength = getLength();
  return ulLength != 0 && ulLength == other.getLength() && compareEqualLength(other) <= 0;
}

bool CORVWCharString::operator>=(const CORVWCharString& other) const {
  const ULONG ulLength = getLength();
  return ulLength != 0 && ulLength == other.getLength() && compareEqualLength(other) >= 0;
}

bool CORVWCharString::operator<(const CORVWCharString& other) const { return !(*this >= other); }

bool CORVWCharString::operator>(const CORVWCharString& other) const { return !(*this <= other); }

// ---- Truncation

bool CORVWCharString::removeFromEnd(ULONG ulCount) {
  if (ulCount == 0) return true;
  const ULONG ulLength = getLength();
  return assign(m_pBuffer, ulCount < ulLength ? ulLength - ulCount : 0);
}

bool CORVWCharString::removeFromStart(ULONG ulCount) {
  if (ulCount == 0) return true;
  const ULONG ulLength = getLength();
  return ulCount < ulLength ? assign(m_pBuffer + ulCount, ulLength - ulCount) : free();
}

CORVWCharString CORVWCharString::withoutEnd(ULONG ulCount) const {
  const ULONG ulLength = getLength();
  CORVWCharString rest;
  rest.assign(m_pBuffer, ulCount < ulLength ? ulLength - ulCount : 0);
  return rest;
}

CORVWCharString CORVWCharString::withoutStart(ULONG ulCount) const {
  const ULONG ulLength = getLength();
  CORVWCharString rest;
  if (ulCount < ulLength) rest.assign(m_pBuffer + ulCount, ulLength - ulCount);
  return rest;
}

bool CORVWCharString::reverse() {
  const ULONG ulLength = getLength();
  if (ulLength == 0) return false;
  std::reverse(m_pBuffer, m_pBuffer + ulLength);
  return true;
}

bool CORVWCharString::toLower() {
  const ULONG ulLength = getLength();
  for (ULONG i = 0; i < ulLength; ++i)
    if (m_pBuffer[i] >= ORV_W('A') && m_pBuffer[i] <= ORV_W('Z'))
      m_pBuffer[i] = static_cast<WCHAR>(m_pBuffer[i] + (ORV_W('a') - ORV_W('A')));
  return true;
}

// ---- Prefix and suffix

bool CORVWCharString::beginsWith(const CORVWCharString& subString) const {
  ORV_TRACE("CORVWCharString", "beginsWith");
  const ULONG ulLength = getLength();
  const ULONG ulSubLength = subString.getLength();
  const bool bBegins = ulSubLength != 0 && ulSubLength <= ulLength &&
                       std::equal(subString.m_pBuffer, subString.m_pBuffer + ulSubLength, m_pBuffer);
  ORV_TRACE_RESULT(bBegins);
  return bBegins;
}

bool CORVWCharString::endsWith(const CORVWCharString& subString) const {
  ORV_TRACE("CORVWCharString", "endsWith");
  const ULONG ulLength = getLength();
  const ULONG ulSubLength = subString.getLength();
  const bool bEnds =
      ulSubLength != 0 && ulSubLength <= ulLength &&
      std::equal(subString.m_pBuffer, subString.m_pBuffer + ulSubLength, m_pBuffer + (ulLength - ulSubLength));
  ORV_TRACE_RESULT(bEnds);
  return bEnds;
}

// ---- Code strings

CORVWCharString CORVWCharString::getAsciiCodeString() const {
  ORV_TRACE("CORVWCharString", "getAsciiCodeString");
  CORVWCharString codes;
  bool bDone = false;
  try {
    // Two bytes per code unit, terminator included, low byte first; each
    // byte two digits and a separator, the last without one.
    const ULONG ulBytes = addCounts(m_ulNumElems, m_ulNumElems);
    if (ulBytes == 0) {
      bDone = true;
    } else {
      const ULONG ulChars = addCounts(addCounts(ulBytes, ulBytes), ulBytes);
      CORVBuffer<WCHAR> text;
      if (text.init(ulChars)) {
        WCHAR* pOut = text.getBuffer();
        for (ULONG i = 0; i < ulBytes; ++i) {
          const WCHAR unit = m_pBuffer[i / 2];
          const ULONG ulByte = (i % 2 == 0) ? (unit & 0xFFu) : ((unit >> 8) & 0xFFu);
          *pOut++ = hexDigit(ulByte >> 4);
          *pOut++ = hexDigit(ulByte & 0xFu);
          if (i + 1 < ulBytes) *pOut++ = ORV_W(' ');
        }
        codes.swap(text);  // the last unit stayed 0: the terminator
        bDone = true;
      }
    }
  }
  ORV_CATCH_THEN_FROM(errno, ORV_WCHAR_STRING_SOURCE_FILE, __LINE__, bDone = false)
  ORV_TRACE_RESULT(bDone);
  return codes;
}

CORVBuffer<BYTE> CORVWCharString::getBufferFromAsciiCodeString() const {
  ORV_TRACE("CORVWCharString", "getBufferFromAsciiCodeString");
  CORVBuffer<BYTE> bytes;
  bool bDone = false;
  try {
    // Pairs of digits three characters apart, as long as two remain.
    const ULONG ulLength = getLength();
    const ULONG ulPairs = ulLength < 2 ? 0 : (ulLength - 2) / 3 + 1;
    if (bytes.init(ulPairs)) {
      bDone = true;
      for (ULONG i = 0; i < ulPairs && bDone; ++i) {
        const int nHigh = hexValue(m_pBuffer[3 * i]);
        const int nLow = hexValue(m_pBuffer[3 * i + 1]);
        bDone = nHigh >= 0 && nLow >= 0;
        bytes.getBuffer()[i] = static_cast<BYTE>(bDone ? nHigh * 16 + nLow : 0);
      }
      // A pair that is not hexadecimal yields nothing rather than wrong bytes.
      if (!bDone) bytes.free();
    }
  }
  ORV_CATCH_THEN_FROM(errno, ORV_WCHAR_STRING_SOURCE_FILE, __LINE__, bDone = false)
  ORV_TRACE_RESULT(bDone);
  return bytes;
}
