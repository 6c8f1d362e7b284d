// The charset step of a web request: RegexObject's search for the charset pattern over a 1,024-byte
// page head, then submatch_text(1, 1), against PCRE2-16 called directly in the same run (compile
// the pattern, match it against the head already in UTF-16, copy out group 1, free).
//
// RegexObject's side includes everything a request pays: a new component instance, the property
// writes through the bridge, the head's conversion to UTF-16, the match collection and the group's
// conversion back to GBK.
#include <benchmark/benchmark.h>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <string>
#include <string_view>

#include "platform/codepage/codepage.h"
#include "platform/installed_components.h"
#include "regex/regex_object.h"

namespace {

constexpr std::string_view kCharsetPattern = "<meta.+?charset=[^\\w]?([-\\w]+)";
constexpr std::u16string_view kDirectPattern = u"<meta.+?charset=[^\\w]?([-\\w]+)";
constexpr std::size_t kHeadSize = 1024;

// The first 1,024 bytes of a GBK page whose charset declaration comes after the other meta tags
// and links, as it often does.
const std::string& page_head() {
  static const std::string head = [] {
    std::string built =
        "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">\n"
        "<title>歌曲搜索 - 月亮代表我的心</title>\n";
    while (built.size() < 880)
      built += "<link rel=\"stylesheet\" href=\"/static/css/site.css\">\n";
    built += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\n";
    built.resize(kHeadSize, ' ');
    return built;
  }();
  return head;
}

std::u16string wide_page_head() {
  const std::string& head = page_head();
  std::u16string wide(head.size(), u'\0');
  const int length = MultiByteToWideChar(CP_GBK, 0, head.data(), static_cast<int>(head.size()),
                                         wide.data(), static_cast<int>(wide.size()));
  wide.resize(static_cast<std::size_t>(length));
  return wide;
}

void BM_RegexObjectCharsetStep(benchmark::State& state) {
  register_installed_components();
  RegexObject regex;
  const std::string& head = page_head();
  for (auto _ : state) {
    regex.search(kCharsetPattern, head);
    Text charset = regex.submatch_text(1, 1);
    benchmark::DoNotOptimize(charset.get());
  }
  const Text charset = regex.submatch_text(1, 1);
  if (charset.view() != "gb2312") state.SkipWithError("charset not found");
}
BENCHMARK(BM_RegexObjectCharsetStep);

void BM_Pcre2DirectCharsetStep(benchmark::State& state) {
  const std::u16string head = wide_page_head();
  const auto* subject = reinterpret_cast<PCRE2_SPTR>(head.data());
  std::u16string charset;
  for (auto _ : state) {
    int error = 0;
    PCRE2_SIZE error_offset = 0;
    pcre2_code* code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(kDirectPattern.data()), kDirectPattern.size(),
                      PCRE2_CASELESS, &error, &error_offset, nullptr);
    pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
    if (pcre2_match(code, subject, head.size(), 0, 0, data, nullptr) > 1) {
      const PCRE2_SIZE* offsets = pcre2_get_ovector_pointer(data);
      charset.assign(head, offsets[2], offsets[3] - offsets[2]);
    }
    pcre2_match_data_free(data);
    pcre2_code_free(code);
    benchmark::DoNotOptimize(charset.data());
  }
  if (charset != u"gb2312") state.SkipWithError("charset not found");
}
BENCHMARK(BM_Pcre2DirectCharsetStep);

}  // namespace

BENCHMARK_MAIN();
