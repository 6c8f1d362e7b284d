// What the program does with entries of a listing besides showing them: saves their songs or
// plays one. The one-shot search's --download and --play and the interactive --pick share it.
#pragma once

#include <cstdint>
#include <span>

#include "app/download/download.h"
#include "app/download/player.h"
#include "app/song_search.h"

// Saves the songs of `chosen` (entries of `search`) with download_songs. A chosen entry that is no
// hit or has no play address is not requested: one line on standard error names it and it counts
// as not saved. The exit status: kDownloadsSaved, kDownloadFailed or kDownloadInterrupted.
[[nodiscard]] int download_entries(const SongSearch& search,
                                   std::span<const SongEntry* const> chosen,
                                   const DownloadOptions& options);

// Plays entry `number` (1 to kHitsListed) of `search` with play_song and returns its status; an
// entry that is no hit or has no play address is one line on standard error and
// kPlayerUnavailable.
[[nodiscard]] int play_entry(const SongSearch& search, std::int32_t number,
                             const PlayerOptions& options);
