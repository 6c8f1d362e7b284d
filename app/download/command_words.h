// Splitting a command line into words as a POSIX shell does, without ever running a shell: blanks
// separate words; single quotes keep everything up to the next single quote; double quotes keep
// everything up to the next unescaped double quote, where a backslash escapes only $ ` " \ and a
// newline; outside quotes a backslash keeps the next character (a backslash-newline vanishes).
// Nothing is expanded: $, `, *, ~, ;, | and & are ordinary characters of a word.
//
//   command_words(R"(mpv --volume=50 'a b' "c \"d\"" e\ f)")
//     ->  {"mpv", "--volume=50", "a b", "c \"d\"", "e f"}
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The words of `line`, empty for a line of blanks; nullopt when a quote is not closed or the line
// ends in a lone backslash.
[[nodiscard]] std::optional<std::vector<std::string>> command_words(std::string_view line);
