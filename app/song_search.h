// One song search as data: what the search answer and each hit's play information held, for the
// listing of the interactive program and for the machine-readable and batch forms around it.
#pragma once

#include <array>
#include <cstdint>

#include "runtime/runtime.h"

inline constexpr std::int32_t kHitsListed = 5;

// One of the five entries. Texts are GBK, as the answers' members read (a number in its
// value-to-text form); a part the answers lack, or whose request failed, is empty.
struct SongEntry {
  Text filename;
  Text hash;
  Text url;  // empty when the play-information request failed or its answer had no url

  // Whether the search answer has this hit: a hit whose file name or hash is not empty.
  [[nodiscard]] bool is_hit() const { return !filename.empty() || !hash.empty(); }
};

struct SongSearch {
  // Whether the song search itself answered: its request succeeded and its body loaded as a JSON
  // document. When it did not, every entry is empty and `failure` says why (the request's
  // numbered message, or a message of the program's own), in GBK.
  bool answered = false;
  Text failure;
  std::array<SongEntry, kHitsListed> entries;

  [[nodiscard]] bool found_any() const;
};

// Runs one search for `keyword` (GBK, pasted into the address as typed): the song search, then
// the play information of each of the first five hits, one request after another, always five
// play-information requests.
[[nodiscard]] SongSearch search_song_entries(const Text& keyword);

// The interactive program's listing of `search`: for each of the five entries its number, ".",
// the file name and CR LF, then the play address and CR LF, control characters shown as "?".
[[nodiscard]] Text song_listing(const SongSearch& search);
