// What http_visit makes of an answer: the status text, the header block with its cookies and
// redirect address, the body; redirects; broken servers; and the message pump's passes.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "http/http_visit.h"
#include "tests/http/http_visit_call.h"
#include "tests/support/raw_http_server.h"

namespace {

using http_visit_test::as_string;
using http_visit_test::HttpVisitTest;
using http_visit_test::text;
using http_visit_test::utf8;
using http_visit_test::VisitCall;
using test_support::answer_with;
using test_support::head_of_size;
using test_support::http_response;
using test_support::RawHttpServer;
using test_support::ReceivedRequest;
using test_support::Socket;

// The stall of a server that never goes on; the request's one-second time-out ends it first.
constexpr int kStallMilliseconds = 20000;
constexpr std::int32_t kShortTimeoutSeconds = 1;

// The header lines of a block that the routine reads one by one: the status line, each header
// line and the empty line that ends the block.
std::uint64_t lines_of(std::string_view block) {
  std::uint64_t lines = 0;
  for (std::size_t end = block.find("\r\n"); end != std::string_view::npos;
       end = block.find("\r\n", end + 2))
    ++lines;
  return lines;
}

// Whether an answer is an HTML page, which the charset step reads.
enum class Page { kNo, kYes };

// The passes of a complete request: one per stage on the way out, one per header line, and for
// a page one after the charset step.
std::uint64_t passes_of_complete_request(std::string_view block, Page page = Page::kNo) {
  return 9 + lines_of(block) + (page == Page::kYes ? 1 : 0);
}

using HttpVisitAnswerTest = HttpVisitTest;

TEST_F(HttpVisitAnswerTest, TheStatusTextIsTheStatusLineAfterItsVersion) {
  for (const auto& [status_line, status] : {
           std::pair{"HTTP/1.1 200 OK", "200 OK"},
           {"HTTP/1.0 201 Created", "201 Created"},
           {"HTTP/1.1 204", "204"},
           {"HTTP/1.1 500 内部错误", "500 内部错误"},
       }) {
    const std::string block = std::string(status_line) + "\r\nContent-Length: 0\r\n\r\n";
    RawHttpServer server(answer_with(block));
    VisitCall call(server.url("/"));
    EXPECT_EQ(call.run(), "");
    EXPECT_EQ(as_string(call.status_text), status);
    EXPECT_EQ(as_string(call.returned_headers), block);
    EXPECT_EQ(call.pump_passes, passes_of_complete_request(block));
  }
}

TEST_F(HttpVisitAnswerTest, AnErrorStatusIsAnAnswerWithItsPage) {
  RawHttpServer server(answer_with(http_response("404 Not Found", "", "<h1>missing</h1>")));
  VisitCall call(server.url("/nothing"));
  EXPECT_EQ(call.run(), "<h1>missing</h1>");
  EXPECT_EQ(as_string(call.status_text), "404 Not Found");
  EXPECT_EQ(as_string(call.returned_bytes), "<h1>missing</h1>");
}

TEST_F(HttpVisitAnswerTest, SetCookieLinesInAnyLetterCaseGiveTheCookieList) {
  RawHttpServer server(
      answer_with("HTTP/1.1 200 OK\r\nset-cookie: a=1; Path=/\r\nSET-COOKIE: b=2\r\n"
                  "Set-Cookie: 名=月亮; HttpOnly\r\nContent-Length: 2\r\n\r\nok"));
  VisitCall call(server.url("/"));
  EXPECT_EQ(call.run(), "ok");
  EXPECT_EQ(as_string(call.returned_cookies), "a=1; b=2; 名=月亮");
  EXPECT_EQ(as_string(call.returned_headers),
            "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; Path=/\r\nSet-Cookie: b=2\r\n"
            "Set-Cookie: 名=月亮; HttpOnly\r\nContent-Length: 2\r\n\r\n");
  EXPECT_EQ(as_string(call.cookies), "") << "no cookies given: nothing merged";

  RawHttpServer no_cookies(answer_with(http_response("200 OK", "", "ok")));
  VisitCall none(no_cookies.url("/"));
  EXPECT_EQ(none.run(), "ok");
  EXPECT_TRUE(none.returned_cookies.empty());
}

TEST_F(HttpVisitAnswerTest, GivenCookiesAreMergedWithTheAnswersUnlessMergingIsOff) {
  RawHttpServer server(
      answer_with(http_response("200 OK", "Set-Cookie: a=2; Path=/\r\nSet-Cookie: b=5\r\n", "")));
  for (const std::optional<bool> merge : {std::optional<bool>{}, std::optional{true}}) {
    VisitCall call(server.url("/"));
    call.cookies = text("a=1; c=3");
    call.cookies_given = true;
    call.auto_merge_cookies = merge;
    EXPECT_EQ(call.run(), "");
    EXPECT_EQ(server.requests().back().header("Cookie"), "a=1; c=3");
    EXPECT_EQ(as_string(call.returned_cookies), "a=2; b=5; c=3");
    EXPECT_EQ(as_string(call.cookies), "a=2; b=5; c=3");
  }

  VisitCall unmerged(server.url("/"));
  unmerged.cookies = text("a=1; c=3");
  unmerged.cookies_given = true;
  unmerged.auto_merge_cookies = false;
  EXPECT_EQ(unmerged.run(), "");
  EXPECT_EQ(as_string(unmerged.returned_cookies), "a=2; b=5");
  EXPECT_EQ(as_string(unmerged.cookies), "a=1; c=3");
}

TEST_F(HttpVisitAnswerTest, TheLastLocationLineInAnyLetterCaseIsTheRedirectAddress) {
  RawHttpServer server(answer_with(http_response(
      "200 OK", "LOCATION: /first\r\nContent-Location: /not-this\r\nlocation: /歌/last?x=1\r\n",
      "")));
  VisitCall call(server.url("/"));
  call.fill_outputs_with_sentinels();
  EXPECT_EQ(call.run(), "");
  EXPECT_EQ(as_string(call.redirect_location), "/歌/last?x=1");

  RawHttpServer without(answer_with(http_response("200 OK", "X-Location: /no\r\n", "")));
  VisitCall unchanged(without.url("/"));
  unchanged.fill_outputs_with_sentinels();
  EXPECT_EQ(unchanged.run(), "");
  EXPECT_EQ(as_string(unchanged.redirect_location), "sentinel redirect_location");
}

TEST_F(HttpVisitAnswerTest, TheResultEndsAtAZeroByteAndTheBytesAreWhole) {
  const std::string body("ab\0cd\xFF", 6);
  RawHttpServer server(answer_with(http_response("200 OK", "", body)));
  VisitCall call(server.url("/"));
  EXPECT_EQ(call.run(), "ab");
  EXPECT_EQ(as_string(call.returned_bytes), body);
}

// Only an HTML page is read for the charset its meta tag declares: a record of a JSON answer
// that holds such a tag decides nothing.
TEST_F(HttpVisitAnswerTest, OnlyAnHtmlAnswerIsDecodedInTheCharsetItDeclares) {
  const std::string title = utf8(u8"月亮");
  const std::string meta = "<meta charset=utf-8>";
  const std::string json = "[{\"title\":\"" + meta + "\"},{\"title\":\"" + title + "\"}]";
  const std::string page = "\r\n\t <html>" + meta + title + "</html>";
  const std::string decoded_page = "\r\n\t <html>" + meta + "月亮</html>";
  struct Answer {
    std::string content_type_line, body;
    Page page;
  };
  for (const Answer& answer : {
           Answer{"Content-Type: application/json; charset=utf-8\r\n", json, Page::kNo},
           Answer{"", json, Page::kNo},
           Answer{"Content-Type: application/json\r\n",
                  "[{\"title\":\"<meta charset=utf-16>\"},{\"title\":\"" + title + "\"}]",
                  Page::kNo},
           Answer{"Content-Type: text/plain\r\n", page, Page::kNo},
           Answer{"", page, Page::kYes},
           Answer{"content-type:Text/HTML ; charset=gbk\r\n", page, Page::kYes},
           Answer{"Content-Type: application/xhtml+xml\r\n", page, Page::kYes},
       }) {
    const std::string block = "HTTP/1.1 200 OK\r\n" + answer.content_type_line +
                              "Content-Length: " + std::to_string(answer.body.size()) + "\r\n\r\n";
    RawHttpServer server(answer_with(block + answer.body));
    VisitCall call(server.url("/"));
    const std::string result = call.run();
    EXPECT_EQ(result, answer.page == Page::kYes ? decoded_page : answer.body)
        << answer.content_type_line << answer.body;
    EXPECT_EQ(call.pump_passes, passes_of_complete_request(block, answer.page));
  }
}

// A caller that leaves the raw bytes out gets the text alone: no copy of a large body outlives the
// call in the variable it never reads.
TEST_F(HttpVisitAnswerTest, WithTheBytesLeftOutOnlyTheTextComesBack) {
  const std::string page = "<meta charset=utf-8>" + utf8(u8"月亮");
  RawHttpServer server(answer_with(http_response("200 OK", "", page)));
  HttpVisitVariables fresh;
  const Text result = http_visit_omitting_all(text(server.url("/")), fresh);
  EXPECT_EQ(as_string(result), "<meta charset=utf-8>月亮") << "the page is still decoded";
  EXPECT_TRUE(fresh.returned_bytes.empty());
  EXPECT_EQ(as_string(fresh.status_text), "200 OK");
}

TEST_F(HttpVisitAnswerTest, AnHtmlBodyDeclaringUtf8ComesBackInGbkAndJsonAsItCame) {
  const std::string page =
      "<html><head><meta charset=\"utf-8\"><title>" + utf8(u8"月亮") + "</title></head></html>";
  RawHttpServer html(answer_with(http_response("200 OK", "Content-Type: text/html\r\n", page)));
  VisitCall call(html.url("/"));
  EXPECT_EQ(call.run(), "<html><head><meta charset=\"utf-8\"><title>月亮</title></head></html>");
  EXPECT_EQ(as_string(call.returned_bytes), page) << "the bytes stay as they came";

  const std::string json = utf8(u8R"({"name":"月亮","charset":"utf-8"})");
  RawHttpServer service(answer_with(http_response("200 OK", "", json)));
  VisitCall search(service.url("/"));
  EXPECT_EQ(search.run(), json);
}

// Answers /1 with a redirect to /2 that sets the cookie hop=1, and /2 with "end" and end=1.
RawHttpServer::Handler one_redirect_setting_a_cookie() {
  return [](const ReceivedRequest& request, Socket& socket) {
    if (request.target() == "/1") {
      socket.send(http_response("302 Found", "Location: /2\r\nSet-Cookie: hop=1; Path=/\r\n", ""));
    } else {
      socket.send(http_response("200 OK", "Set-Cookie: end=1\r\n", "end"));
    }
  };
}

TEST_F(HttpVisitAnswerTest, ARedirectIsFollowedAndTheFinalAnswerIsRead) {
  RawHttpServer server(one_redirect_setting_a_cookie());
  VisitCall call(server.url("/1"));
  call.fill_outputs_with_sentinels();
  call.returned_cookies = Text();
  EXPECT_EQ(call.run(), "end");
  EXPECT_EQ(as_string(call.status_text), "200 OK");
  EXPECT_EQ(as_string(call.returned_headers),
            "HTTP/1.1 200 OK\r\nSet-Cookie: end=1\r\nContent-Length: 3\r\n\r\n");
  EXPECT_EQ(as_string(call.returned_cookies), "end=1") << "the final answer's cookies only";
  EXPECT_EQ(as_string(call.redirect_location), "sentinel redirect_location");
  EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(HttpVisitAnswerTest, WithRedirectsForbiddenTheRedirectIsTheAnswer) {
  RawHttpServer server(one_redirect_setting_a_cookie());
  VisitCall call(server.url("/1"));
  call.forbid_redirect = true;
  EXPECT_EQ(call.run(), "");
  EXPECT_EQ(as_string(call.status_text), "302 Found");
  EXPECT_EQ(as_string(call.redirect_location), "/2");
  EXPECT_EQ(as_string(call.returned_cookies), "hop=1");
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(HttpVisitAnswerTest, CookiesSetOnARedirectHopGoWithTheNextHopOnlyWhenCookiesWereGiven) {
  RawHttpServer server(one_redirect_setting_a_cookie());
  VisitCall given(server.url("/1"));
  given.cookies_given = true;  // given, though empty
  EXPECT_EQ(given.run(), "end");
  VisitCall omitted(server.url("/1"));
  EXPECT_EQ(omitted.run(), "end");

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].header("Cookie"), std::nullopt);
  EXPECT_EQ(requests[1].header("Cookie"), "hop=1");
  EXPECT_EQ(as_string(given.cookies), "end=1") << "merged into the given cookies";
  EXPECT_EQ(requests[3].header("Cookie"), std::nullopt);
}

// A failure stores its message, gives the empty result and leaves every other output as the
// caller's variable held it; the pump runs once for each stage entered.
struct Failure {
  const char* what;
  std::function<void(VisitCall&)> prepare;
  std::string_view message;
  std::uint64_t passes;
};

TEST_F(HttpVisitAnswerTest, EachFailureStoresItsMessageAndLeavesTheOtherOutputs) {
  RawHttpServer closing([](const ReceivedRequest&, Socket& socket) { socket.close(); });
  RawHttpServer stalling(
      [](const ReceivedRequest&, Socket& socket) { socket.wait_for_close(kStallMilliseconds); });
  RawHttpServer endless_head([](const ReceivedRequest&, Socket& socket) {
    socket.send("HTTP/1.1 200 OK\r\n");
    while (socket.send("X-More: more and more\r\n")) {
    }
  });
  RawHttpServer over_limit(answer_with(head_of_size(64 * 1024 + 1)));
  RawHttpServer looping(answer_with(http_response("301 Moved", "Location: /again\r\n", "")));
  const auto address = [](std::string url) {
    return [url](VisitCall& call) { call.url = text(url); };
  };
  const Failure failures[] = {
      {"no scheme", address("127.0.0.1/"), "701 解析URL地址失败!", 1},
      {"other scheme", address("ftp://127.0.0.1/"), "701 解析URL地址失败!", 1},
      {"unusable proxy",
       [&](VisitCall& call) {
         call.url = text(closing.url("/"));
         call.proxy = text("127.0.0.1:0");
       },
       "702 创建WinHttp会话失败!", 2},
      {"refused header line",
       [&](VisitCall& call) {
         call.url = text(closing.url("/"));
         call.extra_headers = text("X-Broken");
       },
       "710 设置协议头失败!", 6},
      {"unreachable",
       address("http://127.0.0.1:" + std::to_string(test_support::closed_loopback_port()) + "/"),
       "711 发送请求失败!", 7},
      {"closed before answering", address(closing.url("/")), "712 服务器未响应!", 8},
      {"stalled",
       [&](VisitCall& call) {
         call.url = text(stalling.url("/"));
         call.timeout_seconds = kShortTimeoutSeconds;
       },
       "712 服务器未响应!", 8},
      {"endless head", address(endless_head.url("/")), "712 服务器未响应!", 8},
      {"head over 64 KiB", address(over_limit.url("/")), "712 服务器未响应!", 8},
      {"redirect loop", address(looping.url("/")), "712 服务器未响应!", 8},
  };
  for (const Failure& failure : failures) {
    VisitCall call("");
    failure.prepare(call);
    call.fill_outputs_with_sentinels();
    call.cookies_given = true;
    EXPECT_EQ(call.run(), "") << failure.what;
    EXPECT_EQ(as_string(call.status_text), failure.message) << failure.what;
    EXPECT_EQ(call.outputs_changed(), "") << failure.what;
    EXPECT_EQ(call.pump_passes, failure.passes) << failure.what;
  }
}

// A body that breaks off keeps the bytes that came, and its read failure stays the status text.
TEST_F(HttpVisitAnswerTest, ABodyCutShortOrStalledKeepsWhatCameAndReportsTheFailedRead) {
  const std::string head =
      "HTTP/1.1 200 OK\r\nSet-Cookie: s=1\r\nLocation: /here\r\nContent-Length: 10\r\n\r\n";
  RawHttpServer cut([&](const ReceivedRequest&, Socket& socket) {
    socket.send(head + "abcd");
    socket.close();
  });
  RawHttpServer stalled([&](const ReceivedRequest&, Socket& socket) {
    socket.send(head + "abcd");
    socket.wait_for_close(kStallMilliseconds);
  });
  for (const RawHttpServer* server : {&cut, &stalled}) {
    VisitCall call(server->url("/"));
    call.timeout_seconds = kShortTimeoutSeconds;
    EXPECT_EQ(call.run(), "abcd");
    EXPECT_EQ(as_string(call.status_text), "713 读取数据失败!");
    EXPECT_EQ(as_string(call.returned_bytes), "abcd");
    EXPECT_EQ(as_string(call.returned_headers), head);
    EXPECT_EQ(as_string(call.returned_cookies), "s=1");
    EXPECT_EQ(as_string(call.redirect_location), "/here");
    EXPECT_EQ(call.pump_passes, passes_of_complete_request(head));
  }
}

// A server that never stops long enough for the idle time-out is ended by the request's
// deadline, twice the time-out, with the bytes that came.
TEST_F(HttpVisitAnswerTest, AServerThatTricklesItsBodyIsEndedAtTwiceTheTimeOut) {
  const std::string body(20, 'x');  // 5 s at a byte in 250 ms
  RawHttpServer trickling([&](const ReceivedRequest&, Socket& socket) {
    socket.send("HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\n");
    for (const char byte : body) {
      if (socket.wait_for_close(250) || !socket.send(std::string(1, byte))) return;
    }
  });
  VisitCall call(trickling.url("/"));
  call.timeout_seconds = kShortTimeoutSeconds;
  const std::string received = call.run();
  EXPECT_EQ(as_string(call.status_text), "713 读取数据失败!");
  EXPECT_FALSE(received.empty());
  EXPECT_LT(received.size(), body.size());
}

}  // namespace
