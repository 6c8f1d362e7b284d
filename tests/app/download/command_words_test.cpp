#include "app/download/command_words.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Words = std::vector<std::string>;

TEST(CommandWordsTest, SplitsAsAShellWouldWithoutExpanding) {
  const std::pair<const char*, Words> cases[] = {
      {R"(mpv --volume=50 'a b' "c \"d\"" e\ f)", {"mpv", "--volume=50", "a b", "c \"d\"", "e f"}},
      {"", {}},
      {" \t\n ", {}},
      {"  a   b  ", {"a", "b"}},
      {"'' \"\"", {"", ""}},
      {"a''b", {"ab"}},
      {R"('it''s')", {"its"}},
      {R"('a\b')", {R"(a\b)"}},
      {R"("a\b\$\`\\")", {R"(a\b$`\)"}},
      {R"(a\\b)", {R"(a\b)"}},
      {"a\\\nb", {"ab"}},
      {"a \\\n b", {"a", "b"}},
      {"\"x\\\ny\"", {"xy"}},
      {"$HOME ~ *.mp3 a;b c|d e&f `g` $(h)",
       {"$HOME", "~", "*.mp3", "a;b", "c|d", "e&f", "`g`", "$(h)"}},
      {"\"'\" '\"'", {"'", "\""}},
  };
  for (const auto& [line, expected] : cases) {
    const auto words = command_words(line);
    ASSERT_TRUE(words.has_value()) << line;
    EXPECT_EQ(*words, expected) << line;
  }
}

TEST(CommandWordsTest, RefusesUnclosedQuotesAndATrailingBackslash) {
  for (const char* line : {"'a", "\"a", "a\\", "\"a\\\"", "a 'b\" c"}) {
    EXPECT_FALSE(command_words(line).has_value()) << line;
  }
}

}  // namespace
