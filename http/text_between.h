// text_between: the part of a text between two markers.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/runtime.h"
#include "runtime/text_commands.h"

// The quote placeholder: in a marker of text_between it stands for a double quote, so callers can
// write markers that hold double quotes.
inline constexpr std::string_view kQuotePlaceholder = "#引号";

// The bytes between the first `start_marker` found from `start_position` (1-based; 0 or below
// reads as 1) and the first `end_marker` after it. Empty when either marker is missing, when a
// marker is empty, or when the end marker follows the start marker directly. Every
// kQuotePlaceholder in a marker is read as a double quote first. Letters compare as
// `letter_case` says; the scan steps over double-byte characters.
//   text_between("ab(x)cd", "(", ")") -> "x"
//   text_between("id=\"7\"", "id=#引号", "#引号") -> "7"
[[nodiscard]] Text text_between(std::string_view text, std::string_view start_marker,
                                std::string_view end_marker, std::int32_t start_position = 1,
                                LetterCase letter_case = LetterCase::exact);
