// A batch of searches as the command line asks for one: the keywords of a file, one a line,
// searched by worker processes (app/batch_runner.h) and printed in the order of the file, each
// search's output exactly as the one-shot search prints it.
//
// As text, each keyword's listing follows its naming line, "== " and the keyword in the
// terminal's charset with its control characters as "?". No listing line can be taken for one:
// an entry's line starts with its number, and a listing is ten lines or, when its search failed,
// none. JSON Lines need no such line: every record carries its keyword.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"

// The batch file's name that stands for standard input.
inline constexpr std::string_view kBatchFromStandardInput = "-";

// The keywords of a batch file's text (the terminal's charset): each non-empty line, its line end
// (LF or CR LF) removed, in GBK as the prompt reads a line: up to a NUL, cut at kConsoleReadLimit
// bytes between two characters. A line that reads as no keyword at all is left out.
[[nodiscard]] std::vector<std::string> batch_file_keywords(std::string_view text);

// Runs the batch of `options.batch_file` in up to `options.jobs` workers, writing each report
// (in the form `options.json_lines` chooses) as the one-shot search would, in the order of the
// file. Returns the worst status of the searches (kExitFound for a file without keywords), or
// kExitUsage after one line on standard error when the file cannot be read: the command line
// named something that is not a batch, and nothing has been searched.
[[nodiscard]] int run_batch_file(const ProgramOptions& options);
