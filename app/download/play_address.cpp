#include "app/download/play_address.h"

#include "platform/base/ascii.h"

namespace {

// The part between "//" and the path, query or fragment.
std::string_view authority_of(std::string_view rest) {
  return rest.substr(0, rest.find_first_of("/?#"));
}

}  // namespace

std::string address_refusal(std::string_view url) {
  if (url.empty()) return "is empty";
  std::string_view rest;
  if (ascii_starts_with_ignoring_case(url, "http://")) {
    rest = url.substr(7);
  } else if (ascii_starts_with_ignoring_case(url, "https://")) {
    rest = url.substr(8);
  } else {
    return "is not an http:// or https:// address";
  }
  const std::string_view authority = authority_of(rest);
  if (authority.find('@') != std::string_view::npos) return "carries credentials";
  if (authority.empty() || authority.front() == ':') return "names no host";
  for (const char c : url) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) {
      return "holds a blank or a control character";
    }
  }
  return {};
}
