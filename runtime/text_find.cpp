// text_find: the first occurrence of a text on a character start.
#include "runtime/text_commands.h"
#include "runtime/text_scan.h"

std::int32_t text_find(std::string_view text, std::string_view sought, std::int32_t start,
                       LetterCase letter_case) {
  if (text.empty() || sought.empty() || sought.size() > text.size()) return -1;
  const std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
  if (from > text.size() - sought.size()) return -1;
  // The scan starts at `from` as if a character started there, whatever the bytes before it.
  const std::size_t at = text_scan::Matcher(text, sought, letter_case).next(from);
  return at == text_scan::npos ? -1 : static_cast<std::int32_t>(at + 1);
}
