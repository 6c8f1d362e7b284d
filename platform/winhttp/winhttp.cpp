// The WinHTTP calls: argument checks, handles and states; the transfer does the network work.
#include "platform/winhttp/winhttp.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

#include "platform/winhttp/handles.h"
#include "platform/winhttp/kept_connections.h"
#include "platform/winhttp/object_name.h"
#include "platform/winhttp/transfer.h"
#include "platform/winhttp/wire_text.h"

namespace {

BOOL fail(DWORD error) {
  SetLastError(error);
  return false;
}

BOOL succeed() {
  SetLastError(ERROR_SUCCESS);
  return true;
}

HINTERNET fail_handle(DWORD error) {
  SetLastError(error);
  return nullptr;
}

bool is_http_token(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           (c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
  });
}

bool head_received(const Request& request) {
  return !request.head.empty();
}

// A request handle that has not been sent yet; null (last error set) otherwise.
std::shared_ptr<Request> find_unsent_request(HINTERNET handle) {
  std::shared_ptr<Request> request = find_handle<Request>(handle);
  if (request != nullptr && request->transfer != nullptr) {
    SetLastError(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
    return nullptr;
  }
  return request;
}

// A request handle whose answer's head arrived; null (last error set) otherwise.
std::shared_ptr<Request> find_answered_request(HINTERNET handle) {
  std::shared_ptr<Request> request = find_handle<Request>(handle);
  if (request != nullptr && !head_received(*request)) {
    SetLastError(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
    return nullptr;
  }
  return request;
}

DWORD clamp_to_dword(std::size_t count) {
  return static_cast<DWORD>(std::min<std::size_t>(count, UINT32_MAX));
}

// The option's value, copied out of the caller's buffer; false (last error set) when the buffer
// is null or too short for it.
template <class Value>
bool option_value(const void* buffer, DWORD length, Value* value) {
  if (buffer == nullptr) return fail(ERROR_INVALID_PARAMETER);
  if (length < sizeof(Value)) return fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(value, buffer, sizeof(Value));
  return true;
}

BOOL disable_features(Request& request, const void* buffer, DWORD length) {
  DWORD features = 0;
  if (!option_value(buffer, length, &features)) return false;
  constexpr DWORD kKnown = WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_REDIRECTS |
                           WINHTTP_DISABLE_AUTHENTICATION | WINHTTP_DISABLE_KEEP_ALIVE;
  if ((features & ~kKnown) != 0) return fail(ERROR_INVALID_PARAMETER);
  if (features & WINHTTP_DISABLE_AUTHENTICATION) return fail(ERROR_NOT_SUPPORTED);
  if (features & WINHTTP_DISABLE_COOKIES) request.cookies_enabled = false;
  if (features & WINHTTP_DISABLE_REDIRECTS) request.redirects_enabled = false;
  if (features & WINHTTP_DISABLE_KEEP_ALIVE) request.keep_alive = false;
  return succeed();
}

BOOL set_deadline(Request& request, const void* buffer, DWORD length) {
  DWORD milliseconds = 0;
  if (!option_value(buffer, length, &milliseconds)) return false;
  request.deadline = std::chrono::milliseconds(milliseconds);
  return succeed();
}

// A rate is both numbers or neither: a floor without a span (or the reverse) means nothing.
BOOL set_minimum_rate(Request& request, const void* buffer, DWORD length) {
  WINHTTP_MINIMUM_RATE rate;
  if (!option_value(buffer, length, &rate)) return false;
  if ((rate.bytes_per_second == 0) != (rate.seconds == 0)) return fail(ERROR_INVALID_PARAMETER);
  request.minimum_rate = rate;
  return succeed();
}

}  // namespace

BOOL WinHttpCheckPlatform() {
  return libcurl_ready();
}

HINTERNET WinHttpOpen(LPCWSTR agent, DWORD access_type, LPCWSTR proxy, LPCWSTR proxy_bypass,
                      DWORD flags) {
  if (!libcurl_ready()) return fail_handle(ERROR_NOT_ENOUGH_MEMORY);
  if (flags != 0 || !wide_argument(proxy_bypass).empty()) return fail_handle(ERROR_NOT_SUPPORTED);
  auto session = std::make_shared<Session>();
  switch (access_type) {
    case WINHTTP_ACCESS_TYPE_NO_PROXY:
    case WINHTTP_ACCESS_TYPE_DEFAULT_PROXY:
    case WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY:
      break;
    case WINHTTP_ACCESS_TYPE_NAMED_PROXY: {
      const std::u16string_view list = wide_argument(proxy);
      std::optional<ProxyList> proxies = parse_proxy_list(utf8_of(list));
      if (list.empty() || !proxies) return fail_handle(ERROR_INVALID_PARAMETER);
      session->proxies = std::move(*proxies);
      break;
    }
    default:
      return fail_handle(ERROR_INVALID_PARAMETER);
  }
  if (agent != nullptr) session->agent = ansi_of(agent);
  if (session->cookies.share() == nullptr) return fail_handle(ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(ERROR_SUCCESS);
  return open_handle(std::move(session));
}

HINTERNET WinHttpConnect(HINTERNET session_handle, LPCWSTR server, INTERNET_PORT port,
                         DWORD reserved) {
  std::shared_ptr<Session> session = find_handle<Session>(session_handle);
  if (session == nullptr) return nullptr;
  if (wide_argument(server).empty() || reserved != 0) return fail_handle(ERROR_INVALID_PARAMETER);
  auto connection = std::make_shared<Connection>();
  connection->session = std::move(session);
  connection->server = utf8_of(server);
  connection->port = port;
  SetLastError(ERROR_SUCCESS);
  return open_handle(std::move(connection));
}

HINTERNET WinHttpOpenRequest(HINTERNET connection_handle, LPCWSTR verb, LPCWSTR object_name,
                             LPCWSTR version, LPCWSTR referrer, LPCWSTR* accept_types,
                             DWORD flags) {
  std::shared_ptr<Connection> connection = find_handle<Connection>(connection_handle);
  if (connection == nullptr) return nullptr;
  const bool version_supported = version == nullptr || wide_argument(version) == u"HTTP/1.1";
  if (!version_supported || referrer != nullptr || accept_types != nullptr ||
      (flags & ~WINHTTP_FLAG_SECURE) != 0)
    return fail_handle(ERROR_NOT_SUPPORTED);
  std::string verb_text = verb == nullptr || *verb == u'\0' ? "GET" : ansi_of(verb);
  if (!is_http_token(verb_text)) return fail_handle(ERROR_INVALID_PARAMETER);

  auto request = std::make_shared<Request>();
  request->timeouts = connection->session->timeouts;
  request->connection = std::move(connection);
  request->verb = std::move(verb_text);
  request->target = object_name == nullptr ? "/" : escape_object_name(object_name);
  request->secure = (flags & WINHTTP_FLAG_SECURE) != 0;
  SetLastError(ERROR_SUCCESS);
  return open_handle(std::move(request));
}

BOOL WinHttpSetTimeouts(HINTERNET handle, int resolve_timeout, int connect_timeout,
                        int send_timeout, int receive_timeout) {
  const Timeouts timeouts{resolve_timeout, connect_timeout, send_timeout, receive_timeout};
  if (std::min({resolve_timeout, connect_timeout, send_timeout, receive_timeout}) < -1)
    return fail(ERROR_INVALID_PARAMETER);
  if (std::shared_ptr<Request> request = find_handle<Request>(handle)) {
    request->timeouts = timeouts;  // a running transfer reads them at each wait
    return succeed();
  }
  if (GetLastError() == ERROR_INVALID_HANDLE) return false;
  std::shared_ptr<Session> session = find_handle<Session>(handle);
  if (session == nullptr) return false;
  session->timeouts = timeouts;
  return succeed();
}

BOOL WinHttpSetCredentials(HINTERNET handle, DWORD target, DWORD scheme, LPCWSTR user_name,
                           LPCWSTR password, void*) {
  std::shared_ptr<Request> request = find_unsent_request(handle);
  if (request == nullptr) return false;
  if ((target != WINHTTP_AUTH_TARGET_SERVER && target != WINHTTP_AUTH_TARGET_PROXY) ||
      user_name == nullptr || password == nullptr)
    return fail(ERROR_INVALID_PARAMETER);
  if (scheme != WINHTTP_AUTH_SCHEME_BASIC) return fail(ERROR_NOT_SUPPORTED);
  Credentials& credentials = target == WINHTTP_AUTH_TARGET_SERVER ? request->server_credentials
                                                                  : request->proxy_credentials;
  credentials = {utf8_of(user_name), utf8_of(password), true};
  return succeed();
}

BOOL WinHttpSetOption(HINTERNET handle, DWORD option, const void* buffer, DWORD length) {
  std::shared_ptr<Request> request = find_unsent_request(handle);
  if (request == nullptr) return false;
  switch (option) {
    case WINHTTP_OPTION_DISABLE_FEATURE:
      return disable_features(*request, buffer, length);
    case WINHTTP_OPTION_DEADLINE:
      return set_deadline(*request, buffer, length);
    case WINHTTP_OPTION_MINIMUM_RATE:
      return set_minimum_rate(*request, buffer, length);
    default:
      return fail(ERROR_WINHTTP_INVALID_OPTION);
  }
}

BOOL WinHttpAddRequestHeaders(HINTERNET handle, LPCWSTR headers, DWORD length, DWORD modifiers) {
  std::shared_ptr<Request> request = find_unsent_request(handle);
  if (request == nullptr) return false;
  if (headers == nullptr || length == 0) return fail(ERROR_INVALID_PARAMETER);
  const DWORD error = request->headers.apply(ansi_of(wide_argument(headers, length)), modifiers);
  return error == ERROR_SUCCESS ? succeed() : fail(error);
}

BOOL WinHttpSendRequest(HINTERNET handle, LPCWSTR headers, DWORD headers_length,
                        const void* optional, DWORD optional_length, DWORD total_length,
                        std::uintptr_t) {
  std::shared_ptr<Request> request = find_unsent_request(handle);
  if (request == nullptr) return false;
  if (optional == nullptr && optional_length != 0) return fail(ERROR_INVALID_PARAMETER);
  if (total_length != optional_length) return fail(ERROR_NOT_SUPPORTED);
  if (headers != nullptr && headers_length != 0) {
    const std::string lines = ansi_of(wide_argument(headers, headers_length));
    if (const DWORD error = request->headers.apply(lines, WINHTTP_ADDREQ_FLAG_ADD))
      return fail(error);
  }
  const std::string_view body(static_cast<const char*>(optional), optional_length);
  if (const DWORD error = Transfer::create(*request, body, &request->transfer)) return fail(error);
  const DWORD error = request->transfer->send();
  return error == ERROR_SUCCESS ? succeed() : fail(error);
}

BOOL WinHttpReceiveResponse(HINTERNET handle, void* reserved) {
  std::shared_ptr<Request> request = find_handle<Request>(handle);
  if (request == nullptr) return false;
  if (reserved != nullptr) return fail(ERROR_INVALID_PARAMETER);
  if (request->transfer == nullptr) return fail(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  if (head_received(*request)) return succeed();
  if (const DWORD error = request->transfer->receive()) return fail(error);
  request->head = wide_of_ansi(request->transfer->head());
  return succeed();
}

BOOL WinHttpQueryDataAvailable(HINTERNET handle, DWORD* available) {
  std::shared_ptr<Request> request = find_answered_request(handle);
  if (request == nullptr) return false;
  if (available == nullptr) return fail(ERROR_INVALID_PARAMETER);
  std::size_t ready = 0;
  if (const DWORD error = request->transfer->wait_for_body(&ready)) return fail(error);
  *available = clamp_to_dword(ready);
  return succeed();
}

BOOL WinHttpReadData(HINTERNET handle, void* buffer, DWORD size, DWORD* bytes_read) {
  std::shared_ptr<Request> request = find_answered_request(handle);
  if (request == nullptr) return false;
  if ((buffer == nullptr && size != 0) || bytes_read == nullptr)
    return fail(ERROR_INVALID_PARAMETER);
  std::size_t count = 0;
  const std::span<std::byte> into(static_cast<std::byte*>(buffer), size);
  if (const DWORD error = request->transfer->read(into, &count)) return fail(error);
  *bytes_read = clamp_to_dword(count);
  return succeed();
}

BOOL WinHttpQueryHeaders(HINTERNET handle, DWORD info_level, LPCWSTR name, void* buffer,
                         DWORD* size, DWORD*) {
  std::shared_ptr<Request> request = find_answered_request(handle);
  if (request == nullptr) return false;
  if (info_level != WINHTTP_QUERY_RAW_HEADERS_CRLF || name != nullptr)
    return fail(ERROR_NOT_SUPPORTED);
  if (size == nullptr) return fail(ERROR_INVALID_PARAMETER);
  const std::u16string& head = request->head;
  const std::size_t needed = (head.size() + 1) * sizeof(char16_t);
  if (buffer == nullptr || *size < needed) {
    *size = clamp_to_dword(needed);
    return fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(buffer, head.c_str(), needed);
  *size = clamp_to_dword(needed - sizeof(char16_t));
  return succeed();
}

BOOL WinHttpCloseHandle(HINTERNET handle) {
  return close_handle(handle) ? succeed() : fail(ERROR_INVALID_HANDLE);
}

void SetWinHttpConnectionReuseForTesting(bool enabled) {
  keep_connections(enabled);
}
