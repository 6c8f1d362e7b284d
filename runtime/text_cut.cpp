// text_len, text_left, text_right, text_mid: cutting by byte position.
#include <algorithm>

#include "runtime/text_blocks.h"
#include "runtime/text_commands.h"

std::int32_t text_len(std::string_view text) {
  return static_cast<std::int32_t>(text.size());
}

Text text_left(std::string_view text, std::int32_t n) {
  if (text.empty() || n < 1) return {};
  return text_from_buffer(text.substr(0, static_cast<std::size_t>(n)));
}

Text text_right(std::string_view text, std::int32_t n) {
  if (text.empty() || n < 1) return {};
  const std::size_t length = std::min(text.size(), static_cast<std::size_t>(n));
  return text_from_buffer(text.substr(text.size() - length));
}

Text text_mid(std::string_view text, std::int32_t start, std::int32_t n) {
  if (text.empty() || n < 1 || start < 1 || static_cast<std::size_t>(start) > text.size()) {
    return {};
  }
  return text_from_buffer(
      text.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(n)));
}
