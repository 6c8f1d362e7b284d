// A batch of searches, one per keyword, run by worker processes and reported in input order.
//
// The program's core stays single-threaded: each worker is a fork of the program made before
// any search runs, and runs one search at a time as the program does, fed keywords and returning
// reports as frames over a socket pair (app/batch_frames.h). Reports are handed on in the order
// of the keywords, each as soon as it and every one before it are in, whatever order the workers
// finish in. The batch's own process must run no search itself: a worker forked after one
// would share that search's kept connections with it.
//
//   const std::vector<std::string> keywords = batch_keywords(file_text);
//   const int status = run_batch(keywords, jobs, search_one, write_report);
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/search_report.h"

inline constexpr int kMostJobs = 64;

// Runs one search; called in a worker process. Whatever it prints to standard output goes to
// standard error instead, so that standard output carries only the reports, in order.
using KeywordSearch = std::function<SearchReport(const std::string& keyword)>;
// Takes each keyword's report, in the order of the keywords; called in the batch's process.
using ReportWriter = std::function<void(const std::string& keyword, const SearchReport& report)>;

// The keywords of a batch file's text: its non-empty lines, without their line ends (LF or
// CR LF), bytes as they stand.
[[nodiscard]] std::vector<std::string> batch_keywords(std::string_view text);

// Runs `search` for each of `keywords` in up to `jobs` worker processes (below 1 counts as 1,
// above kMostJobs as kMostJobs) and hands each report to `write` in the order of `keywords`.
// A worker that dies in a search (a crash, or an exit of its own) is replaced and its keyword's
// report is a failure: no output, a line for standard error naming the keyword (read as GBK,
// shown in the terminal's charset) and how the worker ended, status kExitSearchFailed. Returns the worst status of the reports (kExitFound <
// kExitNothingFound < kExitSearchFailed), kExitFound for no keywords.
[[nodiscard]] int run_batch(std::span<const std::string> keywords, int jobs,
                            const KeywordSearch& search, const ReportWriter& write);
