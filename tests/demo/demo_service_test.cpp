// The demo music service, as scripts/run starts it: both endpoints answering its catalog.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include <string>
#include <string_view>

#include "tests/support/piped_program.h"

namespace {

using test_support::PipedProgram;

std::string utf8(std::u8string_view text) {
  return {text.begin(), text.end()};
}

std::size_t count_of(std::string_view text, std::string_view sought) {
  std::size_t count = 0;
  for (std::size_t at = text.find(sought); at != std::string_view::npos;
       at = text.find(sought, at + 1)) {
    ++count;
  }
  return count;
}

// One service per test, on a port it chooses.
class DemoServiceTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(service_.wait_for_output("song search on 127.0.0.1:")) << service_.err();
    port_ = std::stoi(service_.out().substr(service_.out().find("127.0.0.1:") + 10));
    ASSERT_TRUE(service_.wait_for_output("\n"));
    ASSERT_NE(service_.out().find("play info on 127.0.0.2:" + std::to_string(port_) + "\n"),
              std::string::npos)
        << service_.out();
  }

  httplib::Result get(const char* address, const std::string& target) {
    httplib::Client client(address, port_);
    return client.Get(target);
  }
  httplib::Result search(const std::string& query) {
    return get("127.0.0.1", "/api/v3/search/song?" + query);
  }
  httplib::Result play_info(const std::string& query) {
    return get("127.0.0.2", "/app/i/getSongInfo.php?" + query);
  }

  PipedProgram service_{DEMO_SERVICE};
  int port_ = 0;
};

TEST_F(DemoServiceTest, FindsTheFirstPageOfSongsWhoseTitleOrArtistHoldsTheKeyword) {
  const auto moon = search("keyword=%E6%9C%88%E4%BA%AE&page=1&pagesize=5");
  ASSERT_TRUE(moon);
  EXPECT_EQ(moon->status, 200);
  EXPECT_EQ(moon->get_header_value("Content-Type"), "application/json; charset=utf-8");
  EXPECT_TRUE(
      moon->body.starts_with(utf8(u8R"({"status":1,"error":"","data":{"keyword":"月亮",)"
                                  u8R"("page":1,"pagesize":5,"total":8,"info":[)"
                                  u8R"({"hash":"06511DE10C5DB26FCE11766464F318D5",)"
                                  u8R"("filename":"林小满 - 月亮晒干了衣裳",)")))
      << moon->body;
  EXPECT_EQ(count_of(moon->body, "\"hash\":"), 5u);

  const auto last_page = search("keyword=%E6%9C%88%E4%BA%AE&page=2&pagesize=5");
  ASSERT_TRUE(last_page);
  EXPECT_EQ(count_of(last_page->body, "\"hash\":"), 3u);
  EXPECT_NE(last_page->body.find(utf8(u8"Midnight Tram (月亮版)")), std::string::npos);

  const auto any_case = search("keyword=ZO%C3%8B&page=1&pagesize=5");  // "ZOË"
  ASSERT_TRUE(any_case);
  EXPECT_EQ(count_of(any_case->body, utf8(u8"\"singername\":\"Zoë Marlowe\"")), 2u);
}

TEST_F(DemoServiceTest, ABlankOrUnknownKeywordFindsNothingAndTheKeywordComesBackAsValidJson) {
  for (const std::string query : {"keyword=&page=1&pagesize=5", "keyword=%20%20&page=1",
                                  "keyword=no%20such%20song&page=1&pagesize=5"}) {
    const auto answer = search(query);
    ASSERT_TRUE(answer);
    EXPECT_NE(answer->body.find(R"("total":0,"info":[])"), std::string::npos) << answer->body;
  }
  const auto hostile = search("keyword=%22%5C%0A%E2%80%A8%FF&page=1&pagesize=5");
  ASSERT_TRUE(hostile);
  EXPECT_NE(hostile->body.find(utf8(u8R"("keyword":"\"\\\u000A\u2028�")")), std::string::npos)
      << hostile->body;
}

TEST_F(DemoServiceTest, GivesThePlayAddressOfAKnownHashAndA404WithoutOneForAnyOther) {
  const auto known = play_info("hash=06511de10c5db26fce11766464f318d5&cmd=playInfo");
  ASSERT_TRUE(known);
  EXPECT_EQ(known->status, 200);
  EXPECT_NE(known->body.find("\"url\":\"http://127.0.0.2:" + std::to_string(port_) +
                             "/media/06511DE10C5DB26FCE11766464F318D5.wav\"}"),
            std::string::npos)
      << known->body;

  for (const char* query :
       {"hash=&cmd=playInfo", "hash=00000000000000000000000000000000&cmd=playInfo"}) {
    const auto unknown = play_info(query);
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 404);
    EXPECT_EQ(unknown->body.find("url"), std::string::npos);
  }
}

TEST_F(DemoServiceTest, ThePlayAddressAnswersAFewSecondsOfWavAudioWithRanges) {
  const std::string path = "/media/06511DE10C5DB26FCE11766464F318D5.wav";
  const auto whole = get("127.0.0.2", path);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->status, 200);
  EXPECT_EQ(whole->get_header_value("Content-Type"), "audio/wav");
  const auto little_endian = [&](std::size_t at) {
    std::size_t value = 0;
    for (std::size_t byte = 4; byte-- > 0;) {
      value = value * 256 + static_cast<unsigned char>(whole->body[at + byte]);
    }
    return value;
  };
  ASSERT_GT(whole->body.size(), 3 * 22'050 * 2u);  // seconds of 16-bit samples at 22,050 Hz
  EXPECT_EQ(little_endian(4), whole->body.size() - 8);
  EXPECT_EQ(little_endian(40), whole->body.size() - 44);
  EXPECT_EQ(whole->get_header_value("Content-Length"), std::to_string(whole->body.size()));
  EXPECT_EQ(whole->body.substr(0, 4), "RIFF");
  EXPECT_EQ(whole->body.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(whole->body.substr(36, 4), "data");
  EXPECT_NE(whole->body, get("127.0.0.2", "/media/FFC4A34D1AC9F6CDA7A75AC895F91EF2.wav")->body);

  httplib::Client client("127.0.0.2", port_);
  const auto rest = client.Get(path, {{"Range", "bytes=100000-"}});
  ASSERT_TRUE(rest);
  EXPECT_EQ(rest->status, 206);
  EXPECT_EQ(rest->get_header_value("Content-Range"), "bytes 100000-" +
                                                         std::to_string(whole->body.size() - 1) +
                                                         "/" + std::to_string(whole->body.size()));
  EXPECT_TRUE(rest->body == whole->body.substr(100000));

  const auto unknown = get("127.0.0.2", "/media/00000000000000000000000000000000.wav");
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->status, 404);
}

TEST_F(DemoServiceTest, EachHostAnswersOnlyItsOwnEndpointAndEveryRequestLineIsLogged) {
  // The service logs a request after answering it, from the thread that served it, so each log
  // line is awaited before the next request goes out.
  const std::string port = std::to_string(port_);
  const auto search_on_play_host = get("127.0.0.2", "/api/v3/search/song?keyword=a");
  ASSERT_TRUE(search_on_play_host);
  EXPECT_EQ(search_on_play_host->status, 404);
  EXPECT_TRUE(service_.wait_for_output("127.0.0.2:" + port +
                                       " GET /api/v3/search/song?keyword=a HTTP/1.1 -> 404\n"));

  const auto play_on_search_host = get("127.0.0.1", "/app/i/getSongInfo.php?hash=&cmd=playInfo");
  ASSERT_TRUE(play_on_search_host);
  EXPECT_EQ(play_on_search_host->status, 404);
  EXPECT_TRUE(service_.wait_for_output(
      "127.0.0.1:" + port + " GET /app/i/getSongInfo.php?hash=&cmd=playInfo HTTP/1.1 -> 404\n"));

  service_.signal(SIGTERM);
  const test_support::ProgramRun run = service_.finish();
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_FALSE(run.timed_out);
}

}  // namespace
