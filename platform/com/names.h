// Member names and ProgIDs compare without regard to the case of ASCII letters.
#pragma once

#include <string_view>

[[nodiscard]] constexpr char16_t fold_ascii_letter(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - (u'a' - u'A')) : c;
}

[[nodiscard]] constexpr bool same_name(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold_ascii_letter(a[i]) != fold_ascii_letter(b[i])) return false;
  }
  return true;
}
