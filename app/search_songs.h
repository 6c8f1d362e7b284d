// The song search: the program's one piece of domain logic.
#pragma once

#include "runtime/runtime.h"

// Asks the music service's song search for the first five hits of `keyword` (the caller's keyword
// variable, read only) and the play-info endpoint for each hit, and returns the numbered listing:
// for each of the five entries its number, ".", the hit's file name and CR LF, then its play
// address and CR LF. Every failure leaves its part of an entry empty; all five entries are always
// there.
[[nodiscard]] Text search_songs(const Text& keyword);
