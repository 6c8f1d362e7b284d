#include "tests/support/scripted_music_service.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace {

using test_support::Endpoint;
using test_support::ScriptedMusicService;

// Sends `request` as it stands to `host` ("address:port") and reads the answer to its end.
std::string exchange(const std::string& host, std::string_view request) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(std::stoi(host.substr(host.rfind(':') + 1))));
  ::inet_pton(AF_INET, host.substr(0, host.rfind(':')).c_str(), &address.sin_addr);
  const int connection = ::socket(AF_INET, SOCK_STREAM, 0);
  std::string answer;
  if (::connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::send(connection, request.data(), request.size(), MSG_NOSIGNAL) ==
          static_cast<ssize_t>(request.size())) {
    char chunk[4096];
    for (ssize_t count; (count = ::recv(connection, chunk, sizeof chunk, 0)) > 0;)
      answer.append(chunk, static_cast<std::size_t>(count));
  }
  ::close(connection);
  return answer;
}

class ScriptedMusicServiceTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(service_.listening()) << service_.failure(); }

  ScriptedMusicService service_{"127.0.0.1:0", "127.0.0.2:0"};
};

TEST_F(ScriptedMusicServiceTest, RecordsEveryRequestAsItArrivedWithItsHeadersInOrder) {
  const std::string search =
      "GET /api/v3/search/song?keyword=a&page=1 HTTP/1.1\r\n"
      "User-Agent: probe\r\nAccept: */*\r\nHost: s\r\nAccept: again\r\n\r\n";
  const std::string broken =
      "GET /app/i/getSongInfo.php?hash=a b&cmd=playInfo HTTP/1.1\r\n"
      "Host: p\r\n\r\n";
  EXPECT_NE(exchange(service_.host(Endpoint::search), search).find(R"({"data":{"info":[]}})"),
            std::string::npos);
  exchange(service_.host(Endpoint::play_info), broken);

  const auto requests = service_.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].endpoint, Endpoint::search);
  EXPECT_EQ(requests[0].head, search);
  EXPECT_EQ(requests[0].target, "/api/v3/search/song?keyword=a&page=1");
  using Headers = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(
      requests[0].headers,
      (Headers{{"User-Agent", "probe"}, {"Accept", "*/*"}, {"Host", "s"}, {"Accept", "again"}}));
  // A request line that HTTP refuses is recorded all the same.
  EXPECT_EQ(requests[1].endpoint, Endpoint::play_info);
  EXPECT_EQ(requests[1].head, broken);
  EXPECT_EQ(requests[1].target, "/app/i/getSongInfo.php?hash=a b&cmd=playInfo");
}

TEST_F(ScriptedMusicServiceTest, AnswersAsScriptedRawBytesIncluded) {
  service_.answer(Endpoint::search, {404, "<html>gone</html>", "text/html", {{"X-Trace", "1"}}});
  const std::string answer =
      exchange(service_.host(Endpoint::search), "GET / HTTP/1.1\r\nHost: s\r\n\r\n");
  EXPECT_TRUE(answer.starts_with("HTTP/1.1 404 Not Found\r\n")) << answer;
  EXPECT_NE(answer.find("X-Trace: 1\r\n"), std::string::npos);
  EXPECT_TRUE(answer.ends_with("\r\n\r\n<html>gone</html>"));

  const std::string raw("\0\xFFnot http", 10);
  service_.answer_raw(Endpoint::play_info, raw);
  EXPECT_EQ(exchange(service_.host(Endpoint::play_info), "GET / HTTP/1.1\r\n\r\n"), raw);
  service_.answer_raw(Endpoint::play_info, "");
  EXPECT_EQ(exchange(service_.host(Endpoint::play_info), "GET / HTTP/1.1\r\n\r\n"), "");
  EXPECT_EQ(service_.requests().size(), 3u);
}

}  // namespace
