// What comes back: the head, the body, and each broken answer failing at the stage the platform
// reports it.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/platform/winhttp/winhttp_client.h"
#include "tests/support/raw_http_server.h"

namespace {

using test_support::answer_with;
using test_support::head_of_size;
using test_support::http_response;
using test_support::RawHttpServer;
using test_support::ReceivedRequest;
using test_support::Socket;
using winhttp_test::fetch;
using winhttp_test::Options;
using winhttp_test::Stage;
using winhttp_test::wide;

constexpr int kShortTimeout = 300;

Options with_timeout(int milliseconds) {
  Options options;
  options.timeout = milliseconds;
  return options;
}

// A head of exactly `size` bytes: a status line, filler lines, the empty line.

TEST(AnswerTest, TheHeadIsTheFinalAnswersBlockWithCrLfLineEnds) {
  RawHttpServer server(answer_with(
      "HTTP/1.1 100 Continue\r\n\r\n"
      "HTTP/1.1 103 Early Hints\r\nLink: </style.css>\r\n\r\n"
      "HTTP/1.1 200 OK\nset-cookie: a=1; Path=/\nX-Empty:\r\nContent-Length: 2\r\n\r\nhi"));
  const auto result = fetch(wide(server.url("/")));
  ASSERT_EQ(result.stage, Stage::kDone) << result.error;
  EXPECT_EQ(result.head,
            "HTTP/1.1 200 OK\r\nset-cookie: a=1; Path=/\r\nX-Empty:\r\nContent-Length: 2\r\n\r\n");
  EXPECT_EQ(result.body, "hi");
}

TEST(AnswerTest, TheHeaderQueryReportsTheSizeNeededThenFillsTheBuffer) {
  RawHttpServer server(answer_with("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"));
  winhttp_test::OpenedRequest opened(server.port());
  const HINTERNET request = opened.request;
  DWORD size = 0xDEADBEEF;
  EXPECT_FALSE(WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, nullptr, &size,
                                   nullptr));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  EXPECT_EQ(size, 0xDEADBEEFu) << "untouched before the answer";
  ASSERT_TRUE(opened.send_and_receive());

  const std::u16string expected = u"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
  const DWORD needed = static_cast<DWORD>((expected.size() + 1) * 2);
  size = 0;
  EXPECT_FALSE(WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, nullptr, &size,
                                   nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(size, needed) << "in bytes, the terminator included";
  std::u16string buffer(expected.size() + 1, u'#');
  size = needed - 2;
  EXPECT_FALSE(WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, buffer.data(),
                                   &size, nullptr));
  EXPECT_EQ(buffer[0], u'#');
  size = needed;
  ASSERT_TRUE(WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, buffer.data(),
                                  &size, nullptr));
  EXPECT_EQ(size, needed - 2);
  EXPECT_EQ(buffer, expected + u'\0');
}

TEST(AnswerTest, AnErrorStatusIsAnAnswerWithItsBody) {
  RawHttpServer server(answer_with(http_response("404 Not Found", "", "<h1>missing</h1>")));
  const auto result = fetch(wide(server.url("/nothing")));
  ASSERT_EQ(result.stage, Stage::kDone);
  EXPECT_TRUE(result.head.starts_with("HTTP/1.1 404 Not Found\r\n"));
  EXPECT_EQ(result.body, "<h1>missing</h1>");
}

TEST(AnswerTest, TheBodyArrivesByteForByteHoweverItIsFramedAndRead) {
  const std::string with_zero("a\0b\xFF", 4);
  RawHttpServer fixed(answer_with(http_response("200 OK", "", with_zero)));
  EXPECT_EQ(fetch(wide(fixed.url("/"))).body, with_zero);

  RawHttpServer chunked(
      answer_with("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Encoding: gzip\r\n\r\n"
                  "3\r\nabc\r\n2\r\nde\r\n0\r\nX-Trailer: t\r\n\r\n"));
  const auto result = fetch(wide(chunked.url("/")));
  EXPECT_EQ(result.body, "abcde") << "no decoding: the body is as it came";
  EXPECT_EQ(result.head.find("X-Trailer"), std::string::npos) << "trailers are not head lines";

  RawHttpServer closing([](const ReceivedRequest&, Socket& socket) {
    socket.send("HTTP/1.0 200 OK\r\n\r\nuntil the end");
    socket.close();
  });
  const auto until_closed = fetch(wide(closing.url("/")));
  EXPECT_EQ(until_closed.stage, Stage::kDone);
  EXPECT_EQ(until_closed.body, "until the end");

  std::string large(3 * 1024 * 1024 + 7, '\0');
  for (std::size_t i = 0; i < large.size(); ++i)
    large[i] = static_cast<char>(i * 31 + i / 4099);
  RawHttpServer big(answer_with(http_response("200 OK", "", large)));
  Options small_reads;
  small_reads.read_size = 1000;
  const auto read_in_pieces = fetch(wide(big.url("/")), small_reads);
  EXPECT_EQ(read_in_pieces.stage, Stage::kDone);
  EXPECT_TRUE(read_in_pieces.body == large);
  const auto read_as_offered = fetch(wide(big.url("/")));
  EXPECT_TRUE(read_as_offered.body == large);
}

TEST(AnswerTest, AServerThatNeverAnswersTimesOutWhileReceiving) {
  RawHttpServer server([](const ReceivedRequest&, Socket& socket) { socket.wait_for_close(5000); });
  const auto result = fetch(wide(server.url("/")), with_timeout(kShortTimeout));
  EXPECT_EQ(result.stage, Stage::kReceive);
  EXPECT_EQ(result.error, ERROR_WINHTTP_TIMEOUT);
  EXPECT_TRUE(result.handles_closed);
}

TEST(AnswerTest, AServerThatStallsInTheBodyFailsTheReadAndKeepsWhatCame) {
  RawHttpServer server([](const ReceivedRequest&, Socket& socket) {
    socket.send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabcd");
    socket.wait_for_close(5000);
  });
  const auto result = fetch(wide(server.url("/")), with_timeout(kShortTimeout));
  EXPECT_EQ(result.stage, Stage::kReadData);
  EXPECT_EQ(result.error, ERROR_WINHTTP_TIMEOUT);
  EXPECT_EQ(result.body, "abcd");
}

TEST(AnswerTest, AServerThatTricklesIsNotIdle) {
  // Eight bytes 100 ms apart: longer than the time-out in all, never idle for as long.
  RawHttpServer server([](const ReceivedRequest&, Socket& socket) {
    socket.send("HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\n");
    for (const char byte : std::string("abcdefgh")) {
      socket.wait_for_close(100);
      socket.send(std::string(1, byte));
    }
  });
  const auto result = fetch(wide(server.url("/")), with_timeout(500));
  EXPECT_EQ(result.stage, Stage::kDone) << result.error;
  EXPECT_EQ(result.body, "abcdefgh");
}

// Sends `start`, then the bytes of `trickled` one every `gap` ms until they run out or the client
// goes.
RawHttpServer::Handler trickle(std::string start, std::string trickled, int gap = 100) {
  return [start, trickled, gap](const ReceivedRequest&, Socket& socket) {
    socket.send(start);
    for (const char byte : trickled) {
      if (socket.wait_for_close(gap) || !socket.send(std::string(1, byte))) return;
    }
  };
}

TEST(AnswerTest, ARequestThatTricklesPastItsBoundsTimesOutWhereItWaits) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\n";
  const std::string body(40, 'b');  // 4 s at one byte in 100 ms
  struct Case {
    const char* what;
    RawHttpServer::Handler handler;
    DWORD deadline;
    WINHTTP_MINIMUM_RATE rate;
    Stage stage;
  };
  const Case cases[] = {
      {"a head that trickles",
       trickle("HTTP/1.1 200 OK\r\n", "X-Slow: " + body),
       700,
       {},
       Stage::kReceive},
      {"a body that trickles", trickle(head, body), 700, {}, Stage::kReadData},
      {"a body under the floor", trickle(head, body), 0, {20, 1}, Stage::kReadData},
      {"slow to start, then quick",
       [](const ReceivedRequest&, Socket& socket) {
         if (!socket.wait_for_close(400)) socket.send(http_response("200 OK", "", "quick"));
       },
       700,
       {20, 1},
       Stage::kDone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RawHttpServer server(c.handler);
    Options options = with_timeout(500);  // never idle that long
    options.deadline = c.deadline;
    options.minimum_rate = c.rate;
    const auto result = fetch(wide(server.url("/")), options);
    EXPECT_EQ(result.stage, c.stage);
    if (c.stage == Stage::kDone) continue;
    EXPECT_EQ(result.error, ERROR_WINHTTP_TIMEOUT);
    if (c.stage == Stage::kReadData) {
      EXPECT_FALSE(result.body.empty()) << "the bytes before the time-out are kept";
      EXPECT_LT(result.body.size(), body.size());
    }
  }
}

TEST(AnswerTest, ACallerThatStopsReadingIsNotTakenForASlowServer) {
  RawHttpServer server(answer_with(http_response("200 OK", "", "hello")));
  winhttp_test::OpenedRequest opened(server.port());
  const DWORD deadline = 200;
  ASSERT_TRUE(WinHttpSetOption(opened.request, WINHTTP_OPTION_DEADLINE, &deadline, 4));
  ASSERT_TRUE(opened.send_and_receive());
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  char buffer[16];
  DWORD read = 0;
  ASSERT_TRUE(WinHttpReadData(opened.request, buffer, sizeof buffer, &read)) << GetLastError();
  EXPECT_EQ(std::string(buffer, read), "hello");
}

TEST(AnswerTest, AServerThatClosesOrResetsBeforeAnsweringFailsTheReceive) {
  RawHttpServer closing([](const ReceivedRequest&, Socket& socket) { socket.close(); });
  const auto closed = fetch(wide(closing.url("/")));
  EXPECT_EQ(closed.stage, Stage::kReceive);
  EXPECT_EQ(closed.error, ERROR_WINHTTP_CONNECTION_ERROR);

  RawHttpServer resetting([](const ReceivedRequest&, Socket& socket) { socket.reset(); });
  const auto reset = fetch(wide(resetting.url("/")));
  EXPECT_EQ(reset.stage, Stage::kReceive);
  EXPECT_EQ(reset.error, ERROR_WINHTTP_CONNECTION_ERROR);

  RawHttpServer half_head([](const ReceivedRequest&, Socket& socket) {
    socket.send("HTTP/1.1 200 OK\r\nContent-Len");
    socket.close();
  });
  EXPECT_EQ(fetch(wide(half_head.url("/"))).stage, Stage::kReceive);

  RawHttpServer not_http(answer_with("SSH-2.0-OpenSSH\r\n\r\n"));
  EXPECT_EQ(fetch(wide(not_http.url("/"))).stage, Stage::kReceive);
}

TEST(AnswerTest, ABodyCutShortFailsTheReadAfterDeliveringWhatCame) {
  RawHttpServer server([](const ReceivedRequest&, Socket& socket) {
    socket.send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabcd");
    socket.close();
  });
  winhttp_test::OpenedRequest opened(server.port());
  ASSERT_TRUE(opened.send_and_receive());
  DWORD available = 0;
  char buffer[16];
  DWORD read = 0;
  ASSERT_TRUE(WinHttpQueryDataAvailable(opened.request, &available));
  ASSERT_EQ(available, 4u);
  ASSERT_TRUE(WinHttpReadData(opened.request, buffer, sizeof buffer, &read));
  EXPECT_EQ(std::string(buffer, read), "abcd");
  ASSERT_TRUE(WinHttpQueryDataAvailable(opened.request, &available));
  EXPECT_EQ(available, 1u) << "a read is due, to report the failure";
  read = 0xDEADBEEF;
  EXPECT_FALSE(WinHttpReadData(opened.request, buffer, sizeof buffer, &read));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_CONNECTION_ERROR);
  EXPECT_EQ(read, 0xDEADBEEFu) << "untouched on failure";
  available = 0xDEADBEEF;
  EXPECT_FALSE(WinHttpQueryDataAvailable(opened.request, &available));
  EXPECT_EQ(available, 0xDEADBEEFu);
}

TEST(AnswerTest, AHeadUpTo64KiBIsTakenAndALargerOneFailsTheReceive) {
  constexpr std::size_t kLimit = 64 * 1024;
  RawHttpServer at_limit(answer_with(head_of_size(kLimit)));
  const auto taken = fetch(wide(at_limit.url("/")));
  EXPECT_EQ(taken.stage, Stage::kDone) << taken.error;
  EXPECT_EQ(taken.head.size(), kLimit);

  RawHttpServer over_limit(answer_with(head_of_size(kLimit + 1)));
  const auto refused = fetch(wide(over_limit.url("/")));
  EXPECT_EQ(refused.stage, Stage::kReceive);
  EXPECT_EQ(refused.error, ERROR_WINHTTP_HEADER_SIZE_OVERFLOW);
}

TEST(AnswerTest, AnEndlessHeadOrAnEndlessRunOfInterimAnswersFailsTheReceive) {
  auto endless = [](std::string line) {
    return [line](const ReceivedRequest&, Socket& socket) {
      socket.send("HTTP/1.1 200 OK\r\n");
      while (socket.send(line)) {
      }
    };
  };
  RawHttpServer lines(endless("X-More: more and more\r\n"));
  const auto long_head = fetch(wide(lines.url("/")));
  EXPECT_EQ(long_head.stage, Stage::kReceive);
  EXPECT_EQ(long_head.error, ERROR_WINHTTP_HEADER_SIZE_OVERFLOW);

  RawHttpServer one_line(endless(std::string(4096, 'x')));
  EXPECT_EQ(fetch(wide(one_line.url("/"))).stage, Stage::kReceive);

  RawHttpServer interim([](const ReceivedRequest&, Socket& socket) {
    while (socket.send("HTTP/1.1 102 Processing\r\n\r\n")) {
    }
  });
  const auto interim_result = fetch(wide(interim.url("/")));
  EXPECT_EQ(interim_result.stage, Stage::kReceive);
  EXPECT_EQ(interim_result.error, ERROR_WINHTTP_HEADER_SIZE_OVERFLOW);
}

TEST(AnswerTest, AnUnreachableServerOrAnUnusableNameFailsTheSend) {
  const std::string closed_address =
      "http://127.0.0.1:" + std::to_string(test_support::closed_loopback_port());
  const auto refused = fetch(wide(closed_address) + u"/");
  EXPECT_EQ(refused.stage, Stage::kSend);
  EXPECT_EQ(refused.error, ERROR_WINHTTP_CANNOT_CONNECT);
  EXPECT_TRUE(refused.handles_closed);

  RawHttpServer redirecting(
      answer_with(http_response("302 Found", "Location: " + closed_address + "/\r\n", "")));
  const auto redirected = fetch(wide(redirecting.url("/")));
  EXPECT_EQ(redirected.stage, Stage::kReceive) << "a redirect target is reached while receiving";
  EXPECT_EQ(redirected.error, ERROR_WINHTTP_CANNOT_CONNECT);

  const auto unusable = fetch(u"http://bad host@x/");
  EXPECT_EQ(unusable.stage, Stage::kSend);
  EXPECT_EQ(unusable.error, ERROR_WINHTTP_NAME_NOT_RESOLVED);
}

TEST(AnswerTest, AServerThatAcceptsNoConnectionTimesOutWhileSending) {
  // A listener whose backlog is full: further connection attempts get no answer at all.
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(listener, 0);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  std::vector<int> queued;
  for (int i = 0; i < 3; ++i) {
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
    queued.push_back(client);
  }
  const auto result = fetch(u"http://127.0.0.1:" + wide(std::to_string(ntohs(address.sin_port))),
                            with_timeout(kShortTimeout));
  EXPECT_EQ(result.stage, Stage::kSend);
  EXPECT_EQ(result.error, ERROR_WINHTTP_TIMEOUT);
  for (const int client : queued)
    ::close(client);
  ::close(listener);
}

}  // namespace
