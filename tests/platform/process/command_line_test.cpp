#include "platform/process/command_line.h"

#include <gtest/gtest.h>

namespace {

using Argv = std::vector<std::string>;

TEST(CommandLineTest, BlanksSeparateQuotesGroupAndBackslashesCountOnlyBeforeAQuote) {
  EXPECT_EQ(command_line_to_argv(" \t "), Argv{});
  EXPECT_EQ(command_line_to_argv(R"(  prog  a	"b c"d "")"), (Argv{"prog", "a", "b cd", ""}));
  EXPECT_EQ(command_line_to_argv(R"(p a\b a\"b a\\"b c" a\\\"b "a\\" "unclosed)"),
            (Argv{"p", R"(a\b)", R"(a"b)", R"(a\b c)", R"(a\"b)", R"(a\)", "unclosed"}));
  EXPECT_EQ(command_line_to_argv(R"(p "a""b" c)"), (Argv{"p", R"(a"b)", "c"}));
  EXPECT_EQ(command_line_to_argv(R"("C:\Program Files\x.exe" dir\)"),
            (Argv{R"(C:\Program Files\x.exe)", R"(dir\)"}))
      << "the program token takes backslashes literally";
  EXPECT_EQ(command_line_tail(R"( "c m d" /c  x )"), " /c  x ");
}

}  // namespace
