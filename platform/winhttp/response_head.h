// The head of the answer, gathered line by line as it arrives.
//
// Every answer on the way is seen: interim (1xx) answers, redirects that will be followed, then
// the final answer. Each status line starts a new block, so only the final answer's block stays:
// its status line and header lines, each ending in CR LF (whatever line end the server used),
// then the empty line. Lines after the final block (a chunked body's trailers) are ignored.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class ResponseHead {
 public:
  // The platform's default limit on a head; the interim heads before an answer count towards
  // its limit too, so an endless run of them stops like an endless head.
  static constexpr std::size_t kSizeLimit = 64 * 1024;

  // `redirects_followed`: whether a 3xx answer with a Location line leads to another answer.
  explicit ResponseHead(bool redirects_followed) : redirects_followed_(redirects_followed) {}

  // Takes one line as received, with or without its line end. False when the head grows past
  // the limit; the line is then not taken.
  [[nodiscard]] bool take_line(std::string_view line);

  // Whether any line arrived yet.
  [[nodiscard]] bool started() const { return started_; }
  // Whether the final answer's block is complete.
  [[nodiscard]] bool complete() const { return complete_; }
  // Whether a redirect answer was seen.
  [[nodiscard]] bool redirected() const { return redirected_; }
  // The block being gathered; once complete(), the final answer's head.
  [[nodiscard]] std::string_view block() const { return block_; }

 private:
  void end_block();

  bool redirects_followed_;
  bool started_ = false;
  bool complete_ = false;
  bool redirected_ = false;
  bool has_location_ = false;
  int status_ = 0;
  std::size_t interim_size_ = 0;
  std::string block_;
};
