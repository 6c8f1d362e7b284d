// text_compare and text_order: ordering texts by their bytes.
#include <algorithm>

#include "runtime/text_commands.h"
#include "runtime/text_scan.h"

namespace {

// Letters compare as lower case except for the second byte of a double-byte character; the
// result is the difference of the first differing bytes, a missing byte counting as 0.
std::int32_t compare_folded(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  bool second_byte = false;
  for (std::size_t i = 0; i <= common; ++i) {
    const auto byte_of = [&](std::string_view text) -> std::int32_t {
      if (i == text.size()) return 0;
      return second_byte ? static_cast<unsigned char>(text[i]) : text_scan::fold_letter(text[i]);
    };
    const std::int32_t from_a = byte_of(a);
    const std::int32_t from_b = byte_of(b);
    if (from_a != from_b || i == common) return from_a - from_b;
    second_byte = !second_byte && text_scan::is_double_byte_at(a, i);
  }
  return 0;
}

}  // namespace

std::int32_t text_order(std::string_view a, std::string_view b) {
  const int order = a.compare(b);  // char_traits<char> compares bytes as unsigned
  return (order > 0) - (order < 0);
}

std::int32_t text_compare(std::string_view a, std::string_view b, LetterCase letter_case) {
  return letter_case == LetterCase::exact ? text_order(a, b) : compare_folded(a, b);
}
