// The proxy list of a session, as WinHttpOpen takes it for WINHTTP_ACCESS_TYPE_NAMED_PROXY.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// True when `host` can stand in a URL as a host: a bracketed IPv6 address, or a name of letters,
// digits, "-", "." and "_" (bytes from 0x80 are left to the international-name conversion).
// Anything that would change the URL's meaning ("/", "@", ":", blanks, ...) is refused.
[[nodiscard]] bool is_url_host(std::string_view host);

// The proxy of each request scheme, each "http://server:port" for libcurl; empty: direct.
struct ProxyList {
  std::string for_http;
  std::string for_https;
};

// Parses `list` (UTF-8): entries "[scheme=][scheme://]server[:port]" separated by ";" or blanks.
// "http=" and "https=" entries serve their scheme, an entry without "scheme=" serves both unless
// a scheme's own entry says otherwise; entries for other schemes are ignored. A missing port is
// 80. Nothing for an entry whose server is not a URL host or whose port is not 1 to 65535.
//   parse_proxy_list("http=127.0.0.1:3128")->for_http == "http://127.0.0.1:3128"
[[nodiscard]] std::optional<ProxyList> parse_proxy_list(std::string_view list);
