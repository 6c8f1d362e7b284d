#include "http/cookies.h"

#include <gtest/gtest.h>

#include <string>

#include "http/text_between.h"
#include "runtime/text_blocks.h"

namespace {

std::string text_of(const Text& text) {
  return std::string(text.view());
}

struct Merged {
  std::string result;
  std::string cookies;
  std::string new_cookies;
};

Merged merge(std::string_view cookies, std::string_view new_cookies) {
  Text sent = text_from_buffer(cookies);
  Text returned = text_from_buffer(new_cookies);
  const Text result = merge_cookies(sent, returned);
  return {text_of(result), text_of(sent), text_of(returned)};
}

TEST(CookieMergeTest, ServerValuesWinAndTheListIsLeftInCookies) {
  const Merged merged = merge("a=1; b=2", "a=3");
  EXPECT_EQ(merged.result, "a=3; b=2");
  EXPECT_EQ(merged.cookies, "a=3; b=2");
  EXPECT_EQ(merged.new_cookies, "a=3");
  EXPECT_EQ(merge("SID=1", "sid=2").result, "sid=2; SID=1") << "names keep their letter case";
  EXPECT_EQ(merge("a=1;a=2", "").result, "a=1") << "the first sent item of a name stands";
  EXPECT_EQ(merge("a=1; b", "b=2;c=3").result, "b=2; c=3; a=1");
  EXPECT_EQ(merge("", "").result, "");
}

TEST(CookieMergeTest, DeletedCookiesRepeatsAndBlanksGo) {
  EXPECT_EQ(merge("a=1; b=2", "a=deleted").result, "b=2");
  EXPECT_EQ(merge("a=deleted", "").result, "") << "a sent deleted item goes too";
  EXPECT_EQ(merge("", "c=1;c=1").result, "c=1");
  EXPECT_EQ(merge("", "c=1;c=2").result, "c=1; c=2") << "two values of one name both stay";
  const Merged spaced = merge("x=hello world", " y = 1 ;\xA1\xA1z=2");
  EXPECT_EQ(spaced.result, "y=1; z=2; x=helloworld") << "ASCII and full-width blanks";
  EXPECT_EQ(spaced.new_cookies, "y=1;z=2");
  EXPECT_EQ(merge("a=1;;b=2", "").result, "a=1; ; b=2") << "an empty item stays once";
}

TEST(CookieLineTest, TakesTheFirstItemOfTheLine) {
  EXPECT_EQ(text_of(cookie_from_header_line("Set-Cookie: sid=abc; path=/; HttpOnly")), "sid=abc");
  EXPECT_EQ(text_of(cookie_from_header_line("Set-Cookie:   lang=zh  ")), "lang=zh");
  EXPECT_EQ(text_of(cookie_from_header_line("set-cookie: lang=zh")), "lang=zh")
      << "without a \";\" the prefix goes in any letter case";
  EXPECT_EQ(text_of(cookie_from_header_line("set-cookie: a=1; path=/")), "")
      << "with one, the prefix must match exactly";
}

TEST(CookieListTest, NamesAndItems) {
  EXPECT_EQ(text_of(cookie_name(" sid =abc=d")), "sid");
  EXPECT_EQ(text_of(cookie_name(" flag ")), "flag");
  const ValueArray list = text_split("a=1;;b=2", ";");
  EXPECT_TRUE(cookie_list_has_name(list, "b"));
  EXPECT_TRUE(cookie_list_has_name(list, "")) << "the empty item's name is empty";
  EXPECT_FALSE(cookie_list_has_name(list, "B"));
  EXPECT_EQ(find_item(list, "b=2"), 3);
  EXPECT_EQ(find_item(list, ""), 2) << "a null element equals the empty text";
  EXPECT_EQ(find_item(list, "b"), -1);
  EXPECT_EQ(text_of(remove_duplicate_items("x,y,x,,z,", ",")), "x,y,,z");
  EXPECT_EQ(text_of(remove_duplicate_items("", "; ")), "");
}

TEST(TextBetweenTest, CutsBetweenMarkers) {
  EXPECT_EQ(text_of(text_between("ab(x)cd", "(", ")")), "x");
  EXPECT_EQ(text_of(text_between("ab(x)cd", "[", ")")), "");
  EXPECT_EQ(text_of(text_between("ab()cd", "(", ")")), "");
  EXPECT_EQ(text_of(text_between("(a)(b)", "(", ")", 3)), "b") << "from a start position";
  EXPECT_EQ(text_of(text_between("<B>x</b>", "<b>", "</B>", 0, LetterCase::folded)), "x");
  EXPECT_EQ(text_of(text_between("x id=\"7\" y", "id=#引号", "#引号")), "7");
  EXPECT_EQ(text_of(text_between("\xD6\xD0(x)", "\xD0(", ")")), "")
      << "a marker never starts on a second byte";
}

}  // namespace
