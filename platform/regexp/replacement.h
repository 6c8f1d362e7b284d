// The component's replacement syntax: what Replace puts in place of each match.
//
//   $1 ... $99  a group: two digits when they name a group, else one digit when it does (so with
//               two groups "$11" is group 1 then "1" and "$02" is group 2); a group that did not
//               take part gives nothing; a number that names no group stays as written ("$3")
//   $&          the whole match
//   $`  $'      the subject before the match, and after it
//   $$          one "$"
// Any other "$" stays as written ("$0", "$a", a "$" at the end).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class Replacement {
 public:
  // Reads `text` for a pattern with `groups` groups. The text is borrowed and must outlive this.
  Replacement(std::u16string_view text, std::uint32_t groups);

  // Appends the replacement of one match to `out`. `row` holds the start and end of the match and
  // of each group, as MatchList rows do.
  void append(std::u16string_view subject, std::span<const std::uint32_t> row,
              std::u16string* out) const;

 private:
  enum class PieceKind : std::uint8_t { literal, group, match, before, after };
  struct Piece {
    PieceKind kind;
    std::uint32_t first;   // literal: offset in the text; group: its number
    std::uint32_t length;  // literal only
  };

  void add_literal(std::size_t first, std::size_t length);
  // The piece that the "$" at `dollar` starts, and how many units it takes; none for a "$" that
  // stays as written.
  std::size_t dollar_piece(std::size_t dollar);

  std::u16string_view text_;
  std::uint32_t groups_;
  std::vector<Piece> pieces_;
};
