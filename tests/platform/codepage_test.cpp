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
  EXPECT_EQ(encode(936, u"a\U0001F600"), "a?");
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
  EXPECT_EQ(MultiByteToWideChar(936, 0, "\xD6\xD0xy", 4, nullptr, 0), 3);
  EXPECT_EQ(WideCharToMultiByte(936, 0, u"\u4E2Dx", 2, nullptr, 0, nullptr, nullptr), 3);
  char16_t small[2] = {u'#', u'#'};
  EXPECT_EQ(MultiByteToWideChar(936, 0, "abc", 3, small, 2), 0);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, small, 2), 0) << "an unsupported code page";
}

}  // namespace
