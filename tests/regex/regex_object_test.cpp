#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/com/apartment.h"
#include "platform/com/class_registry.h"
#include "platform/installed_components.h"
#include "platform/regexp/regexp_component.h"
#include "regex/regex_object.h"

namespace {

constexpr std::string_view kCharsetPattern = "<meta.+?charset=[^\\w]?([-\\w]+)";

std::string as_string(const Text& text) {
  return std::string(text.view());
}

// A page head of about 1 KB whose meta tag declares `charset` as `declaration` writes it.
std::string page_head(std::string_view declaration) {
  std::string head = "<!DOCTYPE html>\n<html>\n<head>\n<title>搜索结果：月亮</title>\n";
  while (head.size() < 900)
    head += "<link rel=\"stylesheet\" href=\"/static/css/site.css\">\n";
  return head + std::string(declaration) + "\n</head>\n";
}

class RegexObjectTest : public ::testing::Test {
 protected:
  void SetUp() override { register_installed_components(); }
  void TearDown() override {
    EXPECT_EQ(apartment_entries(), 0u) << "every object left the apartment it entered";
    EXPECT_EQ(regexp_objects_alive(), 0) << "no component instance is left over";
  }
};

TEST_F(RegexObjectTest, CharsetStepFindsTheDeclaredCharset) {
  for (std::string_view declaration :
       {"<meta charset=\"utf-8\">",
        "<META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"}) {
    RegexObject regex;
    EXPECT_EQ(apartment_entries(), 1u);
    ASSERT_TRUE(regex.search(kCharsetPattern, page_head(declaration)));
    EXPECT_EQ(as_string(regex.submatch_text(1, 1)), "utf-8") << declaration;
  }
}

TEST_F(RegexObjectTest, FailuresGiveTheEmptyAnswers) {
  RegexObject regex;
  EXPECT_EQ(as_string(regex.get_pattern()), "") << "before any search";
  EXPECT_EQ(regex.match_count(), 0);

  EXPECT_FALSE(regex.search("(a", "aaa")) << "a syntax error fails Execute";
  EXPECT_EQ(regex.match_count(), 0);
  std::int32_t position = 99;
  EXPECT_EQ(as_string(regex.match_text(1, &position)), "");
  EXPECT_EQ(position, -2);

  EXPECT_TRUE(regex.search("z", "aaa")) << "no match is still a collection";
  EXPECT_EQ(regex.match_count(), 0);
  EXPECT_EQ(regex.submatch_count(), 0);
  EXPECT_EQ(as_string(regex.match_text(1, &position)), "");
  EXPECT_EQ(position, -2);
  position = 99;
  EXPECT_EQ(as_string(regex.submatch_text(1, 1, &position)), "");
  EXPECT_EQ(position, -2);

  const std::string runaway = std::string(30, 'a') + "b";
  EXPECT_FALSE(regex.search("(a+)+$", runaway)) << "matching gives up instead of hanging";

  unregister_class(kRegExpClsid);
  EXPECT_FALSE(regex.search("a", "aaa")) << "no component: every step fails quietly";
  EXPECT_EQ(as_string(regex.get_pattern()), "");
  EXPECT_EQ(as_string(regex.replace("b")), "");
  register_regexp_component();
}

TEST_F(RegexObjectTest, QuotePlaceholderStandsForADoubleQuote) {
  const std::string_view subject = "id=\"42\" #引号7#引号";
  RegexObject regex;
  ASSERT_TRUE(regex.search("#引号(\\d+)#引号", subject, {.quote_placeholder = true}));
  EXPECT_EQ(as_string(regex.match_text(1)), "\"42\"");
  EXPECT_EQ(as_string(regex.submatch_text(1, 1)), "42");
  EXPECT_EQ(as_string(regex.get_pattern()), "\"(\\d+)\"");

  ASSERT_TRUE(regex.search("#引号(\\d+)#引号", subject));
  EXPECT_EQ(as_string(regex.match_text(1)), "#引号7#引号");
  EXPECT_EQ(regex.match_count(), 1);
}

TEST_F(RegexObjectTest, OptionsDefaultToIgnoreCaseMultilineAndGlobal) {
  RegexObject regex;
  ASSERT_TRUE(regex.search("^B", "a\nb\nb"));
  EXPECT_EQ(regex.match_count(), 2);
  ASSERT_TRUE(regex.search("^B", "a\nb\nb", {.case_sensitive = true}));
  EXPECT_EQ(regex.match_count(), 0);
  ASSERT_TRUE(regex.search("^b", "a\nb\nb", {.multiline = false}));
  EXPECT_EQ(regex.match_count(), 0);
  ASSERT_TRUE(regex.search("^b", "a\nb\nb", {.global = false}));
  EXPECT_EQ(regex.match_count(), 1);
}

TEST_F(RegexObjectTest, MatchAndGroupTexts) {
  RegexObject regex;
  ASSERT_TRUE(regex.search("(\\w)(\\d)?-", "a1-b-"));
  EXPECT_EQ(regex.match_count(), 2);
  EXPECT_EQ(regex.submatch_count(), 2);
  EXPECT_EQ(as_string(regex.match_text(2)), "b-");
  EXPECT_EQ(as_string(regex.submatch_text(1, 2)), "1");
  std::int32_t position = 99;
  EXPECT_EQ(as_string(regex.submatch_text(2, 2, &position)), "") << "did not take part";
  EXPECT_EQ(position, -2);
  EXPECT_EQ(as_string(regex.submatch_text(1, 3)), "") << "no such group";
  EXPECT_EQ(as_string(regex.match_text(3)), "") << "no such match";
  EXPECT_EQ(as_string(regex.match_text(0)), "");
  EXPECT_EQ(as_string(regex.match_text(INT32_MIN)), "");
  EXPECT_EQ(as_string(regex.submatch_text(1, INT32_MAX)), "");
}

TEST_F(RegexObjectTest, PositionsAreByteOffsetsInTheSubject) {
  RegexObject regex;
  std::int32_t position = 0;
  ASSERT_TRUE(regex.search("ab", "xxab"));
  EXPECT_EQ(as_string(regex.match_text(1, &position)), "ab");
  EXPECT_EQ(position, 2);

  // Each Chinese character is two bytes of the subject but one unit of FirstIndex.
  ASSERT_TRUE(regex.search("ab", "中中abab"));
  EXPECT_EQ(as_string(regex.match_text(1, &position)), "ab");
  EXPECT_EQ(position, 4);
  EXPECT_EQ(as_string(regex.match_text(2, &position)), "ab");
  EXPECT_EQ(position, 6) << "the second match, not the first again";

  ASSERT_TRUE(regex.search("(文)(x+)(歌)", "中文xx歌 文xx歌"));
  EXPECT_EQ(as_string(regex.submatch_text(2, 1, &position)), "文");
  EXPECT_EQ(position, 9);
  EXPECT_EQ(as_string(regex.submatch_text(2, 2, &position)), "xx");
  EXPECT_EQ(position, 11);
  EXPECT_EQ(as_string(regex.submatch_text(2, 3, &position)), "歌");
  EXPECT_EQ(position, 13);

  // Single-byte text: a match right after an equal text is found where it is.
  ASSERT_TRUE(regex.search("a", "aaa"));
  EXPECT_EQ(as_string(regex.match_text(2, &position)), "a");
  EXPECT_EQ(position, 1);
  // An empty match has no position.
  ASSERT_TRUE(regex.search("x*", "abc"));
  EXPECT_EQ(as_string(regex.match_text(2, &position)), "");
  EXPECT_EQ(position, -2);
}

TEST_F(RegexObjectTest, ReplaceUsesTheLastSearchAndLeavesItUnchanged) {
  RegexObject regex;
  EXPECT_EQ(as_string(regex.replace("x")), "") << "before any search";
  ASSERT_TRUE(regex.search("(a)", "banana"));
  EXPECT_EQ(as_string(regex.replace("[$1]")), "b[a]n[a]n[a]");
  EXPECT_EQ(as_string(regex.replace("[$1]")), "b[a]n[a]n[a]");
  EXPECT_EQ(as_string(regex.replace("")), "bnn");
  ASSERT_TRUE(regex.search("(a)", "banana", {.global = false}));
  EXPECT_EQ(as_string(regex.replace("<$`>")), "b<b>nana");
  ASSERT_TRUE(regex.search("中", "中文中"));
  EXPECT_EQ(as_string(regex.replace("歌")), "歌文歌");
}

TEST_F(RegexObjectTest, ClonesShareTheLastSearchAndKeepTheApartmentBalanced) {
  RegexObject regex;
  ASSERT_TRUE(regex.search("b(.)", "abcabd"));
  RegexObject copy = regex.clone();
  EXPECT_EQ(apartment_entries(), 2u);
  regex.reset();
  EXPECT_EQ(apartment_entries(), 1u);
  std::int32_t position = 0;
  EXPECT_EQ(as_string(copy.match_text(2, &position)), "bd");
  EXPECT_EQ(position, 4);
  EXPECT_EQ(as_string(copy.submatch_text(2, 1)), "d");
  EXPECT_EQ(as_string(copy.replace("-")), "a-a-");
  EXPECT_EQ(as_string(copy.get_pattern()), "b(.)");

  RegexObject moved = std::move(copy);
  EXPECT_EQ(copy.match_count(), 0) << "a moved-from owner gives the empty answers";
  EXPECT_EQ(copy.clone().get(), nullptr);
  EXPECT_EQ(moved.match_count(), 2);
}

}  // namespace
