// Text commands: measuring, cutting, searching, replacing, splitting, trimming and comparing GBK
// texts.
//
// Positions and lengths count bytes and are 1-based. Texts arrive as views (a null Text views as
// empty) and results are new Text blocks owned by the caller; null is the empty result.
//
// The commands that scan (find, replace, split, the space removals) step over double-byte
// characters: a byte of 0x80 or more leads a two-byte character, so a match never starts on its
// second byte, and a text that ends in a lone lead byte is never read past its end. No second
// byte is below 0x40, so a lead byte followed by a line end, NUL, digit or ASCII punctuation
// stands alone and the byte after it starts a character of its own. The commands
// that cut by position (left, right, mid) do not look at characters and may split one.
//
//   Text host = text_mid(address, 8, text_find(address, "/", 8) - 8);
//   ValueArray lines = text_split(header_block, "\r\n");
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/runtime.h"

inline constexpr std::uint32_t kTextLenCommand = 0x130;
inline constexpr std::uint32_t kTextLeftCommand = 0x134;
inline constexpr std::uint32_t kTextRightCommand = 0x138;
inline constexpr std::uint32_t kTextMidCommand = 0x13C;
inline constexpr std::uint32_t kTextFindCommand = 0x148;
inline constexpr std::uint32_t kTextTrimCommand = 0x174;
inline constexpr std::uint32_t kTextRemoveSpacesCommand = 0x178;
inline constexpr std::uint32_t kTextReplaceCommand = 0x180;
inline constexpr std::uint32_t kTextSpacesCommand = 0x184;
inline constexpr std::uint32_t kTextCompareCommand = 0x18C;
inline constexpr std::uint32_t kTextSplitCommand = 0x190;

// How letters compare. `folded` matches the ASCII letters A-Z and a-z regardless of case; the
// second byte of a double-byte character always compares exactly, even where it looks like a
// letter.
enum class LetterCase : std::uint8_t { exact, folded };

// ---------------------------------------------------------------------------------------------
// Measuring and cutting by position

// The byte length of `text`.
[[nodiscard]] std::int32_t text_len(std::string_view text);

// The first `n` bytes; the whole text when `n` exceeds its length; null when the text is empty
// or `n` < 1.
[[nodiscard]] Text text_left(std::string_view text, std::int32_t n);

// The last `n` bytes; the whole text when `n` exceeds its length; null when the text is empty or
// `n` < 1.
[[nodiscard]] Text text_right(std::string_view text, std::int32_t n);

// `n` bytes from the 1-based `start`, cut at the end of the text; null when the text is empty,
// `n` < 1, `start` < 1 or `start` lies beyond the last byte.
[[nodiscard]] Text text_mid(std::string_view text, std::int32_t start, std::int32_t n);

// ---------------------------------------------------------------------------------------------
// Searching, replacing, splitting

// The 1-based position of the first occurrence of `sought` that starts on a character at or
// after `start` (a start below 1 reads as 1); -1 when there is none, when either text is empty,
// or when `start` leaves too few bytes for `sought`.
//   text_find("a,b", ",") == 2;  text_find("ABC", "b", 1, LetterCase::folded) == 2
[[nodiscard]] std::int32_t text_find(std::string_view text, std::string_view sought,
                                     std::int32_t start = 1,
                                     LetterCase letter_case = LetterCase::exact);

// `text` with the occurrences of `sought` at or after `start` replaced by `replacement` (an
// empty replacement removes them), at most `count` of them, scanning as text_find does. Letters
// are folded unless `letter_case` says exact.
//   - an empty text gives null; an empty `sought`, or one longer than the text, gives a copy;
//   - an omitted start reads as 1 and an omitted count as unlimited, but a given start below 1,
//     a given count below 1, or a start that leaves too few bytes for `sought` give a copy
//     (unlike text_find, which reads a start of 0 as 1);
//   - a text that is replaced entirely by nothing gives a non-null empty text.
[[nodiscard]] Text text_replace(std::string_view text, std::string_view sought,
                                std::string_view replacement = {},
                                std::optional<std::int32_t> start = {},
                                std::optional<std::int32_t> count = {},
                                LetterCase letter_case = LetterCase::folded);

// The pieces of `text` between occurrences of `separator` (exact bytes, found on character
// starts), as a one-dimensional array of Text (never a null block). Empty pieces are null
// elements; a separator at the very end adds no empty last piece. When `maximum` pieces have
// been cut the rest of the text is dropped; an omitted maximum is unlimited, a negative one reads
// as 0. An empty text or a maximum of 0 gives no elements; an empty separator gives the whole
// text as the one element.
//   text_split("a,b,") -> {"a", "b"};  text_split(",a") -> {null, "a"}
[[nodiscard]] ValueArray text_split(std::string_view text, std::string_view separator = ",",
                                    std::optional<std::int32_t> maximum = {});

// ---------------------------------------------------------------------------------------------
// Spaces. A space is the ASCII byte 0x20 or the full-width space, the character 0xA1 0xA1.

// `text` without leading and trailing spaces; null when nothing is left.
[[nodiscard]] Text text_trim(std::string_view text);

// `text` without any space; null when nothing is left.
[[nodiscard]] Text text_remove_spaces(std::string_view text);

// A text of `n` ASCII spaces; null when `n` < 1.
[[nodiscard]] Text text_spaces(std::int32_t n);

// ---------------------------------------------------------------------------------------------
// Comparing

// Exact: -1, 0 or 1 as `a` sorts before, equal to or after `b` by unsigned bytes. Folded: ASCII
// letters compare as lower case and the result is the difference of the first differing
// (folded) bytes, negative, 0 or positive, not limited to -1 and 1.
[[nodiscard]] std::int32_t text_compare(std::string_view a, std::string_view b,
                                        LetterCase letter_case);

// -1, 0 or 1 by unsigned byte comparison; null and empty texts are equal. The text = and <>
// operators.
[[nodiscard]] std::int32_t text_order(std::string_view a, std::string_view b);
