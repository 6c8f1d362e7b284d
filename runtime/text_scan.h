// Scanning GBK texts: where characters start, and finding a sought text on character starts.
//
// A byte of 0x80 or more leads a two-byte character when the byte after it can be a second byte,
// 0x40 or more: ASCII letters and some separators can. A lead byte followed by a byte below 0x40
// (CR, LF, NUL, digits, most punctuation) or by the end stands alone, so such a byte always starts
// a character. A scan that steps character by character from a known character start reaches a
// position p exactly when p holds a byte below 0x40 or the run of lead-range bytes just before p
// has even length (counting back no further than that start): the byte before such a run, below
// 0x80, ends a character either way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/text_commands.h"

namespace text_scan {

inline constexpr std::size_t npos = std::string_view::npos;

[[nodiscard]] constexpr bool is_lead_byte(char byte) {
  return static_cast<unsigned char>(byte) >= 0x80;
}

// True for a byte that may be the second byte of a double-byte character.
[[nodiscard]] constexpr bool can_trail(char byte) {
  return static_cast<unsigned char>(byte) >= 0x40;
}

// True when the character that starts at `at` (< text.size()) is a double-byte one.
[[nodiscard]] inline bool is_double_byte_at(std::string_view text, std::size_t at) {
  return is_lead_byte(text[at]) && at + 1 < text.size() && can_trail(text[at + 1]);
}

// The position after the character that starts at `at` (< text.size()), never past the end.
[[nodiscard]] inline std::size_t next_char(std::string_view text, std::size_t at) {
  return is_double_byte_at(text, at) ? at + 2 : at + 1;
}

[[nodiscard]] constexpr unsigned char fold_letter(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= 'A' && value <= 'Z' ? static_cast<unsigned char>(value + ('a' - 'A')) : value;
}

// True when stepping character by character from `from` (a character start) lands on `at`.
[[nodiscard]] bool reaches(std::string_view text, std::size_t from, std::size_t at);

// True when `sought` equals the bytes of `text` at `at` with ASCII letters folded; the second
// byte of a double-byte character compares exactly. `text` holds at least sought.size() bytes
// from `at`.
[[nodiscard]] bool equal_folded(const char* text, std::string_view sought);

// Finds `sought` (not empty) in `text` at character starts only, one match after another.
class Matcher {
 public:
  Matcher(std::string_view text, std::string_view sought, LetterCase letter_case);

  // The position of the first match at or after `from`, which the caller knows to be a character
  // start (the text's start, or the end of an earlier match); npos when there is none.
  [[nodiscard]] std::size_t next(std::size_t from) const;

 private:
  [[nodiscard]] std::size_t next_exact(std::size_t from) const;
  [[nodiscard]] std::size_t next_folded(std::size_t from) const;

  std::string_view text_;
  std::string_view sought_;
  bool folded_;
};

}  // namespace text_scan
