// What the string's failing operations write: one record each, naming the
// rejected argument, from the string's source file.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "checking_allocator.h"
#include "exception_log_fixture.h"
#include "orv_wchar_string.h"

namespace {

using orv_test::badArgument;
using orv_test::wideString;

class WCharStringMessages : public orv_test::ExceptionLogTest {};

TEST_F(WCharStringMessages, EachRejectedArgumentIsWrittenOnce) {
  const CORVWCharString abcde = wideString("abcde");
  const CORVWCharString b = wideString("b");
  CORVWCharString out;
  ULONG n = 0;
  expectOneRecordEach(
      {
          {"find 0", [&] { return abcde.find(b, 0, 1, n); },
           badArgument("ulOccurrance", "value must be greater than 0")},
          {"find beyond", [&] { return abcde.find(b, 6, 1, n); },
           badArgument("ulOccurrance", "value is impossible since it is larger than the length of this string")},
          {"insert empty", [&] { return CORVWCharString(abcde).insert(CORVWCharString(), 1); },
           badArgument("string", "can't insert an invalid string")},
          {"insert past", [&] { return CORVWCharString(abcde).insert(b, 6); },
           badArgument("ulPos", "position is out of string bounds")},
          {"remove occur 0", [&] { return CORVWCharString(abcde).remove(b, CORVWCharString::ssmOccur, 0); },
           badArgument("ulOccurrance", "ssmOccur mode requires ulOccurrance to be greater than 0")},
          {"remove num 0", [&] { return CORVWCharString(abcde).remove(b, CORVWCharString::ssmNum, 0); },
           badArgument("ulOccurrance", "ssmNum mode requires ulOccurrance to be greater than 0")},
          {"remove too many", [&] { return CORVWCharString(abcde).remove(b, CORVWCharString::ssmNum, 2); },
           badArgument("ulOccurrance", "there aren't enough strings to accommodate ulOccurrance")},
          {"remove mode", [&] { return CORVWCharString(abcde).remove(b, 3, 1); },
           badArgument("subStringMode", "invalid mode")},
          {"replace invalid", [&] { return CORVWCharString(abcde).replace(CORVWCharString(), b, 1, 0); },
           badArgument("oldString", "string is invalid")},
          {"replace occur", [&] { return CORVWCharString(abcde).replace(b, b, CORVWCharString::ssmOccur, 2); },
           badArgument("ulOccurrance", "occurrance is out of bounds")},
          {"extract reversed", [&] { return abcde.extract(out, 3, 1, true, true); },
           badArgument("ulStartPos",
                       "start position can't be greater than end position - use extractOutside( ) or deleteRange( ) "
                       "instead")},
          {"outside start", [&] { return CORVWCharString(abcde).extractOutside(5, 1, false, false); },
           badArgument("ulStartPos", "start position is past the end of the string")},
          {"outside end", [&] { return CORVWCharString(abcde).extractOutside(1, 5, false, false); },
           badArgument("ulEndPos", "end position is past the end of the string")},
          {"outside equal", [&] { return CORVWCharString(abcde).extractOutside(2, 2, false, false); },
           badArgument("ulEndPos & ulStartPos", "start and end positions can't be equal")},
          {"convert empty", [&] { return abcde.convertOccurrence(CORVWCharString(), 1, 1, n); },
           badArgument("subString", "must contain a string")},
          {"convert mode", [&] { return abcde.convertOccurrence(b, 1, 3, n); },
           badArgument("parseMode", "invalid parse mode")},
          {"field 0", [&] { return abcde.getField(out, b, 0, 1, 0, 0); },
           badArgument("ulOccurrance", "ulOccurrance must be greater than 0")},
          {"hex digits", [&] { return wideString("123456789").toNumber(n, CORVWCharString::nsHex, true); },
           badArgument("this string", "too many hex digits in string - will overflow unsigned long value")},
          {"binary digits",
           [&] {
             return wideString("111111111111111111111111111111111").toNumber(n, CORVWCharString::nsBinary, false);
           },
           badArgument("this", "too many binary digits in string - will overflow unsigned long value")},
          {"octal digits", [&] { return wideString("1234567012345").toNumber(n, CORVWCharString::nsOctal, false); },
           badArgument("this string", "too many octal digits in string - will overflow unsigned long value")},
      },
      "orv_wchar_string.cpp");
}

TEST_F(WCharStringMessages, ConstructorsThrowTheirInitException) {
  const std::vector<std::string> unsupported =
      messagesOf([] { EXPECT_THROW(CORVWCharString(5u, 3), CORVBufferInitException); });
  EXPECT_EQ(unsupported,
            (std::vector<std::string>{badArgument("asNumberSystem", "mode isn't supported, must be hex,bin,or oct"),
                                      "Unable to initialize CORVBuffer"}));
  orv_test::CheckingAllocator allocator;
  allocator.failAll();
  const std::vector<std::string> noMemory =
      messagesOf([] { EXPECT_THROW(CORVWCharString(ORV_W("text")), CORVBufferInitException); });
  allocator.succeed();
  EXPECT_EQ(noMemory,
            (std::vector<std::string>{"Unable to allocate memory ( m_pBuffer )", "Unable to initialize CORVBuffer"}));
}

}  // namespace
