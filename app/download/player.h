// Playing an entry: a player program started on the entry's play address, waited for, its exit
// status the program's.
//
// The player is the command line given as an option, else the one in SONGSEARCH_PLAYER, split
// into words as a shell would (app/download/command_words.h), else the first known player found
// on the PATH. It is started with an argument vector, never through a shell; the address is one
// more argument after the player's own, so no address can become a command. Messages go to
// standard error as one line starting "songsearch: ".
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/song_search.h"

struct PlayerOptions {
  // The player's command line as given (--player); empty: SONGSEARCH_PLAYER, then the known
  // players.
  std::string command;
};

// The exit status when no player can be chosen or started, or the address is refused.
inline constexpr int kPlayerUnavailable = 1;

// The known players in order of preference, each with the words it needs to play an address and
// end.
[[nodiscard]] std::span<const std::vector<std::string>> known_players();

// The player's words (without the address): from `options.command`, else from `environment_value`
// (SONGSEARCH_PLAYER's value, null when unset or empty), else the first known player whose program
// is an executable file in one of `path`'s folders. Nullopt, with `*error` saying why, when the
// chosen command line does not split or is empty, or no known player is found.
[[nodiscard]] std::optional<std::vector<std::string>> chosen_player(const PlayerOptions& options,
                                                                    const char* environment_value,
                                                                    std::string_view path,
                                                                    std::string* error);

// Starts `words` (program first, found on the PATH) with the terminal and standard streams of this
// program, and waits for it. Its exit status; 128 plus the signal when a signal ended it;
// kPlayerUnavailable, with a message, when it cannot be started. Ctrl-C reaches the player; this
// program ignores it while it waits, so the player's own ending decides the status.
[[nodiscard]] int run_player(const std::vector<std::string>& words);

// Plays `entry`'s address: refuses an address that app/download/play_address.h refuses, chooses
// the player from `options`, the environment and the PATH, and runs it with the address (in the
// terminal's charset) as its last argument. The exit status as run_player's.
[[nodiscard]] int play_song(const SongEntry& entry, const PlayerOptions& options);
