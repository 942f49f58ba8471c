// CORVWCharString: the library's text, a zero-terminated string of 16-bit
// UTF-16 code units in a CORVBuffer<WCHAR>.
//
// The empty string has no storage (getBuffer() is null); a non-empty one is
// normalised: it holds exactly its length plus one code units, the last
// being 0. Lengths, positions and counts are in code units; nothing here
// knows surrogate pairs, and case operations touch only 'A'-'Z'.
//
// Operations follow the library's convention: failures are written to the
// log and turned into false (or *this); only constructors and operator[]
// throw.
#pragma once

#include "orv_buffer.h"
#include "orv_dbllist.h"
#include "orv_flags.h"
#include "orv_win32.h"

class CORVWCharString;

// The list that split() fills: one string per node, tagged with its place.
typedef CORVDblList<CORVObjNode<CORVWCharString>> CORVWCharStringList;

class ORV_API CORVWCharString : public CORVBuffer<WCHAR> {
 public:
  // Number systems (asNumberSystem).
  static constexpr USHORT nsHex = 1;
  static constexpr USHORT nsBinary = 2;
  static constexpr USHORT nsOctal = 4;
  static constexpr USHORT nsDecimal = 8;
  // Which occurrences remove() and replace() act on (subStringMode).
  static constexpr ULONG ssmAll = 1;    // every occurrence
  static constexpr ULONG ssmOccur = 2;  // occurrence number ulOccurrance only
  static constexpr ULONG ssmNum = 4;    // the first ulOccurrance occurrences
  // Search directions; getField's parse modes use the same values.
  static constexpr ULONG fromStart = 1;
  static constexpr ULONG fromEnd = 2;
  // The sides of trim() and strip().
  static constexpr ULONG sideLeading = 1;
  static constexpr ULONG sideTrailing = 2;
  static constexpr ULONG sideBoth = 3;
  // Whitespace classes of trim() and strip().
  static constexpr ULONG wsSpace = 0x01;
  static constexpr ULONG wsTab = 0x02;
  static constexpr ULONG wsFormFeed = 0x04;
  static constexpr ULONG wsBell = 0x08;
  static constexpr ULONG wsLineFeed = 0x10;
  static constexpr ULONG wsBackspace = 0x20;
  static constexpr ULONG wsCarriageReturn = 0x40;
  static constexpr ULONG wsVerticalTab = 0x80;
  static constexpr ULONG wsAll = 0xFF;

  // ---- Construction: each throws CORVBufferInitException when it cannot
  // build the string.
  CORVWCharString();
  CORVWCharString(const CORVWCharString& other);
  CORVWCharString(CORVWCharString&& other) noexcept;
  // The buffer's code units up to the first 0.
  explicit CORVWCharString(const CORVBuffer<WCHAR>& buffer);
  // A one-character string; the code unit 0 gives the empty string.
  CORVWCharString(WCHAR character);
  // Null and the empty text give the empty string.
  CORVWCharString(const WCHAR* text);
  // The decimal text of a signed 32-bit value.
  explicit CORVWCharString(INT nValue);
  // ulValue in asNumberSystem: upper-case hexadecimal, binary or octal
  // digits, padded with '0' or cut to usWidth digits (0: as many as there
  // are), behind "0x", "0b" or "0o" when bPrefix is set. Decimal takes the
  // value as signed and ignores width and prefix.
  CORVWCharString(ULONG ulValue, USHORT asNumberSystem, USHORT usWidth = 0, bool bPrefix = false);

  // ---- Assignment, from the same sources.
  CORVWCharString& operator=(const CORVWCharString& other);
  CORVWCharString& operator=(CORVWCharString&& other) noexcept;
  CORVWCharString& operator=(const CORVBuffer<WCHAR>& buffer);
  CORVWCharString& operator=(WCHAR character);
  CORVWCharString& operator=(const WCHAR* text);

  // Code units before the first 0; 0 for the empty string.
  ULONG getLength() const;
  // The text for calls that take a C string: "" for the empty string, whose
  // buffer is null.
  const WCHAR* getTextOrEmpty() const { return isValid() ? getBuffer() : ORV_W(""); }
  // Frees a string of length 0 and cuts the storage to length + 1.
  bool normalize();

  // ---- Concatenation.
  CORVWCharString& operator+=(const CORVWCharString& other);
  CORVWCharString& operator+=(const WCHAR* text);
  CORVWCharString operator+(const CORVWCharString& other) const;

  // ---- Comparison, code unit by code unit. <= and >= hold only between
  // non-empty strings of equal length; < is !(>=) and > is !(<=), so two
  // strings of different lengths are both less and greater than each other.
  bool operator==(const CORVWCharString& other) const;
  bool operator!=(const CORVWCharString& other) const;
  bool operator<=(const CORVWCharString& other) const;
  bool operator>=(const CORVWCharString& other) const;
  bool operator<(const CORVWCharString& other) const;
  bool operator>(const CORVWCharString& other) const;

  // ---- Truncation: a count not below the length leaves the empty string.
  bool removeFromEnd(ULONG ulCount);
  bool removeFromStart(ULONG ulCount);
  CORVWCharString withoutEnd(ULONG ulCount) const;
  CORVWCharString withoutStart(ULONG ulCount) const;
  // False for the empty string.
  bool reverse();
  bool toLower();

  // ---- Search. Matches may overlap: "aaaa" holds "aa" three times.
  // ulPos receives the start of match number ulOccurrance (from 1) counted
  // in direction.
  bool find(const CORVWCharString& subString, ULONG ulOccurrance, ULONG direction, ULONG& ulPos) const;
  bool contains(const CORVWCharString& subString) const;
  ULONG countOf(const CORVWCharString& subString) const;
  // Which occurrence, counted in direction, starts at ulPos.
  bool occurrenceAt(const CORVWCharString& subString, ULONG ulPos, ULONG direction, ULONG& ulOccurrance) const;
  // The number of the same match counted the other way: parseMode fromStart
  // converts a count from the start into one from the end, fromEnd back.
  bool convertOccurrence(const CORVWCharString& subString, ULONG ulOccurrance, ULONG parseMode, ULONG& ulOther) const;
  bool beginsWith(const CORVWCharString& subString) const;
  bool endsWith(const CORVWCharString& subString) const;

  // ---- Editing.
  // Inserts before ulPos (0 prepends, the length appends).
  bool insert(const CORVWCharString& string, ULONG ulPos);
  bool remove(const CORVWCharString& subString, ULONG subStringMode, ULONG ulOccurrance);
  // The copies of oldString that newString brings in are not replaced again.
  bool replace(const CORVWCharString& oldString, const CORVWCharString& newString, ULONG subStringMode,
               ULONG ulOccurrance);
  // out receives the characters from ulStartPos to ulEndPos, each end only
  // when its flag is set.
  bool extract(CORVWCharString& out, ULONG ulStartPos, ULONG ulEndPos, bool bIncludeStart, bool bIncludeEnd) const;
  // In place. ulStartPos below ulEndPos: drops what lies strictly between
  // (and either end when its flag is set); above: keeps ulEndPos to
  // ulStartPos (without either end when its flag is set).
  bool extractOutside(ULONG ulStartPos, ULONG ulEndPos, bool bExcludeStart, bool bExcludeEnd);
  // out receives the text before match ulOccurrance from the start
  // (parseMode fromStart) or after match ulOccurrance from the end
  // (parseMode fromEnd), with the match when bKeepMatch is set.
  bool extractByOccurrence(CORVWCharString& out, const CORVWCharString& subString, ULONG ulOccurrance, ULONG parseMode,
                           bool bKeepMatch) const;
  // fromStart: drops what lies before match ulOccurrance from the start;
  // fromEnd: drops what lies after match ulOccurrance from the end; the
  // match goes too when bDropMatch is set.
  bool keepFromOccurrence(const CORVWCharString& subString, ULONG ulOccurrance, ULONG direction, bool bDropMatch);
  // Removes from the selected ends every run of extraChar and characters of
  // the selected classes. The trailing side is cleared in place with zeros,
  // which may leave spare zero code units behind the text.
  bool trim(WCHAR extraChar, const CORVFlags& sides, const CORVFlags& classes);
  // Removes the characters of the selected classes from the leading run
  // (sideLeading), the trailing run (sideTrailing), and with both sides from
  // the whole text.
  bool strip(const CORVFlags& sides, const CORVFlags& classes);

  // ---- Numbers. A valid string of length 0 counts as made of any digits;
  // the empty string of none.
  bool isBinary() const;
  bool isOctal() const;
  bool isHex() const;
  // Decimal digits, a leading '-' with bAllowMinus, one '.' neither first
  // nor last with bAllowPoint.
  bool isNumeric(bool bAllowMinus, bool bAllowPoint) const;
  // Digits with one 'b' ('o') right after the first character or at the end.
  bool hasBinaryMarker() const;
  bool hasOctalMarker() const;
  // Hexadecimal digits with at most one 'x' or one 'h' anywhere.
  bool hasHexMarker() const;
  bool stripMarker();
  // Parses into ulValue, which stays unchanged when the text is rejected.
  // At most 8 hexadecimal, 32 binary or 12 octal digits; decimal takes an
  // optional '-' and the C runtime's saturation.
  bool toNumber(ULONG& ulValue, USHORT asNumberSystem, bool bStripHexMarker) const;
  // Every byte of the storage, terminator included, as two upper-case
  // hexadecimal digits, low byte first, separated by single spaces.
  CORVWCharString getAsciiCodeString() const;
  // The inverse: bytes from pairs of hexadecimal digits, three characters
  // apart.
  CORVBuffer<BYTE> getBufferFromAsciiCodeString() const;

  // ---- Tokenizing. Fields lie between delimiters, which are found from the
  // start without overlapping. parseMode fromStart: field ulOccurrance
  // (from 1); parseMode fromEnd: the text between delimiters ulOccurrance
  // and ulOccurrance + 1. The field then goes through strip(sides, classes).
  bool getField(CORVWCharString& out, const CORVWCharString& delimiter, ULONG ulOccurrance, ULONG parseMode,
                const CORVFlags& sides, const CORVFlags& classes) const;
  // Empties list and appends every field (parseMode fromStart) or every
  // enclosed text (fromEnd: between delimiters 1 and 2, 3 and 4, ...) with
  // tags 0, 1, 2, ... True when the list holds at least one.
  bool split(CORVWCharStringList& list, const CORVWCharString& delimiter, ULONG parseMode, const CORVFlags& sides,
             const CORVFlags& classes) const;

 private:
  // Replaces the contents with ulLength code units of pText and a
  // terminator, in exactly sized fresh storage (pText may lie in this one).
  bool assign(const WCHAR* pText, ULONG ulLength);
  // Replaces the contents with up to three pieces of this or other text.
  bool assignJoined(const WCHAR* pFirst, ULONG ulFirst, const WCHAR* pSecond, ULONG ulSecond,
                    const WCHAR* pThird = nullptr, ULONG ulThird = 0);
  // Compares the texts of two strings of equal length.
  int compareEqualLength(const CORVWCharString& other) const;
  bool buildNumber(ULONG ulValue, USHORT asNumberSystem, USHORT usWidth, bool bPrefix);
  // The unchecked core of find(): false when there are fewer matches.
  bool findMatch(const CORVWCharString& subString, ULONG ulOccurrance, ULONG direction, ULONG& ulPos) const;
  // Removes match ulOccurrance; true also when there is no such match.
  bool removeOccurrence(const CORVWCharString& subString, ULONG ulOccurrance);
  // Removes the first remaining match, ulPasses times.
  bool removeFirstMatches(const CORVWCharString& subString, ULONG ulPasses);
  bool stripSelected(bool bLeading, bool bTrailing, ULONG ulSelectedClasses);
  bool allDigits(bool (*isDigit)(WCHAR)) const;
  bool hasMarker(WCHAR marker, bool (*isDigit)(WCHAR)) const;
  bool locateField(const CORVWCharString& delimiter, ULONG ulOccurrance, ULONG parseMode, ULONG& ulBegin,
                   ULONG& ulEnd) const;
};

// List nodes order strings with the string operators.
template <>
struct CORVNodeOrder<CORVWCharString> {
  static bool isLess(const CORVWCharString& a, const CORVWCharString& b) { return a < b; }
  static bool isGreater(const CORVWCharString& a, const CORVWCharString& b) { return a > b; }
};
