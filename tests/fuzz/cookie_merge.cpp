// Feeds Set-Cookie lines and a sent cookie list from the network to the cookie merge: the input
// splits at its first NUL into the sent list and the answer's header lines (split at "\n"), whose
// items are joined by "; " as the web request routine joins them. The merge must give exactly
// what its steps give when carried out one by one with linear look-ups, and leave the same list
// in the sent cookies.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/cookies.h"
#include "runtime/array_commands.h"
#include "runtime/text_blocks.h"
#include "runtime/text_commands.h"

namespace {

std::string without_tail(std::string text, std::size_t count) {
  return text.size() <= count ? std::string() : text.substr(0, text.size() - count);
}

// The merge's written steps, each list a ValueArray, each look-up a scan from the first element.
std::string merged_step_by_step(std::string_view cookies, std::string_view new_cookies) {
  const Text sent_text = text_remove_spaces(cookies);
  const Text returned_text = text_remove_spaces(new_cookies);
  const ValueArray sent = text_split(sent_text.view(), ";");
  ValueArray items = text_split(returned_text.view(), ";");
  for (std::int32_t i = 1; i <= static_cast<std::int32_t>(sent.count()); ++i) {
    const Text name = cookie_name(sent.text_at(i));
    if (!cookie_list_has_name(items, name.view())) array_append(items, sent.text_at(i));
  }
  std::string joined;
  for (std::int32_t i = 1; i <= static_cast<std::int32_t>(items.count()); ++i) {
    const Text last_eight = text_right(items.text_at(i), 8);
    if (last_eight.view() != "=deleted") joined.append(items.text_at(i)).append("; ");
  }
  const ValueArray pieces = text_split(without_tail(joined, 2), "; ");
  ValueArray seen(TypeCode::text);
  std::string kept;
  for (std::int32_t i = 1; i <= static_cast<std::int32_t>(pieces.count()); ++i) {
    if (find_item(seen, pieces.text_at(i)) != -1) continue;
    array_append(seen, pieces.text_at(i));
    kept.append(pieces.text_at(i)).append("; ");
  }
  return without_tail(kept, 2);
}

// The cookie items of the header lines, joined by "; ".
std::string returned_cookies(std::string_view header_block) {
  std::string joined;
  while (!header_block.empty()) {
    const std::size_t end = header_block.find('\n');
    const std::string_view line = header_block.substr(0, end);
    const Text item = cookie_from_header_line(line);
    joined.append(item.view()).append("; ");
    header_block = end == std::string_view::npos ? "" : header_block.substr(end + 1);
  }
  return without_tail(joined, 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\0');
  const std::string_view sent = input.substr(0, cut);
  std::string_view rest = cut == std::string_view::npos ? "" : input.substr(cut + 1);
  rest = rest.substr(0, rest.find('\0'));  // texts end at their first NUL

  Text cookies = text_from_buffer(sent);
  Text new_cookies = text_from_buffer(returned_cookies(rest));
  const std::string expected = merged_step_by_step(cookies.view(), new_cookies.view());
  const Text merged = merge_cookies(cookies, new_cookies);
  if (merged.view() != expected || cookies.view() != expected) std::abort();
  return 0;
}
