#include "http/http_visit.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string_view>
#include <utility>

#include "http/answer_body.h"
#include "http/cookies.h"
#include "http/declared_charset.h"
#include "http/encodings.h"
#include "http/header_block.h"
#include "platform/winhttp/winhttp.h"
#include "regex/regex_object.h"
#include "runtime/automation_object.h"
#include "runtime/message_pump.h"
#include "runtime/text_blocks.h"
#include "runtime/text_commands.h"
#include "runtime/value_to_text.h"
#include "runtime/variant_value.h"

namespace {

// The failure messages, by stage.
constexpr char kNoWinHttp[] = "700 当前系统不支持WinHttp服务!";
constexpr char kUrlNotSplit[] = "701 解析URL地址失败!";
constexpr char kNoSession[] = "702 创建WinHttp会话失败!";
constexpr char kNoConnection[] = "703 创建WinHttp连接失败!";
constexpr char kNoRequest[] = "704 创建WinHttp请求失败!";
constexpr char kTimeoutsNotSet[] = "705 设置超时时间失败!";
constexpr char kCredentialsNotSet[] = "707 设置代理凭证失败!";
constexpr char kCookiesNotSwitchedOff[] = "708 禁止自动设置Cookies失败!";
constexpr char kRedirectsNotSwitchedOff[] = "709 重定向设置失败!";
constexpr char kHeadersNotSet[] = "710 设置协议头失败!";
constexpr char kNotSent[] = "711 发送请求失败!";
constexpr char kNoResponse[] = "712 服务器未响应!";
constexpr char kReadFailed[] = "713 读取数据失败!";

constexpr std::array<const char16_t*, 8> kVerbs = {u"GET",     u"POST",   u"HEAD",  u"PUT",
                                                   u"OPTIONS", u"DELETE", u"TRACE", u"CONNECT"};

constexpr int kDefaultTimeoutMilliseconds = 30000;

// A default request header line: added when the header text lacks its key.
struct DefaultHeader {
  std::string_view key;
  LetterCase letter_case;
  std::string_view line;
  bool post_only;
};
constexpr DefaultHeader kDefaultHeaders[] = {
    {"User-Agent: ", LetterCase::folded,
     "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n",
     false},
    {"Accept: ", LetterCase::folded, "Accept: text/html, application/xhtml+xml, */*\r\n", false},
    {"Accept-Encoding: ", LetterCase::folded, "Accept-Encoding: gbk, GB2312\r\n", false},
    {"Accept-Language: ", LetterCase::folded, "Accept-Language: zh-cn\r\n", false},
    {"Content-Type:", LetterCase::exact, "Content-Type: application/x-www-form-urlencoded\r\n",
     true},
    {"Cache-Control: ", LetterCase::folded, "Cache-Control: no-cache\r\n", false},
};
constexpr std::string_view kCookieKey = "Cookie: ";

// A zero-terminated UTF-16 string for WinHTTP, made from a GBK text; an empty text gives the
// empty string, never null.
class WideString {
 public:
  explicit WideString(const char* text) : units_(ansi_to_utf16(text)) {}
  explicit WideString(ByteSet units) : units_(std::move(units)) {}

  [[nodiscard]] LPCWSTR get() const {
    return units_.empty() ? u"" : reinterpret_cast<LPCWSTR>(units_.bytes().data());
  }
  // Characters without the terminator.
  [[nodiscard]] DWORD length() const { return units_.empty() ? 0 : units_.size() / 2 - 1; }

 private:
  ByteSet units_;
};

// The bytes of `count` UTF-16 units at `units`.
ByteView unit_bytes(LPCWSTR units, DWORD count) {
  if (units == nullptr) return {};
  return {reinterpret_cast<const std::uint8_t*>(units), count * sizeof(char16_t)};
}

// What the address names, as the request needs it.
struct RequestTarget {
  Text host;
  WideString object_name{""};
  INTERNET_PORT port = 0;
  bool secure = false;
};

// Splits `url` with WinHttpCrackUrl; false when it is no usable address. The object name is the
// path followed by the extra part, or "/" alone when the path is empty.
bool split_url(const Text& url, RequestTarget& target) {
  const WideString wide_url(url.c_str());
  URL_COMPONENTS parts{};
  parts.dwStructSize = kUrlComponentsRecordSize;
  parts.dwSchemeLength = parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wide_url.get(), wide_url.length(), 0, &parts)) return false;
  target.host = utf16_to_ansi(unit_bytes(parts.lpszHostName, parts.dwHostNameLength));
  if (parts.dwUrlPathLength < 1) {
    target.object_name = WideString("/");
  } else {
    constexpr std::uint8_t kTerminator[sizeof(char16_t)] = {};
    target.object_name = WideString(bytes_concat({
        unit_bytes(parts.lpszUrlPath, parts.dwUrlPathLength),
        unit_bytes(parts.lpszExtraInfo, parts.dwExtraInfoLength),
        ByteView(kTerminator),
    }));
  }
  target.port = parts.nPort;
  target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  return true;
}

// The proxy list WinHttpOpen takes: the proxy itself for an https address, "http=" and the proxy
// for an http one, the empty string without a proxy.
Text proxy_list(const Text& proxy, bool secure) {
  if (proxy.empty() || secure) return text_copy(proxy.get());
  return text_concat({"http=", proxy.view()});
}

std::int32_t timeout_milliseconds(std::optional<std::int32_t> seconds) {
  const std::int64_t given = seconds.value_or(0);
  if (given <= 0) return kDefaultTimeoutMilliseconds;
  return static_cast<std::int32_t>(std::min<std::int64_t>(given * 1000, INT32_MAX));
}

bool both_given(const Text& first, const Text& second) {
  return !first.empty() && !second.empty();
}

bool disable_feature(HINTERNET request, DWORD feature) {
  return WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &feature, sizeof feature);
}

// The request header text: the caller's lines with a CR LF after them, then each default line
// whose key the text so far lacks, the Cookie line last when there are cookies to send.
Text request_header_text(const Text& extra_headers, bool post, const Text& cookies) {
  Text headers = extra_headers.empty() ? Text() : text_concat({extra_headers.view(), "\r\n"});
  const auto add_unless_present = [&headers](std::string_view key, LetterCase letter_case,
                                             std::initializer_list<std::string_view> line) {
    if (text_find(headers.view(), key, 1, letter_case) > 0) return;
    std::array<std::string_view, 4> pieces{headers.view()};
    std::copy(line.begin(), line.end(), pieces.begin() + 1);
    headers = text_concat(std::span(pieces.data(), line.size() + 1));
  };
  for (const DefaultHeader& header : kDefaultHeaders) {
    if (header.post_only && !post) continue;
    add_unless_present(header.key, header.letter_case, {header.line});
  }
  if (!cookies.empty()) {
    add_unless_present(kCookieKey, LetterCase::folded, {kCookieKey, cookies.view(), "\r\n"});
  }
  return headers;
}

// Reads the body into `body` until the answer ends; false when a read failed or the body passed
// the cap, with the bytes before kept.
bool read_body(HINTERNET request, AnswerBody& body) {
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available) || available < 1) return true;
    const std::span<std::uint8_t> room = body.room_for(available);
    DWORD count = 0;
    if (room.empty() ||
        !WinHttpReadData(request, room.data(), static_cast<DWORD>(room.size()), &count))
      return false;
    body.commit(count);
  }
}

// The answer's raw header block in GBK; false when WinHTTP has none to give.
bool query_header_block(HINTERNET request, Text& header_block) {
  DWORD size = 0;
  DWORD index = 0;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, nullptr, &size, &index);
  ByteSet buffer = bytes_blank(static_cast<std::int32_t>(size));
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr,
                           buffer.mutable_bytes().data(), &size, &index)) {
    return false;
  }
  header_block = utf16_to_ansi(buffer.bytes());
  return true;
}

// The session, connection and request, closed on every way out: request first, then
// connection, then session. A handle never opened is closed as null.
struct RequestHandles {
  HINTERNET session = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;

  RequestHandles() = default;
  RequestHandles(const RequestHandles&) = delete;
  RequestHandles& operator=(const RequestHandles&) = delete;
  ~RequestHandles() {
    WinHttpCloseHandle(request);
    WinHttpCloseHandle(connection);
    WinHttpCloseHandle(session);
  }
};

// The message-pump passes of the way out: one for each stage entered of the URL split, session,
// connection, request, time-outs, request headers, send, receive and header block. The early
// ways out of the credential and switch stages make none.
class ExitPasses {
 public:
  ExitPasses() = default;
  ExitPasses(const ExitPasses&) = delete;
  ExitPasses& operator=(const ExitPasses&) = delete;
  ~ExitPasses() {
    for (int pass = 0; pass < stages_; ++pass) {
      dispatch_pending_messages();
    }
  }

  void enter_stage() { ++stages_; }
  void cancel() { stages_ = 0; }

 private:
  int stages_ = 0;
};

// Stores `message` as the status text and gives the empty result.
Text fail(Text& status_text, const char* message) {
  status_text = text_copy(message);
  return {};
}

}  // namespace

Text http_visit(const Text& url, std::optional<std::int32_t> method, HttpVariable<Text> post_data,
                HttpVariable<Text> cookies, HttpVariable<Text> returned_cookies,
                HttpVariable<Text> extra_headers, HttpVariable<Text> returned_headers,
                std::optional<bool> forbid_redirect, HttpVariable<Text> user_name,
                HttpVariable<Text> password, HttpVariable<Text> proxy,
                HttpVariable<Text> proxy_user, HttpVariable<Text> proxy_password,
                std::optional<std::int32_t> timeout_seconds, HttpVariable<Text> redirect_location,
                HttpVariable<Text> status_text, HttpVariable<ByteSet> returned_bytes,
                std::optional<bool> auto_merge_cookies) {
  // Declared in this order, so that on the way out the pump passes run first, then the handles
  // close, then the charset step's objects go (the regex object last, leaving the apartment).
  RegexObject regex;
  AutomationObject stream;
  VariantValue value;
  const bool merge_cookies_back = auto_merge_cookies.value_or(true);
  RequestHandles handles;
  ExitPasses passes;
  Text& status = status_text.variable;

  if (!WinHttpCheckPlatform()) return fail(status, kNoWinHttp);

  passes.enter_stage();
  RequestTarget target;
  if (!split_url(url, target)) return fail(status, kUrlNotSplit);

  passes.enter_stage();
  const WideString proxies(proxy_list(proxy.variable, target.secure).c_str());
  const DWORD access_type =
      proxy.variable.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY;
  handles.session = WinHttpOpen(nullptr, access_type, proxies.get(), nullptr, 0);
  if (handles.session == nullptr) return fail(status, kNoSession);

  passes.enter_stage();
  const WideString host(target.host.c_str());
  handles.connection = WinHttpConnect(handles.session, host.get(), target.port, 0);
  if (handles.connection == nullptr) return fail(status, kNoConnection);

  passes.enter_stage();
  const std::int32_t verb_index = method.value_or(kHttpGet);
  const bool known_verb = verb_index >= 0 && verb_index < static_cast<std::int32_t>(kVerbs.size());
  handles.request = WinHttpOpenRequest(
      handles.connection, kVerbs[static_cast<std::size_t>(known_verb ? verb_index : kHttpGet)],
      target.object_name.get(), nullptr, nullptr, nullptr, target.secure ? WINHTTP_FLAG_SECURE : 0);
  if (handles.request == nullptr) return fail(status, kNoRequest);
  HINTERNET request = handles.request;

  passes.enter_stage();
  const int timeout = timeout_milliseconds(timeout_seconds);
  if (!WinHttpSetTimeouts(request, timeout, timeout, timeout, timeout)) {
    return fail(status, kTimeoutsNotSet);
  }

  const auto set_credentials = [request](DWORD credential_target, const Text& user,
                                         const Text& secret) {
    const WideString wide_user(user.c_str()), wide_secret(secret.c_str());
    return WinHttpSetCredentials(request, credential_target, WINHTTP_AUTH_SCHEME_BASIC,
                                 wide_user.get(), wide_secret.get(), nullptr);
  };
  const bool credentials_set =
      (!both_given(user_name.variable, password.variable) ||
       set_credentials(WINHTTP_AUTH_TARGET_SERVER, user_name.variable, password.variable)) &&
      (!both_given(proxy_user.variable, proxy_password.variable) ||
       set_credentials(WINHTTP_AUTH_TARGET_PROXY, proxy_user.variable, proxy_password.variable));
  if (!credentials_set) {
    passes.cancel();
    return fail(status, kCredentialsNotSet);
  }
  if (!cookies.provided && !disable_feature(request, WINHTTP_DISABLE_COOKIES)) {
    passes.cancel();
    return fail(status, kCookiesNotSwitchedOff);
  }
  if (forbid_redirect.value_or(false) && !disable_feature(request, WINHTTP_DISABLE_REDIRECTS)) {
    passes.cancel();
    return fail(status, kRedirectsNotSwitchedOff);
  }

  passes.enter_stage();
  const WideString headers(
      request_header_text(extra_headers.variable, verb_index == kHttpPost, cookies.variable)
          .c_str());
  if (!WinHttpAddRequestHeaders(request, headers.get(), headers.length(),
                                WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE)) {
    return fail(status, kHeadersNotSet);
  }

  passes.enter_stage();
  const std::string_view body_to_send = post_data.variable.view();
  if (!WinHttpSendRequest(request, nullptr, 0, body_to_send.empty() ? nullptr : body_to_send.data(),
                          static_cast<DWORD>(body_to_send.size()),
                          static_cast<DWORD>(body_to_send.size()), 0)) {
    return fail(status, kNotSent);
  }

  passes.enter_stage();
  if (!WinHttpReceiveResponse(request, nullptr)) return fail(status, kNoResponse);

  AnswerBody body;
  const bool body_complete = read_body(request, body);
  if (!body_complete) status = text_copy(kReadFailed);

  passes.enter_stage();
  Text header_block;
  if (!query_header_block(request, header_block)) return {};

  // A body that broke off keeps its 713 rather than showing the answer's status as if it were
  // whole.
  if (body_complete) status = status_text_of(header_block.view());
  returned_headers.variable = std::move(header_block);
  read_header_lines(returned_headers.variable, returned_cookies.variable,
                    redirect_location.variable);
  if (merge_cookies_back && cookies.provided) {
    returned_cookies.variable = merge_cookies(cookies.variable, returned_cookies.variable);
  }

  returned_bytes.variable = std::move(body).finish();
  Text result = bytes_to_text(returned_bytes.variable.get(), 1);
  apply_declared_charset(result, returned_bytes.variable, regex, stream, value);
  return result;
}

Text http_visit_omitting_all(const Text& url, HttpVisitVariables& fresh) {
  return http_visit(url, {}, omitted(fresh.post_data), omitted(fresh.cookies),
                    omitted(fresh.returned_cookies), omitted(fresh.extra_headers),
                    omitted(fresh.returned_headers), {}, omitted(fresh.user_name),
                    omitted(fresh.password), omitted(fresh.proxy), omitted(fresh.proxy_user),
                    omitted(fresh.proxy_password), {}, omitted(fresh.redirect_location),
                    omitted(fresh.status_text), omitted(fresh.returned_bytes), {});
}
