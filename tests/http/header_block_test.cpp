// The header block as the web request routine reads it, where its bytes are not plain ASCII.
#include "http/header_block.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/text_blocks.h"

namespace {

// Code page 936 delivers 0x80 and 0xFF as characters of their own, so a header value may end in
// one; the CR after it still ends the line.
TEST(HeaderBlockTest, ALineEndingInASingleByteCharacterStillEndsAtItsCrLf) {
  for (const char last : {'\x80', '\xFF', '\xB0'}) {
    const std::string status_line = std::string("HTTP/1.1 200 OK") + last;
    const std::string block = status_line + "\r\nX-Name: a" + last +
                              "\r\nLocation: /next\r\nSet-Cookie: k=v" + last + "\r\n\r\n";
    const Text status = status_text_of(block);
    EXPECT_EQ(status.view(), std::string("200 OK") + last);

    Text header_block = text_from_buffer(block);
    Text cookies;
    Text location;
    read_header_lines(header_block, cookies, location);
    EXPECT_EQ(location.view(), "/next");
    EXPECT_EQ(cookies.view(), std::string("k=v") + last);
  }
}

}  // namespace
