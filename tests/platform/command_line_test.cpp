#include "platform/process/command_line.h"

#include <gtest/gtest.h>

namespace {

using Argv = std::vector<std::string>;

TEST(CommandLineTest, BlanksSeparateAndQuotesGroup) {
  EXPECT_EQ(command_line_to_argv(""), Argv{});
  EXPECT_EQ(command_line_to_argv(" \t "), Argv{});
  EXPECT_EQ(command_line_to_argv("  prog  a\tb  "), (Argv{"prog", "a", "b"}));
  EXPECT_EQ(command_line_to_argv(R"(prog "a b" c" "d "")"), (Argv{"prog", "a b", "c d", ""}));
  EXPECT_EQ(command_line_to_argv(R"(prog "unclosed quote)"), (Argv{"prog", "unclosed quote"}));
}

TEST(CommandLineTest, BackslashesCountOnlyBeforeAQuote) {
  EXPECT_EQ(command_line_to_argv(R"(prog a\b c\\d)"), (Argv{"prog", R"(a\b)", R"(c\\d)"}));
  EXPECT_EQ(command_line_to_argv(R"(prog a\"b)"), (Argv{"prog", R"(a"b)"}));
  EXPECT_EQ(command_line_to_argv(R"(prog a\\"b c")"), (Argv{"prog", R"(a\b c)"}));
  EXPECT_EQ(command_line_to_argv(R"(prog a\\\"b)"), (Argv{"prog", R"(a\"b)"}));
  EXPECT_EQ(command_line_to_argv(R"(prog "a\\")"), (Argv{"prog", R"(a\)"}));
  EXPECT_EQ(command_line_to_argv(R"(prog "a""b" c)"), (Argv{"prog", R"(a"b)", "c"}))
      << "a doubled quote inside quotes is one literal quote";
}

TEST(CommandLineTest, TheProgramTokenKeepsBackslashesAndDropsQuotes) {
  EXPECT_EQ(command_line_to_argv(R"("C:\Program Files\x.exe" a)"),
            (Argv{R"(C:\Program Files\x.exe)", "a"}));
  EXPECT_EQ(command_line_to_argv(R"(dir\prog\" a)"), (Argv{R"(dir\prog\ a)"}))
      << "the quote opens quoting in the program token; backslashes stay";
}

TEST(CommandLineTest, TailIsTheRawTextAfterTheProgram) {
  EXPECT_EQ(command_line_tail("cmd.exe /c color  "), " /c color  ");
  EXPECT_EQ(command_line_tail(R"(  "c m d" "x y")"), R"( "x y")");
  EXPECT_EQ(command_line_tail("cmd.exe"), "");
  EXPECT_EQ(command_line_tail(""), "");
}

}  // namespace
