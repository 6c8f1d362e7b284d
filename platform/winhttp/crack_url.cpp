// WinHttpCrackUrl: splitting an address into the parts the platform reports.
#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "platform/base/ascii.h"
#include "platform/winhttp/winhttp.h"
#include "platform/winhttp/wire_text.h"

namespace {

// A part of the address: where it starts and how many characters it has; absent parts (no user
// name, no password) have no position at all.
struct Part {
  std::size_t begin = 0;
  std::size_t length = 0;
  bool present = true;
};

struct CrackedUrl {
  INTERNET_SCHEME scheme = 0;
  INTERNET_PORT port = 0;
  Part scheme_name, user_name{0, 0, false}, password{0, 0, false}, host, path, extra;
};

// The port text after the host's ":", as a number; false for anything but 0 to 65535 in digits.
// An empty port text means the scheme's port.
bool parse_port(std::u16string_view text, INTERNET_SCHEME scheme, INTERNET_PORT* port) {
  if (text.empty()) {
    *port =
        scheme == INTERNET_SCHEME_HTTPS ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    return true;
  }
  std::uint32_t value = 0;
  for (const char16_t unit : text) {
    if (unit < u'0' || unit > u'9') return false;
    value = value * 10 + (unit - u'0');
    if (value > 65535) return false;
  }
  *port = static_cast<INTERNET_PORT>(value);
  return true;
}

// Splits "user:password@host:port" starting at `begin` in `url`.
DWORD crack_authority(std::u16string_view url, std::size_t begin, std::size_t end,
                      CrackedUrl* cracked) {
  const std::u16string_view authority = url.substr(begin, end - begin);
  std::size_t host_begin = begin;
  if (const std::size_t at = authority.rfind(u'@'); at != std::u16string_view::npos) {
    const std::u16string_view user_info = authority.substr(0, at);
    const std::size_t colon = user_info.find(u':');
    cracked->user_name = {begin, std::min(colon, user_info.size())};
    if (colon != std::u16string_view::npos)
      cracked->password = {begin + colon + 1, user_info.size() - colon - 1};
    host_begin = begin + at + 1;
  }
  const std::u16string_view host_and_port = url.substr(host_begin, end - host_begin);
  std::size_t host_length = host_and_port.find(u':');
  if (!host_and_port.empty() && host_and_port.front() == u'[') {  // an IPv6 address
    const std::size_t bracket = host_and_port.find(u']');
    if (bracket == std::u16string_view::npos) return ERROR_WINHTTP_INVALID_URL;
    host_length = bracket + 1;
    if (host_length < host_and_port.size() && host_and_port[host_length] != u':')
      return ERROR_WINHTTP_INVALID_URL;
  }
  host_length = std::min(host_length, host_and_port.size());
  if (host_length == 0) return ERROR_WINHTTP_INVALID_URL;
  cracked->host = {host_begin, host_length};
  const std::u16string_view port_text =
      host_and_port.substr(std::min(host_length + 1, host_and_port.size()));
  if (!parse_port(port_text, cracked->scheme, &cracked->port)) return ERROR_WINHTTP_INVALID_URL;
  return ERROR_SUCCESS;
}

// Splits `url` into its parts; ERROR_SUCCESS or the platform's error.
DWORD crack(std::u16string_view url, CrackedUrl* cracked) {
  const std::size_t colon = url.find(u':');
  if (colon == std::u16string_view::npos) return ERROR_WINHTTP_UNRECOGNIZED_SCHEME;
  const std::u16string_view scheme = url.substr(0, colon);
  if (ascii_equal_ignoring_case(scheme, "http"))
    cracked->scheme = INTERNET_SCHEME_HTTP;
  else if (ascii_equal_ignoring_case(scheme, "https"))
    cracked->scheme = INTERNET_SCHEME_HTTPS;
  else
    return ERROR_WINHTTP_UNRECOGNIZED_SCHEME;
  cracked->scheme_name = {0, colon};
  if (url.substr(colon + 1, 2) != u"//") return ERROR_WINHTTP_INVALID_URL;

  const std::size_t authority_begin = colon + 3;
  const std::size_t authority_end = std::min(url.find_first_of(u"/?", authority_begin), url.size());
  if (const DWORD error = crack_authority(url, authority_begin, authority_end, cracked))
    return error;

  if (authority_end < url.size() && url[authority_end] == u'/') {
    const std::size_t path_end = std::min(url.find(u'?', authority_end), url.size());
    cracked->path = {authority_end, path_end - authority_end};
    cracked->extra = {path_end, url.size() - path_end};
  } else {  // no path: nothing of a "?..." after the host is reported
    cracked->path = {url.size(), 0};
    cracked->extra = {url.size(), 0};
  }
  return ERROR_SUCCESS;
}

// One part as the record asks for it: its pointer and its length field.
struct Request {
  LPWSTR* pointer;
  DWORD* length;
  Part part;
};

bool asks_for_a_copy(const Request& request) {
  return *request.pointer != nullptr;
}

bool copy_fits(const Request& request) {
  return request.part.length < *request.length;
}

// Fills one asked-for part: a pointer into `url` or a NUL-terminated copy.
void report(const Request& request, const char16_t* url) {
  const Part& part = request.part;
  if (asks_for_a_copy(request)) {
    if (part.present) std::memcpy(*request.pointer, url + part.begin, part.length * 2);
    (*request.pointer)[part.present ? part.length : 0] = u'\0';
    *request.length = static_cast<DWORD>(part.present ? part.length : 0);
  } else if (*request.length != 0) {
    *request.pointer = part.present ? const_cast<LPWSTR>(url + part.begin) : nullptr;
    *request.length = static_cast<DWORD>(part.present ? part.length : 0);
  }
}

}  // namespace

BOOL WinHttpCrackUrl(LPCWSTR url, DWORD length, DWORD flags, URL_COMPONENTS* components) {
  if (url == nullptr || components == nullptr ||
      (components->dwStructSize != sizeof(URL_COMPONENTS) &&
       components->dwStructSize != kUrlComponentsRecordSize)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (flags != 0) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
  }
  const std::u16string_view text = wide_argument(url, length == 0 ? kUpToTerminator : length);
  CrackedUrl cracked;
  if (const DWORD error = crack(text, &cracked)) {
    SetLastError(error);
    return false;
  }

  URL_COMPONENTS& record = *components;
  const std::array<Request, 6> requests{{
      {&record.lpszScheme, &record.dwSchemeLength, cracked.scheme_name},
      {&record.lpszHostName, &record.dwHostNameLength, cracked.host},
      {&record.lpszUserName, &record.dwUserNameLength, cracked.user_name},
      {&record.lpszPassword, &record.dwPasswordLength, cracked.password},
      {&record.lpszUrlPath, &record.dwUrlPathLength, cracked.path},
      {&record.lpszExtraInfo, &record.dwExtraInfoLength, cracked.extra},
  }};
  for (const Request& request : requests) {
    if (asks_for_a_copy(request) && *request.length == 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
  }
  const bool all_fit = std::all_of(requests.begin(), requests.end(), [](const Request& request) {
    return !asks_for_a_copy(request) || copy_fits(request);
  });
  if (!all_fit) {
    for (const Request& request : requests) {
      if (asks_for_a_copy(request))
        *request.length = static_cast<DWORD>(request.part.length + (copy_fits(request) ? 0 : 1));
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  for (const Request& request : requests)
    report(request, url);
  record.nScheme = cracked.scheme;
  record.nPort = cracked.port;
  SetLastError(ERROR_SUCCESS);
  return true;
}
