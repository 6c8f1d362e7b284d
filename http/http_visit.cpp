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

// What the caller gives for the request itself, as the stages read it.
struct RequestParameters {
  const Text& url;
  std::optional<std::int32_t> method;
  const Text& post_data;
  HttpVariable<Text> cookies;
  const Text& extra_headers;
  std::optional<bool> forbid_redirect;
  const Text& user_name;
  const Text& password;
  const Text& proxy;
  const Text& proxy_user;
  const Text& proxy_password;
  std::optional<std::int32_t> timeout_seconds;
};

// One request on its way through the stages: what it was given and what the stages before have
// opened and found.
struct Visit {
  explicit Visit(const RequestParameters& parameters) : given(parameters) {}

  const RequestParameters& given;
  RequestHandles handles;
  RequestTarget target;
  std::int32_t verb_index = kHttpGet;
};

// Stores `message` as the status text and gives the empty result.
Text fail(Text& status_text, const char* message) {
  status_text = text_copy(message);
  return {};
}

// What a stage gives: its failure message, or null to go on.
using StageFailure = const char*;
constexpr StageFailure kGoOn = nullptr;

StageFailure check_platform(Visit&) {
  return WinHttpCheckPlatform() ? kGoOn : kNoWinHttp;
}

StageFailure split_address(Visit& visit) {
  return split_url(visit.given.url, visit.target) ? kGoOn : kUrlNotSplit;
}

StageFailure open_session(Visit& visit) {
  const Text& proxy = visit.given.proxy;
  const WideString proxies(proxy_list(proxy, visit.target.secure).c_str());
  const DWORD access_type =
      proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY;
  visit.handles.session = WinHttpOpen(nullptr, access_type, proxies.get(), nullptr, 0);
  return visit.handles.session != nullptr ? kGoOn : kNoSession;
}

StageFailure open_connection(Visit& visit) {
  const WideString host(visit.target.host.c_str());
  visit.handles.connection =
      WinHttpConnect(visit.handles.session, host.get(), visit.target.port, 0);
  return visit.handles.connection != nullptr ? kGoOn : kNoConnection;
}

StageFailure open_request(Visit& visit) {
  const std::int32_t index = visit.given.method.value_or(kHttpGet);
  visit.verb_index =
      index >= 0 && index < static_cast<std::int32_t>(kVerbs.size()) ? index : kHttpGet;
  visit.handles.request = WinHttpOpenRequest(
      visit.handles.connection, kVerbs[static_cast<std::size_t>(visit.verb_index)],
      visit.target.object_name.get(), nullptr, nullptr, nullptr,
      visit.target.secure ? WINHTTP_FLAG_SECURE : 0);
  return visit.handles.request != nullptr ? kGoOn : kNoRequest;
}

// The bounds on the request's time: one time-out for resolving, connecting, sending and
// receiving.
StageFailure set_time_limits(Visit& visit) {
  HINTERNET request = visit.handles.request;
  const int timeout = timeout_milliseconds(visit.given.timeout_seconds);
  if (!WinHttpSetTimeouts(request, timeout, timeout, timeout, timeout)) return kTimeoutsNotSet;
  // The time-out is idle time, which a server trickling its answer byte by byte never reaches:
  // the request as a whole gets twice the time-out.
  const DWORD deadline = 2 * static_cast<DWORD>(timeout);
  if (!WinHttpSetOption(request, WINHTTP_OPTION_DEADLINE, &deadline, sizeof deadline)) {
    return kTimeoutsNotSet;
  }
  return kGoOn;
}

// The server's credentials, then the proxy's, each pair only when both its members are given.
StageFailure set_credentials(Visit& visit) {
  const RequestParameters& given = visit.given;
  const auto set_pair = [request = visit.handles.request](DWORD credential_target, const Text& user,
                                                          const Text& secret) {
    if (!both_given(user, secret)) return true;
    const WideString wide_user(user.c_str()), wide_secret(secret.c_str());
    return WinHttpSetCredentials(request, credential_target, WINHTTP_AUTH_SCHEME_BASIC,
                                 wide_user.get(), wide_secret.get(), nullptr) != 0;
  };
  const bool set = set_pair(WINHTTP_AUTH_TARGET_SERVER, given.user_name, given.password) &&
                   set_pair(WINHTTP_AUTH_TARGET_PROXY, given.proxy_user, given.proxy_password);
  return set ? kGoOn : kCredentialsNotSet;
}

// A caller who gives no cookies leaves the client's own cookie handling off.
StageFailure switch_off_platform_cookies(Visit& visit) {
  if (visit.given.cookies.provided) return kGoOn;
  return disable_feature(visit.handles.request, WINHTTP_DISABLE_COOKIES) ? kGoOn
                                                                         : kCookiesNotSwitchedOff;
}

StageFailure switch_off_redirects(Visit& visit) {
  if (!visit.given.forbid_redirect.value_or(false)) return kGoOn;
  return disable_feature(visit.handles.request, WINHTTP_DISABLE_REDIRECTS)
             ? kGoOn
             : kRedirectsNotSwitchedOff;
}

StageFailure add_request_headers(Visit& visit) {
  const RequestParameters& given = visit.given;
  const WideString headers(request_header_text(given.extra_headers, visit.verb_index == kHttpPost,
                                               given.cookies.variable)
                               .c_str());
  if (!WinHttpAddRequestHeaders(visit.handles.request, headers.get(), headers.length(),
                                WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE)) {
    return kHeadersNotSet;
  }
  return kGoOn;
}

StageFailure send_request(Visit& visit) {
  const std::string_view body = visit.given.post_data.view();
  if (!WinHttpSendRequest(visit.handles.request, nullptr, 0, body.empty() ? nullptr : body.data(),
                          static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0)) {
    return kNotSent;
  }
  return kGoOn;
}

StageFailure receive_response(Visit& visit) {
  return WinHttpReceiveResponse(visit.handles.request, nullptr) ? kGoOn : kNoResponse;
}

// How a stage counts on the way out: one pump pass once it is entered; none; or none for any
// stage when it fails, the handles then closing at once.
enum class ExitPass : std::uint8_t { counted, uncounted, cancelled_by_failure };

struct Stage {
  StageFailure (*run)(Visit&);
  ExitPass exit_pass;
};

// The stages before the answer, in order; the first failure ends the request.
constexpr Stage kRequestStages[] = {
    {check_platform, ExitPass::uncounted},
    {split_address, ExitPass::counted},
    {open_session, ExitPass::counted},
    {open_connection, ExitPass::counted},
    {open_request, ExitPass::counted},
    {set_time_limits, ExitPass::counted},
    {set_credentials, ExitPass::cancelled_by_failure},
    {switch_off_platform_cookies, ExitPass::cancelled_by_failure},
    {switch_off_redirects, ExitPass::cancelled_by_failure},
    {add_request_headers, ExitPass::counted},
    {send_request, ExitPass::counted},
    {receive_response, ExitPass::counted},
};

// The message-pump passes of the way out: one for each stage entered whose exit pass counts,
// unless a failure cancelled them all.
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

  void enter(ExitPass exit_pass) {
    if (exit_pass == ExitPass::counted) ++stages_;
  }
  void fail(ExitPass exit_pass) {
    if (exit_pass == ExitPass::cancelled_by_failure) stages_ = 0;
  }

 private:
  int stages_ = 0;
};

// Where the answer's parts go.
struct AnswerOutputs {
  Text& status;
  Text& returned_cookies;
  Text& returned_headers;
  Text& redirect_location;
  HttpVariable<ByteSet> returned_bytes;
  bool merge_cookies_back;
};

// The answer's header lines read into the outputs: status text, cookies (merged with those sent
// when asked), redirect address. A body that broke off keeps its 713 rather than showing the
// answer's status as if it were whole.
void read_answer_head(Text header_block, bool body_complete, HttpVariable<Text> cookies,
                      const AnswerOutputs& out) {
  if (body_complete) out.status = status_text_of(header_block.view());
  out.returned_headers = std::move(header_block);
  read_header_lines(out.returned_headers, out.returned_cookies, out.redirect_location);
  if (out.merge_cookies_back && cookies.provided) {
    out.returned_cookies = merge_cookies(cookies.variable, out.returned_cookies);
  }
}

// The body as the result text, decoded again in the charset an HTML page declares. The bytes go
// to the caller when asked for and are freed here otherwise, so that a large answer is held once
// as bytes and once as text only while both are needed.
Text body_text(AnswerBody& body, const AnswerOutputs& out, RegexObject& regex,
               AutomationObject& stream, VariantValue& value) {
  ByteSet bytes = std::move(body).finish();
  Text result = bytes_to_text(bytes.get(), 1);
  apply_charset_of_page(result, bytes, out.returned_headers.view(), regex, stream, value);
  if (out.returned_bytes.provided) out.returned_bytes.variable = std::move(bytes);
  return result;
}

// Runs the stages in order and gives the answer's body, or the empty text with the failing
// stage's message stored. On every way out the pump passes run first, then the handles close.
Text run_stages(const RequestParameters& given, const AnswerOutputs& out, RegexObject& regex,
                AutomationObject& stream, VariantValue& value) {
  Visit visit(given);
  ExitPasses passes;
  for (const Stage& stage : kRequestStages) {
    passes.enter(stage.exit_pass);
    if (const StageFailure failure = stage.run(visit)) {
      passes.fail(stage.exit_pass);
      return fail(out.status, failure);
    }
  }
  AnswerBody body;
  const bool body_complete = read_body(visit.handles.request, body);
  if (!body_complete) out.status = text_copy(kReadFailed);

  passes.enter(ExitPass::counted);
  Text header_block;
  if (!query_header_block(visit.handles.request, header_block)) return {};
  read_answer_head(std::move(header_block), body_complete, given.cookies, out);
  return body_text(body, out, regex, stream, value);
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
  // The charset step's objects outlive the handles, the regex object last: its end leaves the
  // apartment.
  RegexObject regex;
  AutomationObject stream;
  VariantValue value;
  const RequestParameters given{url,
                                method,
                                post_data.variable,
                                cookies,
                                extra_headers.variable,
                                forbid_redirect,
                                user_name.variable,
                                password.variable,
                                proxy.variable,
                                proxy_user.variable,
                                proxy_password.variable,
                                timeout_seconds};
  const AnswerOutputs out{status_text.variable,
                          returned_cookies.variable,
                          returned_headers.variable,
                          redirect_location.variable,
                          returned_bytes,
                          auto_merge_cookies.value_or(true)};
  return run_stages(given, out, regex, stream, value);
}

Text http_visit_omitting_all(const Text& url, HttpVisitVariables& fresh) {
  return http_visit(url, {}, omitted(fresh.post_data), omitted(fresh.cookies),
                    omitted(fresh.returned_cookies), omitted(fresh.extra_headers),
                    omitted(fresh.returned_headers), {}, omitted(fresh.user_name),
                    omitted(fresh.password), omitted(fresh.proxy), omitted(fresh.proxy_user),
                    omitted(fresh.proxy_password), {}, omitted(fresh.redirect_location),
                    omitted(fresh.status_text), omitted(fresh.returned_bytes), {});
}
