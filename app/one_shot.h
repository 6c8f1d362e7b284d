// The one-shot form of the program: one search for the keywords of the command line.
#pragma once

#include "app/command_line.h"

// Runs one search for `options.keywords` joined by single spaces and writes its report (the
// listing, as text or JSON Lines, on standard output; why it failed on standard error). With
// --download or --play it then saves or plays the chosen entries when the search found any.
// Returns report_search's status when the search failed or found nothing, else the download's or
// the player's (app/entry_actions.h); without either option, report_search's.
[[nodiscard]] int run_one_shot(const ProgramOptions& options);
