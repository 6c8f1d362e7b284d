// Feeds answer header blocks to the header-block stages of the web request routine:
// status_text_of, then read_header_lines. The first byte says how the rest arrives: as a block
// the platform delivers (the server's bytes decoded from code page 936 and turned back into GBK,
// so well-formed GBK), or as raw bytes.
//
// What must hold, beyond no crash or leak: the status text runs from the block's 10th byte to the
// first CR LF and holds none; the spelling step changes letter case only and leaves no
// "Set-Cookie" spelt otherwise; the pump runs once per line; the cookies are the items of the
// lines holding "Set-Cookie", joined by "; "; the redirect address is the tail of the last line
// that starts "Location: " in any letter case, and stays as it was without one. CR LF and the
// texts sought count where a character starts, as the text commands scan.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "http/cookies.h"
#include "http/encodings.h"
#include "http/header_block.h"
#include "runtime/message_pump.h"
#include "runtime/text_blocks.h"

namespace {

constexpr std::string_view kUnchanged = "unchanged";

void require(bool condition) {
  if (!condition) std::abort();
}

char lower(char byte) {
  return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Where the characters of `text` start, stepping from `from` as every text command steps: a byte
// of 0x80 or more leads a two-byte character when the byte after it is 0x40 or more, and stands
// alone before a smaller one (a CR among them), which no double-byte character ends in. Code page
// 936 delivers 0x80 and 0xFF as characters of their own, so a line may end in one.
std::vector<std::size_t> character_starts(std::string_view text, std::size_t from = 0) {
  std::vector<std::size_t> starts;
  for (std::size_t at = from; at < text.size();) {
    starts.push_back(at);
    const bool pair = static_cast<unsigned char>(text[at]) >= 0x80 && at + 1 < text.size() &&
                      static_cast<unsigned char>(text[at + 1]) >= 0x40;
    at += pair ? 2 : 1;
  }
  return starts;
}

// Where each CR LF that a scan from `from` finds starts, one after another.
std::vector<std::size_t> line_ends(std::string_view text, std::size_t from = 0) {
  std::vector<std::size_t> ends;
  for (const std::size_t at : character_starts(text, from)) {
    if (text.substr(at, 2) == "\r\n" && (ends.empty() || at >= ends.back() + 2)) {
      ends.push_back(at);
    }
  }
  return ends;
}

bool holds(std::string_view text, std::string_view sought) {
  for (const std::size_t at : character_starts(text)) {
    if (text.substr(at, sought.size()) == sought) return true;
  }
  return false;
}

// The lines of a block cut at each CR LF, an empty last piece dropped.
std::vector<std::string_view> lines_of(std::string_view block) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (const std::size_t end : line_ends(block)) {
    lines.push_back(block.substr(start, end - start));
    start = end + 2;
  }
  if (start < block.size()) lines.push_back(block.substr(start));
  return lines;
}

// The status text runs from the 10th byte to the first CR LF a scan from there finds, and holds
// none itself.
void require_status_text(std::string_view block, std::string_view status) {
  const std::vector<std::size_t> ends = line_ends(block, 9);
  require(status == (ends.empty() ? "" : block.substr(9, ends.front() - 9)));
  require(line_ends(status).empty());
}

// The spelling step changes letter case only and leaves no other spelling of "Set-Cookie".
void require_cookie_names_respelt(std::string_view before, std::string_view after) {
  require(after.size() == before.size());
  require(equal_ignoring_case(after, before));
  for (const std::size_t at : character_starts(after)) {
    const std::string_view here = after.substr(at, 10);
    require(!equal_ignoring_case(here, "set-cookie") || here == "Set-Cookie");
  }
}

// One pump pass per line; the cookie items of the lines holding "Set-Cookie" joined by "; ";
// the tail of the last "Location: " line, or the location as it was.
void require_lines_read(std::string_view block, std::uint64_t passes, std::string_view cookies,
                        std::string_view location) {
  const std::vector<std::string_view> lines = lines_of(block);
  require(passes == lines.size());
  std::string joined;
  std::string_view last_location = kUnchanged;
  for (const std::string_view line : lines) {
    if (holds(line, "Set-Cookie")) {
      const Text item = cookie_from_header_line(line);
      joined.append(item.view()).append("; ");
    }
    if (equal_ignoring_case(line.substr(0, 10), "Location: ")) last_location = line.substr(10);
  }
  if (joined.size() >= 2) joined.resize(joined.size() - 2);
  require(cookies == joined);
  require(location == last_location);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool delivered = (data[0] & 1) == 0;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  rest = rest.substr(0, rest.find('\0'));  // texts end at their first NUL
  Text block = text_from_buffer(rest);
  if (delivered) {
    const ByteSet units = ansi_to_utf16(block.c_str());
    block = utf16_to_ansi(units.bytes());
  }
  const std::string before(block.view());

  const Text status = status_text_of(block.view());
  require_status_text(before, status.view());

  Text cookies;
  Text location = text_from_buffer(kUnchanged);
  const std::uint64_t passes_before = message_pump_passes();
  read_header_lines(block, cookies, location);
  const std::uint64_t passes = message_pump_passes() - passes_before;
  require_cookie_names_respelt(before, block.view());
  require_lines_read(block.view(), passes, cookies.view(), location.view());
  return 0;
}
