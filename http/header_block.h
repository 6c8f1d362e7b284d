// The answer's raw header block as the web request routine reads it: the status text from its
// first line, and the cookies and the redirect address from its header lines.
//
//   Text status = status_text_of(header_block.view());           // "200 OK"
//   read_header_lines(header_block, returned_cookies, redirect_location);
#pragma once

#include <string_view>

#include "runtime/runtime.h"

// The status text of a header block: its characters from the 10th up to, not including, the
// first CR LF at or after the 10th; the empty text when there is no such CR LF.
//   "HTTP/1.1 200 OK\r\n..." -> "200 OK"
[[nodiscard]] Text status_text_of(std::string_view header_block);

// The value of the first header line named `name` (any letter case) in `header_block`, its
// leading blanks dropped; the status line is never taken for one. Null when no line has that name.
//   header_value("HTTP/1.1 200 OK\r\ncontent-type:  text/html\r\n", "Content-Type") -> "text/html"
[[nodiscard]] Text header_value(std::string_view header_block, std::string_view name);

// Reads the header lines of `header_block` (GBK, lines separated by CR LF):
//   - every "Set-Cookie" in any letter case is first spelt "Set-Cookie" in `header_block` itself;
//   - each line holding "Set-Cookie" adds its cookie item to `returned_cookies`, after what the
//     variable held, joined by "; "; without such lines the variable stays as it was;
//   - each line starting "Location: " in any letter case sets `redirect_location` to the rest of
//     the line, a later one overwriting an earlier one; without one it stays as it was;
//   - after each line, one pass of the message pump.
void read_header_lines(Text& header_block, Text& returned_cookies, Text& redirect_location);
