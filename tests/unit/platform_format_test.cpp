// wsprintfW and the CRT time stamp, the same on Windows and the POSIX layer.
#include <gtest/gtest.h>

#include <ctime>
#include <regex>

#include "log_test_support.h"
#include "orv_win32.h"

namespace {

using orv_test::narrow;
using orv_test::WString;

TEST(PlatformFormat, ConvertsAsWindowsDoes) {
  WCHAR out[1024];
  auto format = [&](int written) {
    EXPECT_EQ(static_cast<size_t>(written), WString(out).size());
    return narrow(out);
  };
  EXPECT_EQ(format(wsprintfW(out, ORV_W("0x%08x"), 5u)), "0x00000005");
  EXPECT_EQ(format(wsprintfW(out, ORV_W("<%s|%s>"), ORV_W("a b"), ORV_W(""))), "<a b|>");
  EXPECT_EQ(format(wsprintfW(out, ORV_W("%d %d %u"), -42, 0, 4294967295u)), "-42 0 4294967295");
  EXPECT_EQ(format(wsprintfW(out, ORV_W("%x %X %08x %lu %ld"), 0xBEEFu, 0xBEEFu, 0x8009200Au, 7ul, -7l)),
            "beef BEEF 8009200a 7 -7");
  EXPECT_EQ(format(wsprintfW(out, ORV_W("[%5d][%-5d][%05d][%c][%%]"), 42, 42, -42, ORV_W('Z'))),
            "[   42][42   ][-0042][Z][%]");
  EXPECT_EQ(format(wsprintfW(out, ORV_W("%.2s|%4s|%-4s|"), ORV_W("abc"), ORV_W("ab"), ORV_W("ab"))), "ab|  ab|ab  |");
  EXPECT_EQ(format(wsprintfW(out, ORV_W("%d"), INT32_MIN)), "-2147483648");
}

TEST(PlatformFormat, StopsAt1023CharactersAndTheTerminator) {
  const WString text(1500, u'x');
  WCHAR out[1100];
  out[1023] = u'?';
  out[1024] = u'?';
  const int written = wsprintfW(out, ORV_W("ab%s"), text.c_str());
  // Windows documents no count for a cut output; Wine reports 1024.
  EXPECT_TRUE(written == 1023 || written == 1024) << written;
  EXPECT_EQ(WString(out), WString(ORV_W("ab")) + text.substr(0, 1021));
  EXPECT_EQ(out[1024], u'?') << "nothing written past the limit";
}

TEST(PlatformTime, CtimeTextIsTheLocalTimeWithATwoDigitDay) {
  const __time64_t moments[] = {0, 86400 * 3 + 3661, 951782400 /* 2000-02-29 */, 1700000000};
  for (const __time64_t moment : moments) {
    const WCHAR* text = _wctime64(&moment);
    ASSERT_NE(text, nullptr);
    const std::time_t seconds = static_cast<std::time_t>(moment);
    char expected[64];
    std::strftime(expected, sizeof(expected), "%a %b %d %H:%M:%S %Y\n", std::localtime(&seconds));
    EXPECT_EQ(narrow(text), expected);
  }
  const __time64_t negative = -1;
  EXPECT_EQ(_wctime64(&negative), nullptr);

  __timeb64 now{};
  _ftime64(&now);
  const std::time_t before = std::time(nullptr);
  EXPECT_LE(std::llabs(static_cast<long long>(now.time) - static_cast<long long>(before)), 2);
  EXPECT_LT(now.millitm, 1000);
}

}  // namespace
