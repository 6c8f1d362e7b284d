// The program's command line, as a Linux user expects of a tool. Without arguments the program is
// the interactive tool and this is not consulted.
#pragma once

#include <span>

// Answers the arguments after the program's name: "--help" prints what the program does, how a
// pipe drives it and the hosts it was built with, and "--version" its version, both on standard
// output with exit status 0; anything else (another argument, or any second one) prints a one-line
// error on standard error with exit status 2. Returns the exit status.
[[nodiscard]] int answer_command_line(std::span<const char* const> arguments);
