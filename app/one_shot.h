// The one-shot form of the program: one search for the keywords of the command line.
#pragma once

#include "app/command_line.h"

// Runs one search for `options.keywords` joined by single spaces, writes its report (the listing,
// as text or JSON Lines, on standard output; why it failed on standard error) and returns the
// exit status that report_search gives.
[[nodiscard]] int run_one_shot(const ProgramOptions& options);
