#include "app/download/pick_line.h"

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view without_blanks_around(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) + 1 - first);
}

// The entry number `digits` names, or 0 when it is not one of 1 to `entries` written in digits.
std::int32_t entry_number(std::string_view digits, std::int32_t entries) {
  if (digits.empty() || digits.size() > 3) return 0;
  std::int32_t number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number >= 1 && number <= entries ? number : 0;
}

Pick picked(PickAction action, std::int32_t number) {
  return number == 0 ? Pick{} : Pick{action, number};
}

}  // namespace

Pick read_pick(std::string_view line, std::int32_t entries) {
  line = without_blanks_around(line);
  if (line.empty()) return {PickAction::go_on, 0};
  if (line.front() == 'd' || line.front() == 'D') {
    return picked(PickAction::download,
                  entry_number(without_blanks_around(line.substr(1)), entries));
  }
  return picked(PickAction::play, entry_number(line, entries));
}
