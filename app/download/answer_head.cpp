#include "app/download/answer_head.h"

#include "platform/base/ascii.h"

namespace {

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") + 1 - first);
}

std::optional<std::uint64_t> decimal(std::string_view digits) {
  if (digits.empty() || digits.size() > 19) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

// "HTTP/1.1 200 OK" -> 200.
int status_code(std::string_view status_line) {
  if (status_line.substr(0, 5) != "HTTP/") return 0;
  const std::size_t space = status_line.find(' ');
  if (space == std::string_view::npos) return 0;
  const auto code = decimal(status_line.substr(space + 1, 3));
  return code && *code >= 100 && *code <= 999 ? static_cast<int>(*code) : 0;
}

// "bytes A-B/TOTAL", "bytes */TOTAL", "bytes A-B/*".
std::optional<ContentRange> content_range(std::string_view value) {
  if (!ascii_equal_ignoring_case(value.substr(0, 6), "bytes ")) return std::nullopt;
  value = trimmed(value.substr(6));
  const std::size_t slash = value.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view span = trimmed(value.substr(0, slash));
  const std::string_view total = trimmed(value.substr(slash + 1));
  ContentRange range;
  if (total != "*") {
    range.total = decimal(total);
    if (!range.total) return std::nullopt;
  }
  if (span != "*") {
    const std::size_t dash = span.find('-');
    range.first = decimal(span.substr(0, dash));
    if (!range.first || dash == std::string_view::npos || !decimal(span.substr(dash + 1))) {
      return std::nullopt;
    }
  }
  return range;
}

void read_header_line(std::string_view line, AnswerHead& head, bool& length_seen, bool& type_seen) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  const std::string_view name = trimmed(line.substr(0, colon));
  const std::string_view value = trimmed(line.substr(colon + 1));
  if (ascii_equal_ignoring_case(name, "content-length") && !length_seen) {
    length_seen = true;
    head.content_length = decimal(value);
  } else if (ascii_equal_ignoring_case(name, "content-type") && !type_seen) {
    type_seen = true;
    head.content_type = value;
  } else if (ascii_equal_ignoring_case(name, "content-range") && !head.content_range) {
    head.content_range = content_range(value);
  }
}

}  // namespace

AnswerHead read_answer_head(std::string_view block) {
  AnswerHead head;
  bool length_seen = false, type_seen = false;
  bool first_line = true;
  while (!block.empty()) {
    const std::size_t end = block.find('\n');
    const std::string_view line = trimmed(block.substr(0, end));
    block.remove_prefix(end == std::string_view::npos ? block.size() : end + 1);
    if (first_line) {
      head.status = status_code(line);
      first_line = false;
    } else if (line.empty()) {
      break;
    } else {
      read_header_line(line, head, length_seen, type_seen);
    }
  }
  return head;
}
