// What a download reads from the head of an answer: the status code and the four headers that
// decide where its body goes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct ContentRange {
  std::optional<std::uint64_t> first;  // absent in "bytes */TOTAL"
  std::optional<std::uint64_t> total;  // absent in "bytes A-B/*"
};

struct AnswerHead {
  int status = 0;  // 0 when the status line is not "HTTP/x.y NNN ..."
  std::optional<std::uint64_t> content_length;
  std::string content_type;
  std::optional<ContentRange> content_range;  // absent, or not in the "bytes" unit
};

// Reads a raw header block (status line, header lines, each ending in CR LF or LF). A header's
// name is matched in any letter case; of repeated headers the first counts. A length that is not
// all digits, or would overflow, is taken as absent.
//   read_answer_head("HTTP/1.1 206 Partial\r\nContent-Range: bytes 5-9/10\r\n\r\n")
//     -> {206, -, "", {{5, 10}}}
[[nodiscard]] AnswerHead read_answer_head(std::string_view block);
