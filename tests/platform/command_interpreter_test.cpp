#include "platform/process/command_interpreter.h"

#include <gtest/gtest.h>

namespace {

using Argv = std::vector<std::string>;

Argv script(std::string text) {
  return {"/bin/sh", "-c", std::move(text)};
}

TEST(CommandInterpreterTest, RecognisesTheInterpreterByName) {
  EXPECT_TRUE(names_command_interpreter("cmd.exe"));
  EXPECT_TRUE(names_command_interpreter("CMD"));
  EXPECT_TRUE(names_command_interpreter("Cmd.Exe"));
  EXPECT_TRUE(names_command_interpreter(R"(C:\Windows\System32\cmd.exe)"));
  EXPECT_FALSE(names_command_interpreter("cmd.com"));
  EXPECT_FALSE(names_command_interpreter("xcmd.exe"));
  EXPECT_FALSE(names_command_interpreter(""));
}

TEST(CommandInterpreterTest, MapsTheSwitchesOntoShellScripts) {
  EXPECT_EQ(interpreter_argv(""), Argv{"/bin/sh"}) << "no switch: an interactive interpreter";
  EXPECT_EQ(interpreter_argv(" /c"), script(""));
  EXPECT_EQ(interpreter_argv(" /C   "), script(""));
  EXPECT_EQ(interpreter_argv(" /c echo hi"), script("echo hi"));
  EXPECT_EQ(interpreter_argv(" /c ClS "), script(R"(printf '\033[H\033[2J\033[3J')"));
  EXPECT_EQ(interpreter_argv(" /c cls & echo x"), script("cls & echo x"));
  EXPECT_EQ(interpreter_argv(" /c colorful"), script("colorful"));
  EXPECT_EQ(interpreter_argv(" -c "),
            script(R"(printf '%s\n' 'cmd.exe: invalid switch - "-c"' >&2; exit 1)"));
  EXPECT_EQ(interpreter_argv(" /k it's"),
            script(R"(printf '%s\n' 'cmd.exe: invalid switch - "/k"' >&2; exit 1)"));
}

TEST(CommandInterpreterTest, ColorSetsBackgroundThenForegroundOrRefuses) {
  EXPECT_EQ(interpreter_argv(" /c color  "), script(R"(printf '\033[0m')"));
  EXPECT_EQ(interpreter_argv(" /c COLOR  1E"), script(R"(printf '\033[0;44;93m')"));
  EXPECT_EQ(interpreter_argv(" /c color  F"), script(R"(printf '\033[0;40;97m')"));
  EXPECT_EQ(interpreter_argv(" /c color  AA"), script("exit 1"));

  EXPECT_EQ(color_escape("7"), "\x1b[0;40;37m");
  EXPECT_EQ(color_escape("c"), "\x1b[0;40;91m");
  EXPECT_EQ(color_escape("c0"), "\x1b[0;101;30m");
  EXPECT_EQ(color_escape("8f"), "\x1b[0;100;97m");
  EXPECT_EQ(color_escape("23"), "\x1b[0;42;36m");
  EXPECT_EQ(color_escape("0"), "") << "black on black is refused";
  EXPECT_EQ(color_escape("1G"), "");
  EXPECT_EQ(color_escape("123"), "");
}

}  // namespace
