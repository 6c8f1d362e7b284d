#include "http/header_block.h"

#include <vector>

#include "http/cookies.h"
#include "runtime/message_pump.h"
#include "runtime/text_blocks.h"
#include "runtime/text_commands.h"

namespace {

constexpr std::int32_t kStatusTextStart = 10;  // after "HTTP/1.1 "
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kSetCookie = "Set-Cookie";
constexpr std::string_view kLocation = "Location: ";
constexpr std::string_view kCookieSeparator = "; ";

bool starts_with_location(std::string_view line) {
  const Text head = text_left(line, static_cast<std::int32_t>(kLocation.size()));
  return text_compare(head.view(), kLocation, LetterCase::folded) == 0;
}

// The rest of a Location line after its name.
Text location_value(std::string_view line) {
  const auto start = static_cast<std::int32_t>(kLocation.size()) + 1;
  return text_mid(line, start, text_len(line));
}

// `cookies` and every item joined by "; ", in one allocation however many items there are.
// Without items, `cookies` stays as it was.
void append_cookie_items(Text& cookies, const std::vector<Text>& items) {
  if (items.empty()) return;
  std::vector<std::string_view> pieces;
  pieces.reserve(2 * items.size() + 1);
  if (!cookies.empty()) pieces.push_back(cookies.view());
  for (const Text& item : items) {
    if (!pieces.empty()) pieces.push_back(kCookieSeparator);
    pieces.push_back(item.view());
  }
  Text joined = text_concat(pieces);
  cookies = joined.empty() ? Text() : std::move(joined);
}

}  // namespace

Text header_value(std::string_view header_block, std::string_view name) {
  const ValueArray lines = text_split(header_block, kLineEnd);
  const auto count = static_cast<std::int32_t>(lines.count());
  const auto name_length = static_cast<std::int32_t>(name.size());
  for (std::int32_t index = 2; index <= count; ++index) {
    const std::string_view line = lines.text_at(index);
    const Text head = text_left(line, name_length + 1);
    if (head.view().size() != name.size() + 1 || head.view().back() != ':' ||
        text_compare(head.view().substr(0, name.size()), name, LetterCase::folded) != 0) {
      continue;
    }
    std::size_t value = name.size() + 1;
    while (value < line.size() && (line[value] == ' ' || line[value] == '\t'))
      ++value;
    return text_from_buffer(line.substr(value));
  }
  return {};
}

Text status_text_of(std::string_view header_block) {
  const std::int32_t line_end = text_find(header_block, kLineEnd, kStatusTextStart);
  if (line_end < 1) return {};
  return text_mid(header_block, kStatusTextStart, line_end - kStatusTextStart);
}

void read_header_lines(Text& header_block, Text& returned_cookies, Text& redirect_location) {
  header_block = text_replace(header_block.view(), kSetCookie, kSetCookie);
  const ValueArray lines = text_split(header_block.view(), kLineEnd);
  std::vector<Text> cookie_items;
  const auto count = static_cast<std::int32_t>(lines.count());
  for (std::int32_t index = 1; index <= count; ++index) {
    const std::string_view line = lines.text_at(index);
    if (text_find(line, kSetCookie) > 0) cookie_items.push_back(cookie_from_header_line(line));
    if (starts_with_location(line)) redirect_location = location_value(line);
    dispatch_pending_messages();
  }
  append_cookie_items(returned_cookies, cookie_items);
}
