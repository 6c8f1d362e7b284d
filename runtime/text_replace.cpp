// text_replace: replacing the occurrences of a text, assembled in one pass in a GrowBuffer.
#include <limits>
#include <vector>

#include "runtime/grow_buffer.h"
#include "runtime/result_size.h"
#include "runtime/text_blocks.h"
#include "runtime/text_commands.h"
#include "runtime/text_scan.h"

namespace {

// Calls `found(at)` for each match from `from` on, at most `limit` times.
template <class Found>
void for_each_match(const text_scan::Matcher& matcher, std::size_t from, std::size_t sought_size,
                    std::uint32_t limit, Found found) {
  std::uint32_t replaced = 0;
  for (std::size_t at = matcher.next(from); at != text_scan::npos && replaced < limit;
       at = matcher.next(at + sought_size)) {
    found(at);
    ++replaced;
  }
}

// Builds the result in a buffer grown once to its length, so no append reallocates.
class Assembly {
 public:
  Assembly(std::string_view text, std::size_t sought_size, std::string_view replacement,
           std::uint64_t length)
      : text_(text), sought_size_(sought_size), replacement_(replacement) {
    if (!buffer_.grow_to(checked_result_length(length) + 1)) report_out_of_memory();
  }

  void replace_at(std::size_t at) {
    buffer_.append(text_.substr(rest_, at - rest_));
    buffer_.append(replacement_);
    rest_ = at + sought_size_;
  }

  // The result with its terminator as a new Text, non-null even when nothing is left.
  Text finish() {
    buffer_.append(text_.substr(rest_));
    buffer_.append(std::string_view("", 1));
    return Text::adopt(static_cast<char*>(buffer_.take_block()));
  }

 private:
  GrowBuffer buffer_;
  std::string_view text_;
  std::size_t sought_size_;
  std::string_view replacement_;
  std::size_t rest_ = 0;  // where the bytes not yet appended start
};

}  // namespace

Text text_replace(std::string_view text, std::string_view sought, std::string_view replacement,
                  std::optional<std::int32_t> start, std::optional<std::int32_t> count,
                  LetterCase letter_case) {
  if (text.empty()) return {};
  if (sought.empty() || sought.size() > text.size()) return text_from_buffer(text);
  const std::int32_t first = start.value_or(1);
  const std::int32_t limit = count.value_or(std::numeric_limits<std::int32_t>::max());
  if (first < 1 || limit < 1 || static_cast<std::size_t>(first) - 1 > text.size() - sought.size()) {
    return text_from_buffer(text);
  }
  const std::size_t from = static_cast<std::size_t>(first) - 1;
  const auto most = static_cast<std::uint32_t>(limit);
  const text_scan::Matcher matcher(text, sought, letter_case);

  // The matches are found first, so that the result is built in a buffer of its exact length.
  std::vector<std::uint32_t> matches;
  for_each_match(matcher, from, sought.size(), most,
                 [&](std::size_t at) { matches.push_back(static_cast<std::uint32_t>(at)); });
  if (matches.empty()) return text_from_buffer(text);
  const std::uint64_t length = text.size() - matches.size() * sought.size() +
                               std::uint64_t{matches.size()} * replacement.size();
  Assembly assembly(text, sought.size(), replacement, length);
  for (std::uint32_t at : matches)
    assembly.replace_at(at);
  return assembly.finish();
}
