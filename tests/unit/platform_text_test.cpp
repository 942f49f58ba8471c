// UTF-8 conversion and the wide CRT helpers. On Windows these run against the
// system's own functions, which keeps the POSIX implementation honest.
#include <gtest/gtest.h>

#include <string>

#include "orv_win32.h"

namespace {

int toWide(const std::string& bytes, DWORD flags, std::u16string* out = nullptr) {
  SetLastError(0);
  const int needed = MultiByteToWideChar(CP_UTF8, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (needed <= 0 || out == nullptr) return needed;
  std::u16string units(static_cast<size_t>(needed), u'\0');
  const int wrote = MultiByteToWideChar(CP_UTF8, flags, bytes.data(), static_cast<int>(bytes.size()),
                                        reinterpret_cast<WCHAR*>(units.data()), needed);
  *out = units;
  return wrote;
}

const WCHAR* w(const char16_t* text) { return reinterpret_cast<const WCHAR*>(text); }

TEST(MultiByteToWideChar, ConvertsValidTextAndReportsTheSizeNeeded) {
  std::u16string out;
  EXPECT_EQ(toWide("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", MB_ERR_INVALID_CHARS, &out), 5);
  EXPECT_EQ(out, std::u16string(u"a\u00E9\u20AC\U0001F600"));
  // A length of -1 converts and counts the terminator.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", -1, nullptr, 0), 3);
  // Embedded zero bytes are text like any other when the length is given.
  EXPECT_EQ(toWide(std::string("a\0b", 3), MB_ERR_INVALID_CHARS, &out), 3);
}

TEST(MultiByteToWideChar, StrictFlagRejectsEveryInvalidForm) {
  const char* invalid[] = {
      "\xC0\xAF",          // overlong '/'
      "\xE0\x80\xAF",      // overlong, three bytes
      "\xED\xA0\x80",      // a UTF-16 surrogate encoded
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\xE2\x82",          // truncated at the end
      "\x80",              // a lone continuation byte
      "\xFF",
  };
  for (const char* bytes : invalid) {
    EXPECT_EQ(toWide(bytes, MB_ERR_INVALID_CHARS), 0) << "input " << ::testing::PrintToString(std::string(bytes));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  }
}

TEST(MultiByteToWideChar, WithoutStrictFlagInvalidBytesBecomeReplacementCharacters) {
  std::u16string out;
  ASSERT_GT(toWide("a\xFF"
                   "b",
                   0, &out),
            0);
  EXPECT_EQ(out, std::u16string(u"a\uFFFDb"));
}

TEST(MultiByteToWideChar, SmallBufferAndBadArgumentsFail) {
  WCHAR buffer[2];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, buffer, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, buffer, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(WideCharToMultiByte, ConvertsPairsAndHandlesLoneSurrogates) {
  const char16_t text[] = u"\u00E9\U0001F600";
  char bytes[16] = {};
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, w(text), 3, nullptr, 0, nullptr, nullptr), 6);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, w(text), 3, bytes, sizeof(bytes), nullptr, nullptr), 6);
  EXPECT_EQ(std::string(bytes, 6), "\xC3\xA9\xF0\x9F\x98\x80");

  const char16_t lone[] = {u'a', 0xD800, u'b', 0};
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, w(lone), 3, bytes, sizeof(bytes), nullptr, nullptr), 5);
  EXPECT_EQ(std::string(bytes, 5),
            "a\xEF\xBF\xBD"
            "b");
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, w(lone), 3, bytes, sizeof(bytes), nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

TEST(WideCrt, ComparesAndParsesAsTheRuntimeDoes) {
  EXPECT_EQ(_wcsicmp(w(u"Software\\HALVIK"), w(u"software\\halvik")), 0);
  EXPECT_LT(_wcsicmp(w(u"abc"), w(u"ABD")), 0);
  EXPECT_EQ(_wtoi(w(u"  42,7")), 42);
  EXPECT_EQ(_wtoi(w(u"-17")), -17);
  EXPECT_EQ(_wtoi(w(u"x1")), 0);
  EXPECT_EQ(wcslen(w(u"four")), 4u);
  EXPECT_EQ(wcsstr(w(u"CORVRegistryKey CChrome"), w(u"CChrome")) - w(u"CORVRegistryKey CChrome"), 0 + 16);
}

}  // namespace
