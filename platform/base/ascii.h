// ASCII letter case and digits, for the names, keywords and header fields that the platform's
// services read without regard to case. Only the letters A to Z and a to z fold; every other byte
// or UTF-16 unit, non-ASCII ones included, compares as it is.
#pragma once

#include <algorithm>
#include <string_view>

template <typename Char>
[[nodiscard]] constexpr Char ascii_to_lower(Char c) {
  return c >= Char{'A'} && c <= Char{'Z'} ? static_cast<Char>(c + (Char{'a'} - Char{'A'})) : c;
}

template <typename Char>
[[nodiscard]] constexpr Char ascii_to_upper(Char c) {
  return c >= Char{'a'} && c <= Char{'z'} ? static_cast<Char>(c - (Char{'a'} - Char{'A'})) : c;
}

template <typename Char>
[[nodiscard]] constexpr bool is_ascii_digit(Char c) {
  return c >= Char{'0'} && c <= Char{'9'};
}

template <typename Char>
[[nodiscard]] constexpr bool is_ascii_alphanumeric(Char c) {
  const Char lower = ascii_to_lower(c);
  return is_ascii_digit(c) || (lower >= Char{'a'} && lower <= Char{'z'});
}

namespace ascii_detail {

template <typename CharA, typename CharB>
[[nodiscard]] constexpr bool equal_ignoring_case(std::basic_string_view<CharA> a,
                                                 std::basic_string_view<CharB> b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](CharA x, CharB y) {
           return static_cast<char32_t>(ascii_to_lower(x)) ==
                  static_cast<char32_t>(ascii_to_lower(y));
         });
}

}  // namespace ascii_detail

// Whether `a` and `b` hold the same units once ASCII letters are folded; a UTF-16 text compares
// with an ASCII word unit by unit.
[[nodiscard]] constexpr bool ascii_equal_ignoring_case(std::string_view a, std::string_view b) {
  return ascii_detail::equal_ignoring_case(a, b);
}
[[nodiscard]] constexpr bool ascii_equal_ignoring_case(std::u16string_view a,
                                                       std::u16string_view b) {
  return ascii_detail::equal_ignoring_case(a, b);
}
[[nodiscard]] constexpr bool ascii_equal_ignoring_case(std::u16string_view a, std::string_view b) {
  return ascii_detail::equal_ignoring_case(a, b);
}

[[nodiscard]] constexpr bool ascii_starts_with_ignoring_case(std::string_view text,
                                                             std::string_view prefix) {
  return text.size() >= prefix.size() &&
         ascii_equal_ignoring_case(text.substr(0, prefix.size()), prefix);
}
