// CORVWCharString: search by occurrence and direction, insert, remove,
// replace and the range and occurrence cuts.
#include "orv_wchar_string.h"
#include "orv_wchar_string_internal.h"

using orv_wchar_string::CMatchScanner;
using orv_wchar_string::CPattern;

// ---- Search

bool CORVWCharString::findMatch(const CORVWCharString& subString, ULONG ulOccurrance, ULONG direction,
                                ULONG& ulPos) const {
  if (direction != fromStart && direction != fromEnd) return false;
  CMatchScanner matches(m_pBuffer, getLength(), subString.m_pBuffer, subString.getLength(), direction == fromEnd);
  ULONG ulStart = 0;
  for (ULONG ulFound = 0; matches.next(ulStart);) {
    if (++ulFound == ulOccurrance) {
      ulPos = ulStart;
      return true;
    }
  }
  return false;
}

bool CORVWCharString::find(const CORVWCharString& subString, ULONG ulOccurrance, ULONG direction, ULONG& ulPos) const {
  try {
    const ULONG ulLength = getLength();
    const ULONG ulSubLength = subString.getLength();
    if (ulLength == 0 || ulSubLength == 0 || ulSubLength > ulLength) return false;
    if (ulOccurrance > ulLength)
      ORV_STRING_BAD_ARG("ulOccurrance", "value is impossible since it is larger than the length of this string");
    if (ulOccurrance == 0) ORV_STRING_BAD_ARG("ulOccurrance", "value must be greater than 0");
    return findMatch(subString, ulOccurrance, direction, ulPos);
  }
  ORV_STRING_CATCH_RETURN(false)
}

bool CORVWCharString::contains(const CORVWCharString& subString) const {
  ULONG ulPos = 0;
  return find(subString, 1, fromStart, ulPos);
}

ULONG CORVWCharString::countOf(const CORVWCharString& subString) const {
  try {
    CMatchScanner matches(m_pBuffer, getLength(), subString.m_pBuffer, subString.getLength(), false);
    ULONG ulCount = 0;
    for (ULONG ulStart = 0; matches.next(ulStart);) ++ulCount;
    return ulCount;
  }
  ORV_STRING_CATCH_RETURN(0)
}

bool CORVWCharString::occurrenceAt(const CORVWCharString& subString, ULONG ulPos, ULONG direction,
                                   ULONG& ulOccurrance) const {
  try {
    if (direction != fromStart && direction != fromEnd) return false;
    CMatchScanner matches(m_pBuffer, getLength(), subString.m_pBuffer, subString.getLength(), false);
    ULONG ulBefore = 0;
    ULONG ulTotal = 0;
    bool bAtPos = false;
    for (ULONG ulStart = 0; matches.next(ulStart); ++ulTotal) {
      if (ulStart < ulPos) ++ulBefore;
      if (ulStart == ulPos) bAtPos = true;
    }
    if (!bAtPos) return false;
    ulOccurrance = direction == fromStart ? ulBefore + 1 : ulTotal - ulBefore;
    return true;
  }
  ORV_STRING_CATCH_RETURN(false)
}

bool CORVWCharString::convertOccurrence(const CORVWCharString& subString, ULONG ulOccurrance, ULONG parseMode,
                                        ULONG& ulOther) const {
  try {
    if (subString.getLength() == 0) ORV_STRING_BAD_ARG("subString", "must contain a string");
    if (parseMode != fromStart && parseMode != fromEnd) ORV_STRING_BAD_ARG("parseMode", "invalid parse mode");
    ULONG ulPos = 0;
    return find(subString, ulOccurrance, parseMode, ulPos) &&
           occurrenceAt(subString, ulPos, parseMode == fromStart ? fromEnd : fromStart, ulOther);
  }
  ORV_STRING_CATCH_RETURN(false)
}

// ---- Editing

bool CORVWCharString::insert(const CORVWCharString& string, ULONG ulPos) {
  try {
    const ULONG ulInserted = string.getLength();
    if (ulInserted == 0) ORV_STRING_BAD_ARG("string", "can't insert an invalid string");
    const ULONG ulLength = getLength();
    if (ulPos > ulLength) ORV_STRING_BAD_ARG("ulPos", "position is out of string bounds");
    return assignJoined(m_pBuffer, ulPos, string.m_pBuffer, ulInserted, m_pBuffer + ulPos, ulLength - ulPos);
  }
  ORV_STRING_CATCH_RETURN(false)
}

bool CORVWCharString::removeOccurrence(const CORVWCharString& subString, ULONG ulOccurrance) {
  ULONG ulPos = 0;
  if (!findMatch(subString, ulOccurrance, fromStart, ulPos)) return true;  // gone already: nothing to do
  const ULONG ulEnd = ulPos + subString.getLength();
  return assignJoined(m_pBuffer, ulPos, m_pBuffer + ulEnd, getLength() - ulEnd);
}

// Removing the first match ulPasses times over, in one pass over the text:
// the text kept so far is a stack, each unit with the number of pattern units
// matched up to it, so that a match completed across a removal is found
// exactly when the repeated removals would find it.
bool CORVWCharString::removeFirstMatches(const CORVWCharString& subString, ULONG ulPasses) {
  const ULONG ulLength = getLength();
  const CPattern pattern(subString.m_pBuffer, subString.getLength(), false);
  CORVBuffer<WCHAR> kept;
  CORVBuffer<ULONG> matched;
  if (!pattern.isReady() || !kept.init(ulLength + 1) || !matched.init(ulLength)) return false;
  WCHAR* const pKept = kept.getBuffer();
  ULONG* const pMatched = matched.getBuffer();
  ULONG ulKept = 0;
  ULONG i = 0;
  for (ULONG ulRemoved = 0; i < ulLength && ulRemoved < ulPasses; ++i) {
    const ULONG ulNow = pattern.advance(ulKept != 0 ? pMatched[ulKept - 1] : 0, m_pBuffer[i]);
    pKept[ulKept] = m_pBuffer[i];
    pMatched[ulKept++] = ulNow;
    if (ulNow == pattern.length()) {
      ulKept -= ulNow;
      ++ulRemoved;
    }
  }
  return assignJoined(pKept, ulKept, m_pBuffer + i, ulLength - i);
}

bool CORVWCharString::remove(const CORVWCharString& subString, ULONG subStringMode, ULONG ulOccurrance) {
  try {
    if (getLength() == 0) return false;
    const ULONG ulCount = countOf(subString);
    if (ulCount == 0) return false;
    bool bDone = false;
    switch (subStringMode) {
      case ssmAll: bDone = removeFirstMatches(subString, ulCount); break;
      case ssmOccur:
        if (ulOccurrance == 0)
          ORV_STRING_BAD_ARG("ulOccurrance", "ssmOccur mode requires ulOccurrance to be greater than 0");
        if (ulOccurrance > ulCount)
          ORV_STRING_BAD_ARG("ulOccurrance", "there aren't enough strings to accommodate ulOccurrance");
        bDone = removeOccurrence(subString, ulOccurrance);
        break;
      case ssmNum:
        if (ulOccurrance == 0)
          ORV_STRING_BAD_ARG("ulOccurrance", "ssmNum mode requires ulOccurrance to be greater than 0");
        if (ulOccurrance > ulCount)
          ORV_STRING_BAD_ARG("ulOccurrance", "there aren't enough strings to accommodate ulOccurrance");
        bDone = removeFirstMatches(subString, ulOccurrance);
        break;
      default: ORV_STRING_BAD_ARG("subStringMode", "invalid mode");
    }
    return bDone;  // the text was rebuilt normalised (or empty)
  }
  ORV_STRING_CATCH_RETURN(false)
}

bool CORVWCharString::replace(const CORVWCharString& oldString, const CORVWCharString& newString, ULONG subStringMode,
                              ULONG ulOccurrance) {
  try {
    const ULONG ulOldLength = oldString.getLength();
    if (ulOldLength == 0) ORV_STRING_BAD_ARG("oldString", "string is invalid");
    if (getLength() == 0) return false;
    const ULONG ulCount = countOf(oldString);
    if (ulCount == 0) return false;
    ULONG ulPasses = 0;
    ULONG ulCurrent = 1;
    switch (subStringMode) {
      case ssmAll: ulPasses = ulCount; break;
      case ssmOccur:
        if (ulOccurrance == 0)
          ORV_STRING_BAD_ARG("ulOccurrance", "ssmOccur mode requires ulOccurrance to be greater than 0");
        if (ulOccurrance > ulCount) ORV_STRING_BAD_ARG("ulOccurrance", "occurrance is out of bounds");
        ulPasses = 1;
        ulCurrent = ulOccurrance;
        break;
      case ssmNum:
        if (ulOccurrance == 0)
          ORV_STRING_BAD_ARG("ulOccurrance", "ssmNum mode requires ulOccurrance to be greater than 0");
        if (ulOccurrance > ulCount)
          ORV_STRING_BAD_ARG("ulOccurrance", "there aren't enough strings to accommodate ulOccurrance");
        ulPasses = ulOccurrance;
        break;
      default: ORV_STRING_BAD_ARG("subStringMode", "invalid mode");
    }
    // (other and this may be the same string: keep a copy of the new text)
    const CORVWCharString replacement(newString);
    const ULONG ulNewLength = replacement.getLength();
    // The copies of oldString that the replacement brings in are skipped.
    const ULONG ulBroughtIn = replacement.countOf(oldString);
    for (ULONG ulPass = 0; ulPass < ulPasses; ++ulPass, ulCurrent += ulBroughtIn) {
      ULONG ulPos = 0;
      if (!findMatch(oldString, ulCurrent, fromStart, ulPos)) return false;
      const ULONG ulEnd = ulPos + ulOldLength;
      if (!assignJoined(m_pBuffer, ulPos, replacement.m_pBuffer, ulNewLength, m_pBuffer + ulEnd, getLength() - ulEnd))
        return false;
    }
    return true;
  }
  ORV_STRING_CATCH_RETURN(false)
}

bool CORVWCharString::extract(CORVWCharString& out, ULONG ulStartPos, ULONG ulEndPos, bool bIncludeStart,
                              bool bIncludeEnd) const {
  try {
    if (ulEndPos < ulStartPos)
      ORV_STRING_BAD_ARG("ulStartPos",
                         "start position can't be greater than end position - use extractOutside( ) or deleteRange( ) "
                         "instead");
    const ULONG ulLength = getLength();
    if (ulStartPos >= ulLength) ORV_STRING_BAD_ARG("ulStartPos", "start position is past the end of the string");
    if (ulEndPos >= ulLength) ORV_STRING_BAD_ARG("ulEndPos", "end position is past the end of the string");
    ULONG ulBegin = ulStartPos;
    ULONG ulEnd = ulStartPos + 1;
    if (ulStartPos == ulEndPos) {
      if (!bIncludeStart && !bIncludeEnd) ulEnd = ulBegin;
    } else {
      ulBegin = bIncludeStart ? ulStartPos : ulStartPos + 1;
      ulEnd = bIncludeEnd ? ulEndPos + 1 : ulEndPos;
    }
    CORVWCharString part;
    if (!part.assign(m_pBuffer + ulBegin, ulEnd - ulBegin)) return false;
    out.swap(part);
    return true;
  }
  ORV_STRING_CATCH_RETURN(false)
}

bool CORVWCharString::extractOutside(ULONG ulStartPos, ULONG ulEndPos, bool bExcludeStart, bool bExcludeEnd) {
  try {
    const ULONG ulLength = getLength();
    if (ulStartPos >= ulLength) ORV_STRING_BAD_ARG("ulStartPos", "start position is past the end of the string");
    if (ulEndPos >= ulLength) ORV_STRING_BAD_ARG("ulEndPos", "end position is past the end of the string");
    if (ulStartPos == ulEndPos) ORV_STRING_BAD_ARG("ulEndPos & ulStartPos", "start and end positions can't be equal");
    if (ulStartPos < ulEndPos) {
      const ULONG ulFirstEnd = bExcludeStart ? ulStartPos : ulStartPos + 1;
      const ULONG ulSecondBegin = bExcludeEnd ? ulEndPos + 1 : ulEndPos;
      return assignJoined(m_pBuffer, ulFirstEnd, m_pBuffer + ulSecondBegin, ulLength - ulSecondBegin);
    }
    const ULONG ulBegin = bExcludeEnd ? ulEndPos + 1 : ulEndPos;
    const ULONG ulEnd = bExcludeStart ? ulStartPos : ulStartPos + 1;
    return assign(m_pBuffer + ulBegin, ulEnd - ulBegin);
  }
  ORV_STRING_CATCH_RETURN(false)
}

bool CORVWCharString::extractByOccurrence(CORVWCharString& out, const CORVWCharString& subString, ULONG ulOccurrance,
                                          ULONG parseMode, bool bKeepMatch) const {
  try {
    if (subString.getLength() == 0) ORV_STRING_BAD_ARG("subString", "must contain a string");
    if (parseMode != fromStart && parseMode != fromEnd) ORV_STRING_BAD_ARG("parseMode", "invalid parse mode");
    // The match counted as asked; what lies before it (counted from the
    // start) or after it (counted from the end) is the result.
    ULONG ulPos = 0;
    if (!find(subString, ulOccurrance, parseMode, ulPos)) return false;
    const ULONG ulMatchEnd = ulPos + subString.getLength();
    CORVWCharString part;
    const bool bCut = parseMode == fromStart ? part.assign(m_pBuffer, bKeepMatch ? ulMatchEnd : ulPos)
                                             : part.assign(m_pBuffer + (bKeepMatch ? ulPos : ulMatchEnd),
                                                           getLength() - (bKeepMatch ? ulPos : ulMatchEnd));
    if (!bCut) return false;
    out.swap(part);
    return true;
  }
  ORV_STRING_CATCH_RETURN(false)
}

bool CORVWCharString::keepFromOccurrence(const CORVWCharString& subString, ULONG ulOccurrance, ULONG direction,
                                         bool bDropMatch) {
  try {
    if (direction != fromStart && direction != fromEnd) return false;
    ULONG ulPos = 0;
    if (!find(subString, ulOccurrance, direction, ulPos)) return false;
    const ULONG ulLength = getLength();
    const ULONG ulMatchEnd = ulPos + subString.getLength();
    if (direction == fromStart) {
      const ULONG ulBegin = bDropMatch ? ulMatchEnd : ulPos;
      return assign(m_pBuffer + ulBegin, ulLength - ulBegin);
    }
    return assign(m_pBuffer, bDropMatch ? ulPos : ulMatchEnd);
  }
  ORV_STRING_CATCH_RETURN(false)
}
