// Which entries of a search a one-shot --download or --play names: a number from 1 to 5, or
// "all" (downloads only) for every entry that is a hit.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "app/song_search.h"

// The entries `choice` names in `search`, in listing order. A number picks its entry whether or
// not it is a hit (an entry without a play address then fails with its own message); "all", in
// any letter case, picks every hit and may pick none. Nullopt for anything else ("0", "6", "1,2",
// " 1", "").
[[nodiscard]] std::optional<std::vector<const SongEntry*>> chosen_entries(const SongSearch& search,
                                                                          std::string_view choice);
