// Feeds arbitrary header lines to the WinHTTP stand-in's answer head, as libcurl hands it what a
// server sends: the first byte says whether redirects are followed, the rest is cut into lines
// after each LF. What must hold: the head never grows past its limit, and a complete head is one
// block from a status line to its empty line, with CR LF line ends, that later lines leave alone.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/winhttp/response_head.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

bool has_bare_line_feed(std::string_view block) {
  for (std::size_t i = 0; i < block.size(); ++i) {
    if (block[i] == '\n' && (i == 0 || block[i - 1] != '\r')) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  ResponseHead head((data[0] & 1) != 0);
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string completed;
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find('\n'), rest.size() - 1) + 1;
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end);
    if (!head.take_line(line)) return 0;  // libcurl stops the transfer here
    require(head.block().size() <= ResponseHead::kSizeLimit);
    if (!head.complete()) continue;
    if (completed.empty()) completed = head.block();
    require(head.block() == completed);
  }
  if (head.complete()) {
    require(completed.starts_with("HTTP/") && completed.ends_with("\r\n\r\n"));
    require(completed.find("\r\n\r\n") == completed.size() - 4);
    require(!has_bare_line_feed(completed));
  }
  return 0;
}
