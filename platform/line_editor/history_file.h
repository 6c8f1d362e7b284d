// The keyword history's file: where it lives, and reading and writing it.
//
// The file holds one keyword a line in UTF-8, oldest first, whatever the locale, so that runs in
// a GBK and a UTF-8 locale share it. It is replaced whole on every save, with mode 0600, and its
// folders are made with mode 0700.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

inline constexpr std::size_t kHistoryLimit = 1000;

// The file's path: $SONGSEARCH_HISTORY when it is set (the empty string: nothing on disk), else
// $XDG_STATE_HOME/songsearch/history (when that is an absolute path), else
// $HOME/.local/state/songsearch/history. Empty when nothing is kept on disk, or when there is no
// home to keep it in; `*no_home` tells the two apart.
[[nodiscard]] std::string history_file_path(bool* no_home);

// The newest kHistoryLimit entries of the file at `path`, empty lines left out; a file that does
// not exist gives none. False when the file exists but cannot be read.
[[nodiscard]] bool load_history(const std::string& path, std::vector<std::string>* entries);

// Replaces the file at `path` by `entries` (the newest kHistoryLimit of them), making its folders
// as needed. False when that fails; the file is then as it was.
[[nodiscard]] bool save_history(const std::string& path, std::span<const std::string> entries);
