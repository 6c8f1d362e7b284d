#include <gtest/gtest.h>

#include <string>

#include "json/json_text_check.h"

namespace {

JsonTextKind kind_of(std::u16string_view text) {
  return check_json_text(text);
}

TEST(JsonTextCheck, AcceptsTheJsonGrammar) {
  for (const char16_t* text : {
           u"{}",
           u"[]",
           u" \t\r\n[ 1 , -0 , 0.5 , 1e5 , -2E-3 , 3e+0 ] ",
           u"{\"a\":{\"b\":[{}]}}",
           u"true",
           u"false",
           u"null",
           u"0",
           u"-12.50e007",
           u"[\"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00aF\"]",
           u"{\"\":\"\",\"a\":[null,true,false]}",
       }) {
    EXPECT_EQ(kind_of(text), JsonTextKind::other) << std::u16string(text).size();
  }
  const char16_t raw_surrogates[] = {u'[', u'"', 0xD83D, 0xDE00, 0xD800, u'"', u']'};
  EXPECT_EQ(kind_of({raw_surrogates, 7}), JsonTextKind::other) << "unpaired ones too";
  EXPECT_EQ(kind_of(u""), JsonTextKind::blank);
  EXPECT_EQ(kind_of(u" \r\n\t"), JsonTextKind::blank);
  std::u16string contents;
  EXPECT_EQ(check_json_text(u" \"a\\u0041\\n\\\"\" ", &contents), JsonTextKind::string);
  EXPECT_EQ(contents, u"aA\n\"");
}

TEST(JsonTextCheck, RefusesEverythingElse) {
  for (const char16_t* text : {
           u"{",
           u"]",
           u"[1,]",
           u"[,1]",
           u"{\"a\"}",
           u"{\"a\":}",
           u"{\"a\":1,}",
           u"{a:1}",
           u"{'a':1}",
           u"[01]",
           u"[1.]",
           u"[.5]",
           u"[+1]",
           u"[1e]",
           u"[-]",
           u"[0x1]",
           u"[\"\\x41\"]",
           u"[\"\\u004\"]",
           u"[\"\\u004g\"]",
           u"[\"a\tb\"]",
           u"[\"\\\"]",
           u"[\"\u2028\"]",
           u"[\"\u2029\"]",
           u"[1] [2]",
           u"[1] x",
           u"tru",
           u"nulll",
           u"NaN",
           u"Infinity",
           u"[1]//",
           u"/**/[1]",
           u"\ufeff[1]",
           u"\u00a0[1]",
           u"[1]\u2028",
           u"{\"a\":1]",
           u"[1}",
           u"\"",
           u"\"abc",
           u"[\"\0\"]",
       }) {
    EXPECT_EQ(kind_of(text), JsonTextKind::invalid) << std::u16string(text).size();
  }
  EXPECT_EQ(kind_of(std::u16string_view(u"[\0]", 3)), JsonTextKind::invalid);
}

TEST(JsonTextCheck, NestingIsCheckedWithoutRecursionUpToTheLimit) {
  const auto nested = [](std::size_t depth, char16_t open, char16_t close) {
    return std::u16string(depth, open) + std::u16string(depth, close);
  };
  EXPECT_EQ(kind_of(nested(kMaxJsonDepth, u'[', u']')), JsonTextKind::other);
  EXPECT_EQ(kind_of(nested(kMaxJsonDepth + 1, u'[', u']')), JsonTextKind::invalid);
  EXPECT_EQ(kind_of(std::u16string(1000000, u'[')), JsonTextKind::invalid);
  std::u16string objects;
  for (std::size_t i = 0; i < kMaxJsonDepth; ++i)
    objects += u"{\"k\":";
  objects += u"1" + std::u16string(kMaxJsonDepth, u'}');
  EXPECT_EQ(kind_of(objects), JsonTextKind::other);
  EXPECT_EQ(kind_of(u"[{]}"), JsonTextKind::invalid) << "brackets must match";
}

TEST(JsonTextCheck, LoadableTextsAreReadInTheSystemCodePage) {
  EXPECT_TRUE(is_loadable_json(""));
  EXPECT_TRUE(is_loadable_json(R"({"name":"月亮"})"));
  EXPECT_TRUE(is_loadable_json("[\"\x81\x5C\"]")) << "0x5C is a trail byte here, no backslash";
  EXPECT_FALSE(is_loadable_json("[\"\x81\x5C]")) << "and cannot escape the closing quote";
  EXPECT_FALSE(is_loadable_json("[1]\x81")) << "a lone lead byte outside a string";
  EXPECT_FALSE(is_loadable_json(std::string_view("[1]\0", 4))) << "a NUL would cut the script";
  EXPECT_TRUE(is_loadable_json(R"("[1,2]")"));
  EXPECT_TRUE(is_loadable_json(R"("  ")"));
  EXPECT_FALSE(is_loadable_json(R"j("alert(1)")j"));
  EXPECT_FALSE(is_loadable_json(R"("[\"\u2028\"]")"))
      << "an escape in the outer text is raw inside";
}

}  // namespace
