// The one conversion between UTF-8 (or another code page) and UTF-16 that
// the host, the library, the tools and the modules share. On Windows it
// runs against the system's own conversion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orv_platform/text_encoding.h"

namespace {

using orv_platform::fromUtf16;
using orv_platform::InvalidText;
using orv_platform::kMaxConvertedText;
using orv_platform::toUtf16;
using orv_platform::WideText;

WideText wide(const std::u16string& units) { return WideText(units.begin(), units.end()); }

const char kReplacementUtf8[] = "\xEF\xBF\xBD";

TEST(TextEncoding, ValidTextConvertsBothWaysUnderEitherChoice) {
  // ASCII, two-, three- and four-byte sequences, and a zero inside the text.
  const std::string utf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\0z", 12);
  const WideText utf16 = wide(std::u16string(u"a\u00E9\u20AC\U0001F600\0z", 7));
  for (InvalidText invalid : {InvalidText::kReplace, InvalidText::kFail}) {
    WideText units;
    ASSERT_TRUE(toUtf16(utf8.data(), utf8.size(), units, invalid));
    EXPECT_EQ(units, utf16);
    std::string bytes;
    ASSERT_TRUE(fromUtf16(utf16.data(), utf16.size(), bytes, invalid));
    EXPECT_EQ(bytes, utf8);
  }
  EXPECT_EQ(orv_platform::utf16Of(utf8, InvalidText::kFail), utf16);
  EXPECT_EQ(orv_platform::utf8Of(utf16, InvalidText::kFail), utf8);
}

TEST(TextEncoding, NoInputIsAnEmptyTextAndClearsTheOutput) {
  WideText units = wide(u"old");
  EXPECT_TRUE(toUtf16("", 0, units, InvalidText::kFail));
  EXPECT_TRUE(units.empty());
  EXPECT_TRUE(toUtf16(nullptr, 0, units, InvalidText::kReplace));
  std::string bytes = "old";
  EXPECT_TRUE(fromUtf16(nullptr, 0, bytes, InvalidText::kFail));
  EXPECT_TRUE(bytes.empty());
}

TEST(TextEncoding, InvalidUtf8IsReplacedOrFailsTheWholeText) {
  // A byte that never starts a sequence, and a continuation byte alone.
  const std::string bytes =
      "a\xFF"
      "b\x80";
  WideText units;
  ASSERT_TRUE(toUtf16(bytes.data(), bytes.size(), units, InvalidText::kReplace));
  EXPECT_EQ(units, wide(u"a\uFFFDb\uFFFD"));

  units = wide(u"old");
  SetLastError(0);
  EXPECT_FALSE(toUtf16(bytes.data(), bytes.size(), units, InvalidText::kFail));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_TRUE(units.empty()) << "a failed conversion leaves no part of the text behind";
  EXPECT_TRUE(orv_platform::utf16Of(bytes, InvalidText::kFail).empty());
}

TEST(TextEncoding, LoneSurrogatesAreReplacedOrFailTheWholeText) {
  const struct {
    std::u16string units;
    std::string replaced;
  } cases[] = {
      {std::u16string(u"a") + char16_t(0xD800) + u"b", std::string("a") + kReplacementUtf8 + "b"},  // lead alone
      {std::u16string(u"a") + char16_t(0xDC00), std::string("a") + kReplacementUtf8},               // trail alone
      {std::u16string(1, char16_t(0xD83D)), kReplacementUtf8},  // a pair cut at the end of the text
  };
  for (const auto& c : cases) {
    const WideText units = wide(c.units);
    std::string bytes;
    ASSERT_TRUE(fromUtf16(units.data(), units.size(), bytes, InvalidText::kReplace));
    EXPECT_EQ(bytes, c.replaced);

    bytes = "old";
    SetLastError(0);
    EXPECT_FALSE(fromUtf16(units.data(), units.size(), bytes, InvalidText::kFail));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_TRUE(bytes.empty());
  }
}

TEST(TextEncoding, InputPastTheLimitFailsBeforeAnythingIsConverted) {
  // Past the limit a length would no longer be sure to fit the platform's
  // int, nor the result a bounded allocation.
  const std::string bytes(kMaxConvertedText + 1, 'a');
  WideText units = wide(u"old");
  SetLastError(0);
  EXPECT_FALSE(toUtf16(bytes.data(), bytes.size(), units, InvalidText::kReplace));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(units.empty());

  const std::vector<WCHAR> text(kMaxConvertedText + 1, WCHAR('a'));
  std::string narrow = "old";
  SetLastError(0);
  EXPECT_FALSE(fromUtf16(text.data(), text.size(), narrow, InvalidText::kReplace));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(narrow.empty());

  // A length that an int cannot hold is refused, not cut.
  EXPECT_FALSE(toUtf16(bytes.data(), size_t{1} << 32 | 1, units, InvalidText::kReplace));
  EXPECT_TRUE(units.empty());
}

TEST(TextEncoding, OnlyUtf8CanBeConvertedStrictly) {
  const WideText units = wide(u"abc");
  std::string bytes;
  SetLastError(0);
  EXPECT_FALSE(fromUtf16(units.data(), units.size(), bytes, InvalidText::kFail, CP_ACP));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
  ASSERT_TRUE(fromUtf16(units.data(), units.size(), bytes, InvalidText::kReplace, CP_ACP));
  EXPECT_EQ(bytes, "abc");
  WideText back;
  ASSERT_TRUE(toUtf16(bytes.data(), bytes.size(), back, InvalidText::kFail, CP_ACP));
  EXPECT_EQ(back, units);
}

}  // namespace
