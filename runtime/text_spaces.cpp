// text_trim, text_remove_spaces, text_spaces: ASCII spaces and the full-width space 0xA1 0xA1.
#include <cstring>

#include "runtime/text_blocks.h"
#include "runtime/text_commands.h"
#include "runtime/text_scan.h"

namespace {

constexpr char kFullWidthSpaceByte = '\xA1';

// The length of the space that starts the character at `at`: 1, 2 (full width) or 0 for none.
std::size_t space_length_at(std::string_view text, std::size_t at) {
  if (text[at] == ' ') return 1;
  if (text[at] == kFullWidthSpaceByte && at + 1 < text.size() &&
      text[at + 1] == kFullWidthSpaceByte) {
    return 2;
  }
  return 0;
}

}  // namespace

// The end is found walking forward, so a 0xA1 that ends a double-byte character is never taken
// for half of a trailing full-width space.
Text text_trim(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t space = space_length_at(text, begin);
    if (space == 0) break;
    begin += space;
  }
  std::size_t end = begin;  // the end of the last character that is not a space
  for (std::size_t at = begin; at < text.size();) {
    const std::size_t space = space_length_at(text, at);
    if (space != 0) {
      at += space;
    } else {
      at = text_scan::next_char(text, at);
      end = at;
    }
  }
  return text_from_buffer(text.substr(begin, end - begin));
}

Text text_remove_spaces(std::string_view text) {
  if (text.empty()) return {};
  auto* block = static_cast<char*>(mem_alloc(static_cast<std::uint32_t>(text.size()) + 1));
  std::size_t length = 0;
  std::size_t run = 0;  // the start of the run of characters not yet copied
  const auto copy_run = [&](std::size_t run_end) {
    std::memcpy(block + length, text.data() + run, run_end - run);
    length += run_end - run;
  };
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t space = space_length_at(text, at);
    if (space == 0) {
      at = text_scan::next_char(text, at);
      continue;
    }
    copy_run(at);
    at += space;
    run = at;
  }
  copy_run(text.size());
  if (length == 0) {
    mem_free(block);
    return {};
  }
  block[length] = '\0';
  if (length < text.size())
    block = static_cast<char*>(mem_realloc(block, static_cast<std::uint32_t>(length + 1)));
  return Text::adopt(block);
}

Text text_spaces(std::int32_t n) {
  if (n < 1) return {};
  auto* block = static_cast<char*>(mem_alloc(static_cast<std::uint32_t>(n) + 1));
  std::memset(block, ' ', static_cast<std::size_t>(n));
  return Text::adopt(block);
}
