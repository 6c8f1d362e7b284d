// The wait line after a listing, read as a pick: a number plays that entry, "d" and a number
// downloads it, an empty line goes on to the next search.
//
//   read_pick("3") -> {play, 3}    read_pick("d3"), read_pick("d 3") -> {download, 3}
//   read_pick("")  -> {go_on}      read_pick("7"), read_pick("x")     -> {unknown}
#pragma once

#include <cstdint>
#include <string_view>

enum class PickAction { go_on, play, download, unknown };

struct Pick {
  PickAction action = PickAction::unknown;
  std::int32_t number = 0;  // 1 to `entries` for play and download, else 0

  friend bool operator==(const Pick&, const Pick&) = default;
};

// Reads `line` (GBK, as the console read it; blanks and a CR around it are ignored; "d" in either
// letter case). A number outside 1 to `entries`, a sign, a second number or any other text is
// unknown.
[[nodiscard]] Pick read_pick(std::string_view line, std::int32_t entries);
