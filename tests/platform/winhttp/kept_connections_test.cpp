// Connections kept from one request to the next: which requests leave theirs, and what a later
// request sees when the server dropped a kept one.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "tests/platform/winhttp/winhttp_client.h"
#include "tests/support/raw_http_server.h"

namespace {

using test_support::http_response;
using test_support::RawHttpServer;
using test_support::ReceivedRequest;
using test_support::Socket;
using winhttp_test::fetch;
using winhttp_test::Options;
using winhttp_test::Stage;
using winhttp_test::wide;

const std::string kOk = http_response("200 OK", "", "ok");

// Answers the first request with `first`, every later one with kOk.
RawHttpServer::Handler first_then_ok(std::string first) {
  auto answered = std::make_shared<std::atomic<int>>(0);
  return [first, answered](const ReceivedRequest&, Socket& socket) {
    socket.send(answered->fetch_add(1) == 0 ? first : kOk);
  };
}

TEST(KeptConnectionsTest, ARequestLeavesItsConnectionForTheNextOnlyWhenItsAnswerAllowsIt) {
  struct Case {
    const char* what;
    std::string first_answer;
    Options first;
    bool read_to_the_end;
    int connections;
  };
  Options without_keep_alive;
  without_keep_alive.disabled_features = WINHTTP_DISABLE_KEEP_ALIVE;
  Options with_credentials;
  with_credentials.user_name = u"user";
  with_credentials.password = u"secret";
  const std::string partial = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabcd";
  const Case cases[] = {
      {"a whole answer", kOk, {}, true, 1},
      {"an answer that closes",
       http_response("200 OK", "Connection: close\r\n", "ok"),
       {},
       true,
       2},
      {"an HTTP/1.0 answer", "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", {}, true, 2},
      {"a request without keep-alive", kOk, without_keep_alive, true, 2},
      {"a request with credentials", kOk, with_credentials, true, 2},
      {"a body not read to its end", partial, {}, false, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RawHttpServer server(first_then_ok(c.first_answer));
    if (c.read_to_the_end) {
      ASSERT_EQ(fetch(wide(server.url("/1")), c.first).stage, Stage::kDone);
    } else {
      winhttp_test::OpenedRequest opened(server.port(), u"/1");
      ASSERT_TRUE(opened.send_and_receive());
    }
    const auto second = fetch(wide(server.url("/2")));
    ASSERT_EQ(second.stage, Stage::kDone) << second.error;
    EXPECT_EQ(second.body, "ok");
    EXPECT_EQ(server.connections(), c.connections);
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.requests()[1].bytes(),
              "GET /2 HTTP/1.1\r\nHost: " + server.authority() + "\r\n\r\n")
        << "a kept connection changes nothing in the request";
  }
}
TEST(KeptConnectionsTest, AKeptConnectionTheServerDroppedIsReplacedByAFreshOne) {
  auto guard = std::make_shared<std::mutex>();
  auto sockets = std::make_shared<std::set<int>>();
  // Each connection answers one request, and drops the next without a word.
  RawHttpServer server([guard, sockets](const ReceivedRequest&, Socket& socket) {
    bool first_on_connection = false;
    {
      std::lock_guard lock(*guard);
      first_on_connection = sockets->insert(socket.descriptor()).second;
    }
    if (first_on_connection) {
      socket.send(kOk);
    } else {
      socket.close();
    }
  });
  Options post;
  post.verb = u"POST";
  post.body = "a=1";
  ASSERT_EQ(fetch(wide(server.url("/1"))).stage, Stage::kDone);
  const auto result = fetch(wide(server.url("/2")), post);
  ASSERT_EQ(result.stage, Stage::kDone) << result.error;
  EXPECT_EQ(result.body, "ok");
  EXPECT_EQ(server.connections(), 2);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[2].bytes(), requests[1].bytes()) << "the same request, body and all";
  EXPECT_EQ(requests[2].body, "a=1");
}

}  // namespace
