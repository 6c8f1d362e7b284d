#include "platform/winhttp/response_head.h"

#include <algorithm>

#include "platform/base/ascii.h"

namespace {

// The three-digit code of a status line "HTTP/1.1 200 OK"; 0 when there is none.
int status_code(std::string_view status_line) {
  const std::size_t blank = status_line.find(' ');
  if (blank == std::string_view::npos || status_line.size() < blank + 4) return 0;
  int code = 0;
  for (const char digit : status_line.substr(blank + 1, 3)) {
    if (digit < '0' || digit > '9') return 0;
    code = code * 10 + (digit - '0');
  }
  return code;
}

// A "Location:" line with a value, as libcurl follows it.
bool is_location_line(std::string_view line) {
  if (!ascii_starts_with_ignoring_case(line, "location:")) return false;
  line.remove_prefix(9);
  return line.find_first_not_of(" \t") != std::string_view::npos;
}

}  // namespace

bool ResponseHead::take_line(std::string_view line) {
  if (complete_) return true;
  started_ = true;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
    line.remove_suffix(1);
  const bool status_line = line.starts_with("HTTP/");
  const std::size_t kept = status_line ? 0 : block_.size();
  if (interim_size_ + kept + line.size() + 2 > kSizeLimit) return false;
  if (status_line) {
    block_.clear();
    status_ = status_code(line);
    has_location_ = false;
  }
  block_.append(line).append("\r\n");
  if (line.empty())
    end_block();
  else if (is_location_line(line))
    has_location_ = true;
  return true;
}

void ResponseHead::end_block() {
  if (status_ < 200) {
    interim_size_ += block_.size();
  } else if (redirects_followed_ && status_ >= 300 && status_ < 400 && has_location_) {
    redirected_ = true;
    interim_size_ = 0;
  } else {
    complete_ = true;
  }
}
