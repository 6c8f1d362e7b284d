// Splitting a Windows command line into its program and arguments.
//
// The program token follows the rule the C runtime applies to argv[0]: double quotes group and are
// dropped, backslashes are ordinary characters, and the token ends at a blank (space or tab)
// outside quotes. Every later argument follows the C runtime's argument rules:
//   - blanks outside quotes separate arguments; a quoted empty string ("") is an empty argument;
//   - 2n backslashes before a double quote give n backslashes, and the quote opens or closes
//     quoting; 2n+1 backslashes before a double quote give n backslashes and a literal quote;
//   - backslashes not followed by a double quote are literal;
//   - inside quotes, a doubled quote ("") gives one literal quote and quoting goes on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The program token and every argument, in order; empty for a line of nothing but blanks.
//   command_line_to_argv(R"(prog "a b" c\"d)")  ->  {"prog", "a b", "c\"d"}
[[nodiscard]] std::vector<std::string> command_line_to_argv(std::string_view command_line);

// The raw text after the program token, untouched (blanks included), for programs that read
// their own command line instead of an argument vector; empty when there is nothing after it.
[[nodiscard]] std::string_view command_line_tail(std::string_view command_line);
