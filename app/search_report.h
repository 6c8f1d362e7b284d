// What a one-shot search prints: the bytes for standard output in either form, the line for
// standard error when the search failed, and the exit status. Batches print the same bytes per
// keyword, so a search's report is made whole before any of it is written.
#pragma once

#include <string>

#include "app/song_search.h"

// Exit statuses of one-shot and batch runs.
inline constexpr int kExitFound = 0;
inline constexpr int kExitNothingFound = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitSearchFailed = 3;

enum class ReportForm { text, json_lines };

struct SearchReport {
  std::string output;  // for standard output: text in the terminal's charset, or UTF-8 JSON Lines
  std::string error;   // for standard error, a whole line in the terminal's charset; empty if none
  int status = kExitFound;
};

// The report of `search` for `keyword` (GBK, as typed) in `form`.
[[nodiscard]] SearchReport report_search(const Text& keyword, const SongSearch& search,
                                         ReportForm form);
