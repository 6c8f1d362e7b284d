#include "platform/codepage/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string decode(std::uint32_t code_page, std::string_view bytes) {
  std::u16string out(bytes.size() + 1, u'\0');
  const int n = MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()),
                                    out.data(), static_cast<int>(out.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string encode(std::uint32_t code_page, std::u16string_view wide) {
  std::string out(wide.size() * 4, '\0');
  const int n = WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()),
                                    out.data(), static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

TEST(CodePageTest, GbkIsWindowsTable936) {
  EXPECT_EQ(decode(936, "\xD6\xD0"), u"\u4E2D");
  EXPECT_EQ(decode(936, "\x80"), u"\u20AC") << "0x80 is the euro sign";
  EXPECT_EQ(decode(936, "\xFF"), u"\uF8F5");
  EXPECT_EQ(decode(CP_ACP, "\xD6\xD0"), u"\u4E2D") << "the ANSI code page is 936";
  EXPECT_EQ(encode(936, u"\u4E2D\u20AC"), "\xD6\xD0\x80");
}

TEST(CodePageTest, SubstitutesWhatCannotBeConverted) {
  EXPECT_EQ(decode(936, "a\xC4"), u"a\uFFFD") << "a lone lead byte at the end";
  EXPECT_EQ(decode(CP_UTF8, "a\xC3("), u"a\uFFFD(");
  EXPECT_EQ(encode(936, u"a\U0001F600"), "a??") << "one ? for each unit of a pair";
  EXPECT_EQ(encode(936, u"\xDC00x\xD800"), "?x?") << "lone surrogates";
  EXPECT_EQ(encode(CP_UTF8, u"\xD800x"), "\xEF\xBF\xBDx");
}

// One U+FFFD for each maximal ill-formed subpart, ICU's reading; the platform's counts differ
// for ED A0 80 and E0 80 80 (2) and for the four-byte forms (3).
TEST(CodePageTest, MalformedUtf8GivesOneReplacementPerSubpart) {
  const struct {
    std::string_view bytes;
    std::u16string_view expected;
  } cases[] = {
      {"\xC0\x80", u"\uFFFD\uFFFD"},
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"\xF0\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\x80", u"\uFFFD"},
      {"\xFE\xFF", u"\uFFFD\uFFFD"},
      {"\xE4\xB8"
       "a",
       u"\uFFFDa"},
      {"abcdefgh\xE4\xB8\xAD\xF0\x9F\x98\x80\xE4\xB8", u"abcdefgh\u4E2D\U0001F600\uFFFD"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decode(CP_UTF8, c.bytes), c.expected);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, c.bytes.data(), static_cast<int>(c.bytes.size()),
                                  nullptr, 0),
              static_cast<int>(c.expected.size()))
        << "measuring agrees with converting";
  }
}

TEST(CodePageTest, CompositeCheckComposesWhatTheCodePageEncodes) {
  const auto composite = [](std::u16string_view wide) {
    std::string out(8, '#');
    const int n =
        WideCharToMultiByte(936, WC_COMPOSITECHECK, wide.data(), static_cast<int>(wide.size()),
                            out.data(), 8, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n));
    return out;
  };
  EXPECT_EQ(composite(u"e\u0301x"), "\xA8\xA6x") << "e and acute make \u00E9";
  EXPECT_EQ(encode(936, u"e\u0301x"), "e?x") << "without the flag each is converted alone";
  EXPECT_EQ(composite(u"q\u0301"), "q?") << "no precomposed character: separate";
  EXPECT_EQ(composite(u"a\u0328"), "a?") << "\u0105 exists but code page 936 lacks it";
  EXPECT_EQ(
      WideCharToMultiByte(936, WC_COMPOSITECHECK, u"e\u0301", 2, nullptr, 0, nullptr, nullptr), 2);
  char out[8];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_COMPOSITECHECK, u"e", 1, out, 8, nullptr, nullptr), 0)
      << "code page 65001 takes no flags";
  char16_t wide[8];
  EXPECT_EQ(MultiByteToWideChar(936, 1, "a", 1, wide, 8), 0) << "no flags are implemented";
}

TEST(CodePageTest, LengthMinusOneConvertsTheTerminator) {
  char16_t wide[8];
  EXPECT_EQ(MultiByteToWideChar(936, 0, "ab", -1, wide, 8), 3);
  EXPECT_EQ(wide[2], u'\0');
  char narrow[8];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u4E2D", -1, narrow, 8, nullptr, nullptr), 4);
  EXPECT_STREQ(narrow, "\xE4\xB8\xAD");
}

TEST(CodePageTest, SizeQueriesAndShortBuffers) {
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xE4\xB8\xAD", -1, nullptr, 0), 2);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u4E2D", -1, nullptr, 0, nullptr, nullptr), 3);
  char16_t untouched[4] = {u'#', u'#', u'#', u'#'};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", 2, untouched, 4), 2);
  EXPECT_EQ(untouched[2], u'#') << "nothing is written past the result";
  char narrow[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(WideCharToMultiByte(936, 0, u"ab", 2, narrow, 4, nullptr, nullptr), 2);
  EXPECT_EQ(narrow[2], '#');
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", 0, untouched, 4), 0) << "a count of 0 fails";
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", 2, nullptr, 4), 0) << "no buffer to write";
  EXPECT_EQ(MultiByteToWideChar(936, 0, "\xD6\xD0xy", 4, nullptr, 0), 3);
  EXPECT_EQ(WideCharToMultiByte(936, 0, u"\u4E2Dx", 2, nullptr, 0, nullptr, nullptr), 3);
  char16_t small[2] = {u'#', u'#'};
  EXPECT_EQ(MultiByteToWideChar(936, 0, "abc", 3, small, 2), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc\xFF", 4, small, 2), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab\xFF", 3, small, 2), 0) << "no room for the rest";
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, small, 2), 0) << "an unsupported code page";
}

}  // namespace
