#include "app/download/answer_head.h"

#include <gtest/gtest.h>

namespace {

TEST(AnswerHeadTest, ReadsTheStatusAndTheHeadersThatPlaceTheBody) {
  const AnswerHead head = read_answer_head(
      "HTTP/1.1 206 Partial Content\r\ncontent-LENGTH:  95 \r\nContent-Type: audio/mpeg\r\n"
      "Content-Range: bytes 5-99/100\r\nContent-Length: 7\r\n\r\nContent-Type: after/end\r\n");
  EXPECT_EQ(head.status, 206);
  EXPECT_EQ(head.content_length, 95u);
  EXPECT_EQ(head.content_type, "audio/mpeg");
  ASSERT_TRUE(head.content_range);
  EXPECT_EQ(head.content_range->first, 5u);
  EXPECT_EQ(head.content_range->total, 100u);
}

TEST(AnswerHeadTest, MalformedValuesReadAsAbsent) {
  struct Case {
    const char* block;
    int status;
    std::optional<std::uint64_t> length, first, total;
    bool has_range;
  };
  const Case cases[] = {
      {"HTTP/1.1 416 No\nContent-Range: bytes */42\n", 416, {}, {}, 42, true},
      {"HTTP/1.0 206 P\r\nContent-Range: bytes 0-9/*\r\n", 206, {}, 0, {}, true},
      {"HTTP/1.1 206 P\r\nContent-Range: items 0-9/10\r\n", 206, {}, {}, {}, false},
      {"HTTP/1.1 206 P\r\nContent-Range: bytes 0-9\r\n", 206, {}, {}, {}, false},
      {"HTTP/1.1 206 P\r\nContent-Range: bytes -9/10\r\n", 206, {}, {}, {}, false},
      {"HTTP/1.1 200 OK\r\nContent-Length: -1\r\n", 200, {}, {}, {}, false},
      {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n", 200, {}, {}, {}, false},
      {"HTTP/1.1 200 OK\r\nContent-Length: 1e3\r\n", 200, {}, {}, {}, false},
      {"HTTP/1.1 20 OK\r\n", 0, {}, {}, {}, false},
      {"ICY 200 OK\r\nContent-Length: 3\r\n", 0, 3, {}, {}, false},
      {"", 0, {}, {}, {}, false},
  };
  for (const Case& c : cases) {
    const AnswerHead head = read_answer_head(c.block);
    EXPECT_EQ(head.status, c.status) << c.block;
    EXPECT_EQ(head.content_length, c.length) << c.block;
    EXPECT_EQ(head.content_range.has_value(), c.has_range) << c.block;
    if (head.content_range) {
      EXPECT_EQ(head.content_range->first, c.first) << c.block;
      EXPECT_EQ(head.content_range->total, c.total) << c.block;
    }
  }
}

}  // namespace
