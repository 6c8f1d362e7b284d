// What the end-to-end tests of the program share: the program under test, the scripted music
// service its hosts point at, the answers it gives, and the texts the program shows.
#pragma once

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/piped_program.h"
#include "tests/support/scripted_music_service.h"
#include "tests/support/terminal_session.h"

namespace end_to_end {

using test_support::Endpoint;

inline const std::string kProgram = PROGRAM_UNDER_TEST;
inline constexpr char kUtf8Locale[] = "C.UTF-8";
inline constexpr char kGbkLocale[] = "zh_CN.GBK";

// The bytes of a UTF-8 literal (the tests' narrow literals are GBK).
inline std::string utf8(std::u8string_view text) {
  return {text.begin(), text.end()};
}

// UTF-8 `text` as a terminal of `locale` shows it: GBK bytes in the GBK locale, else unchanged.
inline std::string shown_in(std::string_view locale, std::string text) {
  if (locale != kGbkLocale) return text;
  const iconv_t to_gbk = iconv_open("GBK", "UTF-8");
  std::string gbk(text.size(), '\0');
  char* in = text.data();
  char* out = gbk.data();
  std::size_t in_left = text.size(), out_left = gbk.size();
  const bool converted = iconv(to_gbk, &in, &in_left, &out, &out_left) != static_cast<size_t>(-1);
  iconv_close(to_gbk);
  gbk.resize(converted ? gbk.size() - out_left : 0);
  return gbk;
}

inline const std::string kPrompt = utf8(u8"输入检索的关键词：\r\n");
inline const std::string kComplete = utf8(u8"检索完成\r\n");

// The terminal echoes what is typed and shows each line end as CR LF; the program's own CR LF
// comes out as CR CR LF.
inline std::string on_screen(std::string_view text) {
  std::string shown;
  for (char c : text) {
    if (c == '\n') shown += "\r";
    shown += c;
  }
  return shown;
}

// The interactive listing as a one-shot or batch search prints it: lines end in LF alone.
inline std::string with_line_feeds(std::string listing) {
  std::erase(listing, '\r');
  return listing;
}

// How many lines `text` holds.
inline long line_count(std::string_view text) {
  return std::count(text.begin(), text.end(), '\n');
}

// One entry of a listing as the program prints it.
inline std::string entry(int number, std::string_view filename, std::string_view address) {
  return std::to_string(number) + "." + std::string(filename) + "\r\n" + std::string(address) +
         "\r\n";
}

// The listing of a search whose service knows no song.
inline const std::string kEmptyListing = "1.\r\n\r\n2.\r\n\r\n3.\r\n\r\n4.\r\n\r\n5.\r\n\r\n";

// One pass of the cycle on standard output: prompt, listing, completion line.
inline std::string pass(std::string_view listing = kEmptyListing) {
  return kPrompt + std::string(listing) + kComplete;
}

// A hit of the song search's answer: a hash and a file name, each given as its JSON text.
inline std::string hit_json(std::string_view hash, std::string_view filename) {
  return R"({"hash":)" + std::string(hash) + R"(,"filename":)" + std::string(filename) +
         R"(,"duration":213})";
}

// The song search's answer holding `hits`.
inline std::string search_answer(const std::vector<std::string>& hits) {
  std::string info;
  for (const std::string& hit : hits)
    info += (info.empty() ? "" : ",") + hit;
  return R"({"status":1,"error":"","data":{"total":)" + std::to_string(hits.size()) +
         R"(,"info":[)" + info + "]}}";
}

// The play address the tests' service gives the song with `hash`.
inline std::string play_address(std::string_view hash) {
  return "http://media.test/" + std::string(hash) + ".mp3";
}

// Sets an environment variable for the programs this test starts, and restores it.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    set(value);
  }
  ~ScopedVariable() { set(old_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  void set(const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name_, value->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  const char* name_;
  std::optional<std::string> old_;
};

// Each test gets the scripted service on the hosts the program under test was built with.
class ProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(service_.listening())
        << service_.failure()
        << "another program holds the address; configure free ones with "
           "-DSONGSEARCH_TEST_SEARCH_HOST=127.x.y.1:port "
           "-DSONGSEARCH_TEST_PLAY_HOST=127.x.y.2:port";
  }

  // The search finds `hits`; the play information of a known hash is its play_address, and
  // an empty hash is a 404 without url, as the service answers an unknown one.
  void serve(const std::vector<std::string>& hits) {
    service_.answer(Endpoint::search, {200, search_answer(hits)});
    service_.handle(
        Endpoint::play_info, [](const httplib::Request& request, httplib::Response& response) {
          const std::string hash = request.get_param_value("hash");
          response.status = hash.empty() ? 404 : 200;
          response.set_content(hash.empty() ? R"({"status":0})"
                                            : R"({"status":1,"url":")" + play_address(hash) + "\"}",
                               "application/json; charset=utf-8");
        });
  }

  test_support::ScriptedMusicService service_{TEST_SEARCH_HOST, TEST_PLAY_HOST};
};

// Five songs with Chinese names and the listing the program makes of them.
inline const std::vector<std::string> kFiveSongs = {
    hit_json(R"("A1")", utf8(u8R"("林小满 - 月亮晒干了衣裳")")),
    hit_json(R"("B2")", utf8(u8R"("苏沐川 - 给月亮写信的人")")),
    hit_json(R"("C3")", utf8(u8R"("白鹭乐队 - 月亮掉进咖啡杯")")),
    hit_json(R"("D4")", utf8(u8R"("何知秋 - 井底的月亮")")),
    hit_json(R"("E5")", utf8(u8R"("The Paper Lanterns - Moonlight")")),
};
inline const std::string kFiveSongsListing =
    entry(1, utf8(u8"林小满 - 月亮晒干了衣裳"), play_address("A1")) +
    entry(2, utf8(u8"苏沐川 - 给月亮写信的人"), play_address("B2")) +
    entry(3, utf8(u8"白鹭乐队 - 月亮掉进咖啡杯"), play_address("C3")) +
    entry(4, utf8(u8"何知秋 - 井底的月亮"), play_address("D4")) +
    entry(5, "The Paper Lanterns - Moonlight", play_address("E5"));

}  // namespace end_to_end
