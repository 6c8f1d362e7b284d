#include "http/text_between.h"

namespace {

// The marker with every quote placeholder read as a double quote.
Text marker_with_quotes(std::string_view marker) {
  return text_replace(marker, kQuotePlaceholder, "\"", {}, {}, LetterCase::exact);
}

}  // namespace

Text text_between(std::string_view text, std::string_view start_marker, std::string_view end_marker,
                  std::int32_t start_position, LetterCase letter_case) {
  const Text start = marker_with_quotes(start_marker);
  const Text end = marker_with_quotes(end_marker);
  std::int32_t from = text_find(text, start.view(), start_position, letter_case);
  if (from != -1) from += text_len(start.view());
  const std::int32_t to = text_find(text, end.view(), from, letter_case);
  if (from == -1 || to == -1) return {};
  return text_mid(text, from, to - from);
}
