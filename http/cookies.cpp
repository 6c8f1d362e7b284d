#include "http/cookies.h"

#include <set>
#include <string>
#include <vector>

#include "http/text_between.h"
#include "runtime/text_blocks.h"
#include "runtime/text_commands.h"

namespace {

constexpr std::string_view kSetCookie = "Set-Cookie:";
constexpr std::string_view kDeleted = "=deleted";
constexpr std::string_view kListSeparator = "; ";

// Texts that compare as exact bytes; set membership costs O(log n) comparisons.
using TextSet = std::set<std::string_view>;

[[nodiscard]] bool is_deleted(std::string_view item) {
  return item.ends_with(kDeleted);
}

// The returned items, then each sent item whose name no earlier item of the two lists has.
std::vector<std::string_view> merged_items(const ValueArray& sent, const ValueArray& returned,
                                           std::vector<Text>& names) {
  const std::uint32_t sent_count = sent.count();
  const std::uint32_t returned_count = returned.count();
  names.reserve(sent_count + returned_count);
  TextSet named;
  std::vector<std::string_view> items;
  items.reserve(sent_count + returned_count);
  for (std::int32_t i = 1; i <= static_cast<std::int32_t>(returned_count); ++i) {
    items.push_back(returned.text_at(i));
    named.insert(names.emplace_back(cookie_name(items.back())).view());
  }
  for (std::int32_t i = 1; i <= static_cast<std::int32_t>(sent_count); ++i) {
    const std::string_view item = sent.text_at(i);
    if (named.insert(names.emplace_back(cookie_name(item)).view()).second) items.push_back(item);
  }
  return items;
}

// `text` without its last `count` bytes; empty when it has no more than that.
Text without_tail(std::string_view text, std::size_t count) {
  return text.size() <= count ? Text() : text_from_buffer(text.substr(0, text.size() - count));
}

}  // namespace

Text cookie_from_header_line(std::string_view line) {
  const Text item = text_find(line, ";") != -1 ? text_between(line, kSetCookie, ";")
                                               : text_replace(line, kSetCookie);
  return text_trim(item.view());
}

Text merge_cookies(Text& cookies, Text& new_cookies) {
  cookies = text_remove_spaces(cookies.view());
  new_cookies = text_remove_spaces(new_cookies.view());
  const ValueArray sent = text_split(cookies.view(), ";");
  const ValueArray returned = text_split(new_cookies.view(), ";");
  std::vector<Text> names;  // the storage behind the name set's views
  std::string joined;
  for (const std::string_view item : merged_items(sent, returned, names)) {
    if (is_deleted(item)) continue;
    joined.append(item).append(kListSeparator);
  }
  const Text list = without_tail(joined, kListSeparator.size());
  cookies = remove_duplicate_items(list.view(), kListSeparator);
  return text_copy(cookies.get());
}

Text cookie_name(std::string_view item) {
  const std::int32_t equals = text_find(item, "=");
  if (equals == -1) return text_trim(item);
  const Text name = text_left(item, equals - 1);
  return text_trim(name.view());
}

bool cookie_list_has_name(const ValueArray& list, std::string_view name) {
  for (std::int32_t i = 1; i <= static_cast<std::int32_t>(list.count()); ++i) {
    const Text element_name = cookie_name(list.text_at(i));
    if (element_name.view() == name) return true;
  }
  return false;
}

Text remove_duplicate_items(std::string_view text, std::string_view separator) {
  const ValueArray items = text_split(text, separator);
  TextSet seen;
  std::string kept;
  for (std::int32_t i = 1; i <= static_cast<std::int32_t>(items.count()); ++i) {
    const std::string_view item = items.text_at(i);
    if (seen.insert(item).second) kept.append(item).append(separator);
  }
  return without_tail(kept, separator.size());
}

std::int32_t find_item(const ValueArray& list, std::string_view text) {
  for (std::int32_t i = 1; i <= static_cast<std::int32_t>(list.count()); ++i) {
    if (list.text_at(i) == text) return i;
  }
  return -1;
}
