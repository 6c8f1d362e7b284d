#include "platform/winhttp/proxy_list.h"

#include <algorithm>
#include <cctype>

#include "platform/base/ascii.h"

namespace {

bool is_ipv6_literal(std::string_view host) {
  if (host.size() < 3 || host.front() != '[' || host.back() != ']') return false;
  return std::all_of(host.begin() + 1, host.end() - 1, [](char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
  });
}

bool is_port(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value >= 1 && value <= 65535;
}

// "server[:port]" as libcurl's proxy URL; empty when the entry is unusable.
std::string proxy_url(std::string_view server_and_port) {
  std::string_view host = server_and_port;
  std::string_view port = "80";
  const std::size_t colon = server_and_port.rfind(':');
  if (colon != std::string_view::npos &&
      server_and_port.find(']', colon) == std::string_view::npos) {
    host = server_and_port.substr(0, colon);
    port = server_and_port.substr(colon + 1);
  }
  if (!is_url_host(host) || !is_port(port)) return {};
  std::string url = "http://";
  url.append(host).append(":").append(port);
  return url;
}

}  // namespace

bool is_url_host(std::string_view host) {
  if (host.empty()) return false;
  if (host.front() == '[') return is_ipv6_literal(host);
  return std::all_of(host.begin(), host.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || std::isalnum(byte) || c == '-' || c == '.' || c == '_';
  });
}

std::optional<ProxyList> parse_proxy_list(std::string_view list) {
  std::string for_both, for_http, for_https;
  std::size_t position = 0;
  while (position < list.size()) {
    const std::size_t end = std::min(list.find_first_of("; \t\r\n", position), list.size());
    std::string_view entry = list.substr(position, end - position);
    position = end + 1;
    if (entry.empty()) continue;

    std::string* target = &for_both;
    const std::size_t equals = entry.find('=');
    if (equals != std::string_view::npos) {
      const std::string_view scheme = entry.substr(0, equals);
      target = ascii_equal_ignoring_case(scheme, "http")    ? &for_http
               : ascii_equal_ignoring_case(scheme, "https") ? &for_https
                                                            : nullptr;
      entry.remove_prefix(equals + 1);
    }
    if (const std::size_t slashes = entry.find("://"); slashes != std::string_view::npos)
      entry.remove_prefix(slashes + 3);
    std::string url = proxy_url(entry);
    if (url.empty()) return std::nullopt;
    if (target != nullptr) *target = std::move(url);
  }
  ProxyList proxies;
  proxies.for_http = for_http.empty() ? for_both : for_http;
  proxies.for_https = for_https.empty() ? for_both : for_https;
  return proxies;
}
