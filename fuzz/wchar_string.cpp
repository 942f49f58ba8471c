// Arbitrary texts, patterns and arguments through the string's parsing and
// editing: toNumber, find, remove, replace, getField and split. After each
// operation the string is normalised or empty, every block released was
// wiped, and nothing is left allocated.
//
// Input: one byte choosing the operation, four argument bytes, one byte
// splitting the rest into text and pattern. Most text bytes map onto a small
// alphabet so that patterns match; bytes from 0xF0 up start a raw code unit.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../tests/support/checking_allocator.h"
#include "orv_wchar_string.h"

namespace {

using orv_test::isNormalised;
using orv_test::WString;

void check(bool condition) {
  if (!condition) std::abort();
}

WString decode(const uint8_t* data, size_t size) {
  static const char kAlphabet[] = "ab,;x\"0 1\tFh";
  WString units;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] >= 0xF0 && i + 1 < size) {
      units.push_back(static_cast<WCHAR>(((data[i] & 0x0F) << 12) | data[i + 1]));
      ++i;
    } else {
      units.push_back(static_cast<WCHAR>(kAlphabet[data[i] % (sizeof(kAlphabet) - 1)]));
    }
  }
  return units;
}

// The text of a string up to its first 0, as the string sees it.
WString textOf(const CORVWCharString& s) { return WString(s.getBuffer(), s.getLength()); }

// The removal passes as written: find the first match, cut it out, again.
WString removeFirstMatches(WString text, const WString& sub, size_t passes) {
  for (size_t i = 0; i < passes; ++i) {
    const size_t at = text.find(sub);
    if (at == WString::npos) break;
    text.erase(at, sub.size());
  }
  return text;
}

size_t countOverlapping(const WString& text, const WString& sub) {
  if (sub.empty()) return 0;
  size_t count = 0;
  for (size_t at = text.find(sub); at != WString::npos; at = text.find(sub, at + 1)) ++count;
  return count;
}

void run(const uint8_t* data, size_t size) {
  const uint8_t op = data[0];
  const ULONG a = data[1] % 8;
  const ULONG b = data[2] % 6;
  const ULONG c = data[3];
  const bool flag = (data[4] & 1) != 0;
  const size_t cut = data[5] % (size - 5);
  const WString textUnits = decode(data + 6, cut);
  const WString patternUnits = decode(data + 6 + cut, size - 6 - cut);
  const CORVWCharString original(textUnits.c_str());
  const CORVWCharString pattern(patternUnits.c_str());
  CORVWCharString s(original);

  switch (op % 6) {
    case 0: {
      ULONG value = 0x5A5A5A5Au;
      const USHORT system = static_cast<USHORT>(1u << (a % 4));
      if (!s.toNumber(value, system, flag)) check(value == 0x5A5A5A5Au);
      check(s == original);
      break;
    }
    case 1: {
      ULONG pos = 0xFFFFFFFFu;
      if (s.find(pattern, a, 1 + b % 2, pos)) {
        const WString text = textOf(original);
        const WString sub = textOf(pattern);
        check(a != 0 && pos + sub.size() <= text.size());
        check(text.compare(pos, sub.size(), sub) == 0);
      }
      check(s.countOf(pattern) == countOverlapping(textOf(original), textOf(pattern)));
      break;
    }
    case 2: {
      const ULONG mode = 1u << (b % 3);
      const WString before = textOf(s);
      const WString sub = textOf(pattern);
      if (s.remove(pattern, mode, a) && mode != CORVWCharString::ssmOccur) {
        const size_t passes = mode == CORVWCharString::ssmAll ? countOverlapping(before, sub) : a;
        check(textOf(s) == removeFirstMatches(before, sub, passes));
      }
      break;
    }
    case 3: {
      const CORVWCharString replacement = pattern.withoutStart(c % 4);
      s.replace(pattern.withoutEnd(c % 3), replacement, 1u << (b % 3), a);
      break;
    }
    case 4: {
      CORVWCharString field(ORV_W("kept"));
      const CORVWCharString delimiter = pattern.withoutEnd(pattern.getLength() > 2 ? pattern.getLength() - 2 : 0);
      if (!s.getField(field, delimiter, a, 1 + b % 2, c & 3, c)) check(field == CORVWCharString(ORV_W("kept")));
      check(isNormalised(field));
      break;
    }
    default: {
      CORVWCharStringList list;
      const CORVWCharString delimiter = pattern.withoutEnd(pattern.getLength() > 2 ? pattern.getLength() - 2 : 0);
      const bool split = s.split(list, delimiter, 1 + b % 2, c & 3, c);
      check(split == (list.getCount() != 0));
      for (bool more = list.moveFirst(); more; more = list.moveNext()) check(isNormalised(*list.getCurrentData()));
      break;
    }
  }
  check(isNormalised(s));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 7) return 0;
  orv_test::CheckingAllocator allocator;
  run(data, size);
  check(allocator.notWiped() == 0);
  check(allocator.outstanding() == 0);
  return 0;
}
