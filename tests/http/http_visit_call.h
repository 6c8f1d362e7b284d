// One call of http_visit as the tests make it: every parameter a field, so that each test sets
// only what it is about, and the outputs as the call left them.
//
//   VisitCall call(server.url("/"));
//   call.method = kHttpPost;
//   EXPECT_EQ(call.run(), "ok");
//   EXPECT_EQ(as_string(call.status_text), "200 OK");
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "http/http_visit.h"
#include "runtime/runtime.h"

namespace http_visit_test {

// A new Text of `bytes`; null when empty.
[[nodiscard]] Text text(std::string_view bytes);
[[nodiscard]] std::string as_string(const Text& text);
[[nodiscard]] std::string as_string(const ByteSet& bytes);
// UTF-8 bytes written as a u8"" literal (narrow literals are GBK).
[[nodiscard]] std::string utf8(std::u8string_view text);

// The default request header lines in the order they go out, each with its CR LF.
inline constexpr std::string_view kUserAgentLine =
    "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n";
inline constexpr std::string_view kAcceptLine = "Accept: text/html, application/xhtml+xml, */*\r\n";
inline constexpr std::string_view kAcceptEncodingLine = "Accept-Encoding: gbk, GB2312\r\n";
inline constexpr std::string_view kAcceptLanguageLine = "Accept-Language: zh-cn\r\n";
inline constexpr std::string_view kFormContentTypeLine =
    "Content-Type: application/x-www-form-urlencoded\r\n";
inline constexpr std::string_view kCacheControlLine = "Cache-Control: no-cache\r\n";

// The default lines of a request: the form Content-Type only for a POST, the Cookie line only
// for non-empty `cookies`.
enum class Form { kNo, kYes };
[[nodiscard]] std::string default_lines(Form form = Form::kNo, std::string_view cookies = {});

struct VisitCall {
  explicit VisitCall(std::string_view address) : url(text(address)) {}

  // Calls http_visit with the fields below, omitting the optional ones left empty (`cookies` is
  // omitted unless `cookies_given`), and returns the result's bytes. Counts the message pump's
  // passes of the call into `pump_passes`.
  std::string run();

  // Fills every output variable, and `cookies`, with a text of its own name.
  void fill_outputs_with_sentinels();
  // The outputs that no longer hold what fill_outputs_with_sentinels put there, by name and
  // separated by blanks; status_text is not looked at. Empty when every one is untouched.
  [[nodiscard]] std::string outputs_changed() const;

  Text url;
  std::optional<std::int32_t> method;
  Text post_data;
  Text cookies;
  bool cookies_given = false;
  Text returned_cookies;
  Text extra_headers;
  Text returned_headers;
  std::optional<bool> forbid_redirect;
  Text user_name;
  Text password;
  Text proxy;
  Text proxy_user;
  Text proxy_password;
  std::optional<std::int32_t> timeout_seconds;
  Text redirect_location;
  Text status_text;
  ByteSet returned_bytes;
  std::optional<bool> auto_merge_cookies;

  std::uint64_t pump_passes = 0;
};

// Registers the components the routine creates, and checks after each test that every call left
// the thread's COM apartment as often as it entered it and released its regular expressions.
class HttpVisitTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace http_visit_test
