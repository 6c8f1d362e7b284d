// Keeping a song: an entry's play address saved as a file.
//
// The body streams from the WinHTTP stand-in's read loop through a fixed buffer into NAME.part,
// which is flushed, synced and renamed to NAME only when the body is complete (its length matches
// the answer's when it gave one); the folder is synced after the rename. NAME comes from
// app/download/saved_name.h and never leaves the chosen folder. An existing NAME is kept unless
// `force` is set.
//
// Resume: an existing NAME.part is continued with a Range request. A 206 answer that continues it
// is appended; a 200 starts again from zero; a 416 whose length equals the part's size completes
// it. A 206 that continues elsewhere, or a 416 of another length, means the part is not a piece of
// this answer: it is dropped and the download starts once more from zero.
//
// NAME.part is the name the address alone gives; when only the answer's Content-Type gives the
// extension, the part carries none and the saved file has it.
//
// Bounds: redirects (at most 10), https and the idle time-outs are those of any request; the
// transfer as a whole is bounded by a floor on its rate, never by a deadline. Ctrl-C, a failed
// read or a stall keep NAME.part for the next try.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "app/download/progress.h"
#include "app/song_search.h"

struct DownloadOptions {
  std::string output_dir;                                 // empty: the current folder
  bool force = false;                                     // replace an existing NAME
  ProgressDisplay progress = ProgressDisplay::automatic;  // --quiet: ProgressDisplay::none
  std::int32_t timeout_milliseconds = 30000;  // resolve and connect; send and receive when idle
  // The floor on the rate: the transfer fails when fewer than `minimum_bytes_per_second` arrive
  // on average over `minimum_rate_seconds`.
  std::uint32_t minimum_bytes_per_second = 1024;
  std::uint32_t minimum_rate_seconds = 30;
};

enum class DownloadResult {
  saved,        // NAME holds the whole body
  exists,       // NAME was there already and `force` was not set; nothing requested or written
  failed,       // refused address, error answer, broken or stalled body, file system error
  interrupted,  // Ctrl-C; NAME.part kept
};

struct DownloadOutcome {
  DownloadResult result = DownloadResult::failed;
  std::string path;    // the saved file's path (or the one that exists, or the part's)
  std::string reason;  // for every result but `saved`: one line without the program's prefix
};

// Exit statuses of download_songs.
inline constexpr int kDownloadsSaved = 0;
inline constexpr int kDownloadFailed = 4;         // any file not saved, an existing one included
inline constexpr int kDownloadInterrupted = 130;  // as a shell reports an end by SIGINT

// Downloads one entry's play address. Ctrl-C ends it only while download_songs' handler is in
// place; otherwise SIGINT keeps its own action. Writes progress and no failure message.
[[nodiscard]] DownloadOutcome download_song(const SongEntry& entry, const DownloadOptions& options);

// Downloads `entries` one after another with a Ctrl-C handler in place, writing progress and, for
// each file not saved, "songsearch: <reason>" on standard error. Stops at Ctrl-C. The exit status:
// kDownloadsSaved, kDownloadFailed or kDownloadInterrupted.
[[nodiscard]] int download_songs(std::span<const SongEntry* const> entries,
                                 const DownloadOptions& options);
