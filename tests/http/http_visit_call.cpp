#include "tests/http/http_visit_call.h"

#include "platform/com/apartment.h"
#include "platform/installed_components.h"
#include "platform/regexp/regexp_component.h"
#include "runtime/message_pump.h"
#include "runtime/text_blocks.h"

namespace http_visit_test {

namespace {

// A by-reference parameter the caller gives; every one but `cookies` is given as the song
// search's callers would, since the routine looks at no other provided flag.
template <class T>
HttpVariable<T> passed(T& variable, bool provided = true) {
  return {variable, provided};
}

std::string sentinel_for(std::string_view name) {
  return "sentinel " + std::string(name);
}

}  // namespace

Text text(std::string_view bytes) {
  return text_from_buffer(bytes);
}

std::string as_string(const Text& text) {
  return std::string(text.view());
}

std::string as_string(const ByteSet& bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.bytes().data()), bytes.size());
}

std::string utf8(std::u8string_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::string default_lines(Form form, std::string_view cookies) {
  std::string lines;
  lines.append(kUserAgentLine).append(kAcceptLine).append(kAcceptEncodingLine);
  lines.append(kAcceptLanguageLine);
  if (form == Form::kYes) lines.append(kFormContentTypeLine);
  lines.append(kCacheControlLine);
  if (!cookies.empty()) lines.append("Cookie: ").append(cookies).append("\r\n");
  return lines;
}

std::string VisitCall::run() {
  const std::uint64_t passes_before = message_pump_passes();
  const Text result = http_visit(
      url, method, passed(post_data), passed(cookies, cookies_given), passed(returned_cookies),
      passed(extra_headers), passed(returned_headers), forbid_redirect, passed(user_name),
      passed(password), passed(proxy), passed(proxy_user), passed(proxy_password), timeout_seconds,
      passed(redirect_location), passed(status_text), passed(returned_bytes), auto_merge_cookies);
  pump_passes = message_pump_passes() - passes_before;
  return as_string(result);
}

void VisitCall::fill_outputs_with_sentinels() {
  cookies = text(sentinel_for("cookies"));
  returned_cookies = text(sentinel_for("returned_cookies"));
  returned_headers = text(sentinel_for("returned_headers"));
  redirect_location = text(sentinel_for("redirect_location"));
  status_text = text(sentinel_for("status_text"));
  const std::string bytes = sentinel_for("returned_bytes");
  returned_bytes = bytes_from_buffer(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

std::string VisitCall::outputs_changed() const {
  std::string changed;
  auto check = [&](std::string_view name, const std::string& held) {
    if (held != sentinel_for(name)) changed.append(changed.empty() ? "" : " ").append(name);
  };
  check("cookies", as_string(cookies));
  check("returned_cookies", as_string(returned_cookies));
  check("returned_headers", as_string(returned_headers));
  check("redirect_location", as_string(redirect_location));
  check("returned_bytes", as_string(returned_bytes));
  return changed;
}

void HttpVisitTest::SetUp() {
  register_installed_components();
}

void HttpVisitTest::TearDown() {
  EXPECT_EQ(apartment_entries(), 0u) << "the apartment is left as often as it was entered";
  EXPECT_EQ(regexp_objects_alive(), 0) << "no regular expression is left over";
}

}  // namespace http_visit_test
