#include "tests/platform/winhttp/winhttp_client.h"

#include <vector>

namespace winhttp_test {

namespace {

struct Handles {
  HINTERNET session = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;

  bool close() {
    // A handle never opened is passed as null, which the call refuses.
    const bool request_closed = request == nullptr || WinHttpCloseHandle(request);
    const bool connection_closed = connection == nullptr || WinHttpCloseHandle(connection);
    const bool session_closed = session == nullptr || WinHttpCloseHandle(session);
    return request_closed && connection_closed && session_closed;
  }
};

bool set_up(HINTERNET request, const Options& options) {
  const int t = options.timeout;
  if (!WinHttpSetTimeouts(request, t, t, t, t)) return false;
  if (!options.user_name.empty() &&
      !WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC,
                             options.user_name.c_str(), options.password.c_str(), nullptr))
    return false;
  if (!options.proxy_user_name.empty() &&
      !WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, WINHTTP_AUTH_SCHEME_BASIC,
                             options.proxy_user_name.c_str(), options.proxy_password.c_str(),
                             nullptr))
    return false;
  if (options.disabled_features != 0 &&
      !WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &options.disabled_features,
                        sizeof options.disabled_features))
    return false;
  if (options.deadline != 0 && !WinHttpSetOption(request, WINHTTP_OPTION_DEADLINE,
                                                 &options.deadline, sizeof options.deadline))
    return false;
  if (options.minimum_rate.seconds != 0 &&
      !WinHttpSetOption(request, WINHTTP_OPTION_MINIMUM_RATE, &options.minimum_rate,
                        sizeof options.minimum_rate))
    return false;
  if (!options.headers.empty() &&
      !WinHttpAddRequestHeaders(request, options.headers.c_str(),
                                static_cast<DWORD>(options.headers.size()),
                                WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
    return false;
  return true;
}

// Reads the body as a client does: ask what is available, read that much, until 0.
Stage read_body(HINTERNET request, const Options& options, std::string* body) {
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available)) return Stage::kQueryDataAvailable;
    if (available == 0) return Stage::kDone;
    std::vector<char> buffer(options.read_size != 0 ? options.read_size : available);
    DWORD read = 0;
    if (!WinHttpReadData(request, buffer.data(), static_cast<DWORD>(buffer.size()), &read))
      return Stage::kReadData;
    body->append(buffer.data(), read);
  }
}

bool query_head(HINTERNET request, std::u16string* head) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, nullptr, &size, nullptr);
  std::u16string block(size / 2, u'\0');
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, block.data(), &size,
                           nullptr))
    return false;
  block.resize(size / 2);
  *head = std::move(block);
  return true;
}

Stage run(std::u16string_view url, const Options& options, Handles* handles, Result* result) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = kUrlComponentsRecordSize;
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
      0xFFFFFFFF;
  const std::u16string address(url);
  if (!WinHttpCrackUrl(address.c_str(), static_cast<DWORD>(address.size()), 0, &parts))
    return Stage::kCrackUrl;
  const std::u16string host(parts.lpszHostName, parts.dwHostNameLength);
  const std::u16string_view path(parts.lpszUrlPath, parts.dwUrlPathLength);
  const std::u16string_view extra(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  std::u16string object(path.empty() ? std::u16string_view(u"/") : path);
  if (!path.empty()) object += extra;
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

  handles->session = WinHttpOpen(
      options.agent,
      options.proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
      options.proxy.c_str(), nullptr, 0);
  if (handles->session == nullptr) return Stage::kOpen;
  handles->connection = WinHttpConnect(handles->session, host.c_str(), parts.nPort, 0);
  if (handles->connection == nullptr) return Stage::kConnect;
  handles->request =
      WinHttpOpenRequest(handles->connection, options.verb.c_str(), object.c_str(), nullptr,
                         nullptr, nullptr, secure ? WINHTTP_FLAG_SECURE : 0);
  if (handles->request == nullptr) return Stage::kOpenRequest;
  if (!set_up(handles->request, options)) return Stage::kSetup;
  const auto body_size = static_cast<DWORD>(options.body.size());
  if (!WinHttpSendRequest(handles->request, nullptr, 0,
                          options.body.empty() ? nullptr : options.body.data(), body_size,
                          body_size, 0))
    return Stage::kSend;
  if (!WinHttpReceiveResponse(handles->request, nullptr)) return Stage::kReceive;
  if (const Stage stage = read_body(handles->request, options, &result->body);
      stage != Stage::kDone)
    return stage;
  std::u16string head;
  if (!query_head(handles->request, &head)) return Stage::kQueryHeaders;
  result->head = narrow(head);
  return Stage::kDone;
}

}  // namespace

Result fetch(std::u16string_view url, const Options& options) {
  Result result;
  Handles handles;
  result.stage = run(url, options, &handles, &result);
  result.error = GetLastError();
  result.handles_closed = handles.close();
  return result;
}

OpenedRequest::OpenedRequest(std::uint16_t port, const char16_t* object)
    : session(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, u"", nullptr, 0)),
      connection(WinHttpConnect(session, u"127.0.0.1", port, 0)),
      request(WinHttpOpenRequest(connection, nullptr, object, nullptr, nullptr, nullptr, 0)) {}

OpenedRequest::~OpenedRequest() {
  for (const HINTERNET handle : {request, connection, session}) {
    if (handle != nullptr) WinHttpCloseHandle(handle);
  }
}

bool OpenedRequest::send_and_receive() const {
  return WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, 0) &&
         WinHttpReceiveResponse(request, nullptr);
}

std::u16string OpenedRequest::head() const {
  std::u16string block;
  return query_head(request, &block) ? block : std::u16string();
}

std::u16string wide(std::string_view text) {
  std::u16string units;
  for (const unsigned char byte : text)
    units.push_back(byte);
  return units;
}

std::string narrow(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (const char16_t unit : text)
    bytes.push_back(static_cast<char>(unit));
  return bytes;
}

}  // namespace winhttp_test
