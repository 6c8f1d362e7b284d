#include "app/entry_actions.h"

#include <string>
#include <vector>

#include "app/standard_streams.h"
#include "platform/line_editor/line_editor.h"

namespace {

// Why `entry`, number `number` of its listing, has nothing to save or play; empty when it has.
std::string lacking(const SongEntry& entry, std::int64_t number) {
  const std::string named = "entry " + std::to_string(number);
  if (!entry.is_hit()) return named + " is no hit: the search found fewer songs";
  if (entry.url.empty()) return named + " has no play address";
  return {};
}

std::int64_t number_of(const SongSearch& search, const SongEntry* entry) {
  return (entry - search.entries.data()) + 1;
}

}  // namespace

int download_entries(const SongSearch& search, std::span<const SongEntry* const> chosen,
                     const DownloadOptions& options) {
  std::vector<const SongEntry*> with_address;
  bool any_lacking = false;
  for (const SongEntry* entry : chosen) {
    const std::string why = lacking(*entry, number_of(search, entry));
    if (why.empty()) {
      with_address.push_back(entry);
    } else {
      write_standard_error("songsearch: " + why + "; nothing saved\n");
      any_lacking = true;
    }
  }
  const int status = with_address.empty() ? kDownloadsSaved : download_songs(with_address, options);
  if (status == kDownloadsSaved && any_lacking) return kDownloadFailed;
  return status;
}

int play_entry(const SongSearch& search, std::int32_t number, const PlayerOptions& options) {
  if (number < 1 || number > kHitsListed) {
    write_standard_error("songsearch: there is no entry " + std::to_string(number) + "\n");
    return kPlayerUnavailable;
  }
  const SongEntry& entry = search.entries[static_cast<std::size_t>(number - 1)];
  if (const std::string why = lacking(entry, number); !why.empty()) {
    write_standard_error("songsearch: " + why + "; nothing to play\n");
    return kPlayerUnavailable;
  }
  const TerminalLoan loan;  // the player reads keys of its own
  return play_song(entry, options);
}
