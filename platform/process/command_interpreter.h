// The stand-in for the command interpreter cmd.exe, carried by /bin/sh.
//
// A command line whose program is cmd.exe (any letter case, with or without ".exe" and a
// directory) is turned into a /bin/sh argument vector that does what the interpreter would do
// with the text after its name (the raw command-line tail, as the interpreter reads it):
//   "/c" with nothing after it   ends at once, successfully, without output;
//   "/c cls"                     clears the terminal (and its scroll-back) with escape sequences;
//   "/c color [XY]"              sets the terminal's colours with SGR escape sequences: X is the
//                                background and Y the foreground, hexadecimal console colours
//                                0-F; a single digit sets the foreground on black; no digit
//                                restores the default colours; equal digits or anything else change
//                                nothing and end with status 1, as the interpreter refuses them;
//   "/c <anything else>"         runs `/bin/sh -c "<anything else>"`;
//   no text at all               an interactive /bin/sh on the shared terminal;
//   any other text ("-c", "/k")  an unknown switch: the notice `cmd.exe: invalid switch - "<it>"`
//                                on standard error and status 1, running nothing.
// "/c" is matched in any letter case, as are "cls" and "color". On a terminal the colours apply
// to the text written after the change; a console would repaint its whole window.
#pragma once

#include <string>
#include <string_view>
#include <vector>

inline constexpr char kInterpreterShell[] = "/bin/sh";

// True when `program` (the unquoted program token) names cmd.exe.
[[nodiscard]] bool names_command_interpreter(std::string_view program);

// The /bin/sh argument vector (program path first) for the interpreter tail `arguments`.
[[nodiscard]] std::vector<std::string> interpreter_argv(std::string_view arguments);

// The SGR escape sequence for the interpreter's "color" argument (blanks around it ignored); empty
// when the argument is refused. An empty argument gives the reset to default colours.
[[nodiscard]] std::string color_escape(std::string_view argument);
