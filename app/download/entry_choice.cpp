#include "app/download/entry_choice.h"

#include <strings.h>

std::optional<std::vector<const SongEntry*>> chosen_entries(const SongSearch& search,
                                                            std::string_view choice) {
  std::vector<const SongEntry*> chosen;
  if (choice.size() == 3 && strncasecmp(choice.data(), "all", 3) == 0) {
    for (const SongEntry& entry : search.entries) {
      if (entry.is_hit()) chosen.push_back(&entry);
    }
    return chosen;
  }
  if (choice.size() != 1 || choice[0] < '1' || choice[0] >= '1' + kHitsListed) return std::nullopt;
  chosen.push_back(&search.entries[static_cast<std::size_t>(choice[0] - '1')]);
  return chosen;
}
