// What goes on the wire: the exact bytes each local server receives.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/platform/winhttp/winhttp_client.h"
#include "tests/support/forward_proxy.h"
#include "tests/support/raw_http_server.h"

namespace {

using test_support::answer_with;
using test_support::http_response;
using test_support::RawHttpServer;
using test_support::ReceivedRequest;
using test_support::Socket;
using winhttp_test::fetch;
using winhttp_test::Options;
using winhttp_test::Stage;
using winhttp_test::wide;

const std::string kOk = http_response("200 OK", "", "ok");

// The head a request for `target` carries when nothing is added to it.
std::string bare_head(const RawHttpServer& server, std::string_view request_line) {
  return std::string(request_line) + "\r\nHost: " + server.authority() + "\r\n\r\n";
}

TEST(RequestTest, APlainGetCarriesOnlyTheRequestLineAndHost) {
  RawHttpServer server(answer_with(kOk));
  const auto result = fetch(wide(server.url("/a/b?x=1&y=2")));
  ASSERT_EQ(result.stage, Stage::kDone) << result.error;
  EXPECT_EQ(result.body, "ok");
  EXPECT_TRUE(result.handles_closed);
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].bytes(), bare_head(server, "GET /a/b?x=1&y=2 HTTP/1.1"))
      << "no User-Agent without an agent, no Accept, nothing of libcurl's own";

  ASSERT_EQ(fetch(u"http://user:pw@" + wide(server.authority()) + u"/").stage, Stage::kDone);
  EXPECT_EQ(server.requests().at(1).bytes(), bare_head(server, "GET / HTTP/1.1"))
      << "the address's user name and password are not credentials";
}

TEST(RequestTest, TheObjectNameIsEscapedByTheTableAndOtherwiseSentAsItIs) {
  RawHttpServer server(answer_with(kOk));
  ASSERT_EQ(fetch(wide(server.url("")) + u"/a b/\u00FC/../c;d?q=#1\"%41").stage, Stage::kDone);
  EXPECT_EQ(server.requests().at(0).target(), "/a%20b/%C3%BC/../c;d?q=%231%22%41");
}

TEST(RequestTest, TheAgentAndTheCallersLinesAreAddedAndReplacedByName) {
  RawHttpServer server(answer_with(kOk));
  Options options;
  options.agent = u"Agent/1.0";
  options.headers =
      u"X-One: 1\r\nAccept: text/html\r\nx-one: 2\r\nX-Two:  two  \r\n\r\nX-Gone: 3\r\nX-Gone:";
  ASSERT_EQ(fetch(wide(server.url("/")), options).stage, Stage::kDone);
  EXPECT_EQ(server.requests().at(0).bytes(),
            "GET / HTTP/1.1\r\nHost: " + server.authority() +
                "\r\nUser-Agent: Agent/1.0\r\nX-One: 2\r\nAccept: text/html\r\nX-Two: two\r\n\r\n");

  options.headers = u"User-Agent: Mine";
  ASSERT_EQ(fetch(wide(server.url("/")), options).stage, Stage::kDone);
  EXPECT_EQ(server.requests().at(1).header("User-Agent"), "Mine");
  EXPECT_EQ(server.requests().at(1).bytes().find("Agent/1.0"), std::string::npos);
}

TEST(RequestTest, EachVerbGoesOutWithItsBodyAndNothingLibcurlWouldAdd) {
  RawHttpServer server(answer_with(kOk));
  const std::string host = "Host: " + server.authority() + "\r\n";
  auto send = [&](std::u16string verb, std::string body) {
    Options options;
    options.verb = std::move(verb);
    options.body = std::move(body);
    const auto result = fetch(wide(server.url("/v")), options);
    EXPECT_EQ(result.stage, Stage::kDone) << result.error;
    return server.requests().back().bytes();
  };
  EXPECT_EQ(send(u"POST", "a=1&b=2"),
            "POST /v HTTP/1.1\r\n" + host + "Content-Length: 7\r\n\r\na=1&b=2");
  EXPECT_EQ(send(u"POST", ""), "POST /v HTTP/1.1\r\n" + host + "Content-Length: 0\r\n\r\n");
  EXPECT_EQ(send(u"PUT", "x"), "PUT /v HTTP/1.1\r\n" + host + "Content-Length: 1\r\n\r\nx");
  EXPECT_EQ(send(u"DELETE", ""), "DELETE /v HTTP/1.1\r\n" + host + "\r\n");
  EXPECT_EQ(send(u"OPTIONS", ""), "OPTIONS /v HTTP/1.1\r\n" + host + "\r\n");
  EXPECT_EQ(send(u"TRACE", ""), "TRACE /v HTTP/1.1\r\n" + host + "\r\n");
  EXPECT_EQ(send(u"GET", "q"), "GET /v HTTP/1.1\r\n" + host + "Content-Length: 1\r\n\r\nq");
  EXPECT_EQ(send(u"HEAD", ""), "HEAD /v HTTP/1.1\r\n" + host + "\r\n");
  EXPECT_EQ(send(u"CONNECT", ""), "CONNECT /v HTTP/1.1\r\n" + host + "\r\n");

  // A body of over 1 MiB goes at once, without waiting for a 100 Continue.
  const std::string large(1536 * 1024, 'z');
  EXPECT_EQ(send(u"POST", large),
            "POST /v HTTP/1.1\r\n" + host + "Content-Length: 1572864\r\n\r\n" + large);
}

TEST(RequestTest, AHeadAnswerHasNoBodyToRead) {
  RawHttpServer server(answer_with("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"));
  Options options;
  options.verb = u"HEAD";
  const auto result = fetch(wide(server.url("/")), options);
  EXPECT_EQ(result.stage, Stage::kDone);
  EXPECT_EQ(result.body, "");
}

TEST(RequestTest, ServerCredentialsGoWithTheFirstRequest) {
  RawHttpServer server(answer_with(kOk));
  Options options;
  options.user_name = u"user";
  options.password = u"p\u00E4ss:word";
  ASSERT_EQ(fetch(wide(server.url("/")), options).stage, Stage::kDone);
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].header("Authorization"),
            "Basic " + test_support::base64("user:p\xC3\xA4ss:word"));
}

// Answers /1 ... /n with a redirect to the next, the last with 200.
RawHttpServer::Handler redirect_chain(std::vector<std::string> statuses, std::string extra = {}) {
  return [=](const ReceivedRequest& request, Socket& socket) {
    const std::size_t step = std::stoul(request.target().substr(1));
    if (step > statuses.size()) {
      socket.send(http_response("200 OK", "", "end"));
      return;
    }
    socket.send(http_response(statuses[step - 1],
                              "Location: /" + std::to_string(step + 1) + "\r\n" + extra, ""));
  };
}

TEST(RequestTest, RedirectsAreFollowedAndAPostBecomesAGetExceptOn307And308) {
  RawHttpServer server(redirect_chain(
      {"307 Temporary Redirect", "308 Permanent Redirect", "302 Found", "303 See Other"}));
  Options options;
  options.verb = u"POST";
  options.body = "data";
  const auto result = fetch(wide(server.url("/1")), options);
  ASSERT_EQ(result.stage, Stage::kDone) << result.error;
  EXPECT_EQ(result.body, "end");
  EXPECT_EQ(result.head.substr(0, 17), "HTTP/1.1 200 OK\r\n") << "the final answer's head only";
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 5u);
  EXPECT_EQ(requests[0].request_line(), "POST /1 HTTP/1.1");
  EXPECT_EQ(requests[1].request_line(), "POST /2 HTTP/1.1");
  EXPECT_EQ(requests[1].body, "data");
  EXPECT_EQ(requests[2].request_line(), "POST /3 HTTP/1.1");
  EXPECT_EQ(requests[2].body, "data");
  EXPECT_EQ(requests[3].bytes(), bare_head(server, "GET /4 HTTP/1.1"));
  EXPECT_EQ(requests[4].bytes(), bare_head(server, "GET /5 HTTP/1.1"));
}

TEST(RequestTest, TenRedirectsAreFollowedAndTheEleventhFails) {
  RawHttpServer ten(redirect_chain(std::vector<std::string>(10, "302 Found")));
  EXPECT_EQ(fetch(wide(ten.url("/1"))).stage, Stage::kDone);
  EXPECT_EQ(ten.requests().size(), 11u);

  RawHttpServer loop(answer_with(http_response("301 Moved", "Location: /again\r\n", "")));
  const auto result = fetch(wide(loop.url("/")));
  EXPECT_EQ(result.stage, Stage::kReceive);
  EXPECT_EQ(result.error, ERROR_WINHTTP_REDIRECT_FAILED);
  EXPECT_EQ(loop.requests().size(), 11u);
}

TEST(RequestTest, WithRedirectsSwitchedOffTheRedirectIsTheAnswer) {
  RawHttpServer server(redirect_chain({"302 Found"}));
  Options options;
  options.disabled_features = WINHTTP_DISABLE_REDIRECTS;
  const auto result = fetch(wide(server.url("/1")), options);
  ASSERT_EQ(result.stage, Stage::kDone);
  EXPECT_EQ(result.head, "HTTP/1.1 302 Found\r\nLocation: /2\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST(RequestTest, CookiesSetOnARedirectHopGoWithTheNextHopWhileTheSwitchIsOn) {
  RawHttpServer server(redirect_chain({"302 Found", "302 Found"}, "set-cookie: hop=1; Path=/\r\n"));
  ASSERT_EQ(fetch(wide(server.url("/1"))).stage, Stage::kDone);
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].header("Cookie"), std::nullopt);
  EXPECT_EQ(requests[1].header("Cookie"), "hop=1");
  EXPECT_EQ(requests[2].header("Cookie"), "hop=1");

  Options options;
  options.disabled_features = WINHTTP_DISABLE_COOKIES;
  ASSERT_EQ(fetch(wide(server.url("/1")), options).stage, Stage::kDone);
  requests = server.requests();
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_EQ(requests[4].header("Cookie"), std::nullopt);
  EXPECT_EQ(requests[5].header("Cookie"), std::nullopt);
}

TEST(RequestTest, TheSessionKeepsCookiesForItsNextRequestUnlessARequestSwitchesThemOff) {
  RawHttpServer server(answer_with(http_response("200 OK", "Set-Cookie: s=2\r\n", "")));
  winhttp_test::OpenedRequest first(server.port());
  ASSERT_TRUE(first.send_and_receive());
  for (const DWORD features : {DWORD{WINHTTP_DISABLE_COOKIES}, DWORD{0}}) {
    const HINTERNET request =
        WinHttpOpenRequest(first.connection, nullptr, u"/", nullptr, nullptr, nullptr, 0);
    EXPECT_TRUE(WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &features, 4));
    EXPECT_TRUE(WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, 0));
    EXPECT_TRUE(WinHttpReceiveResponse(request, nullptr));
    EXPECT_TRUE(WinHttpCloseHandle(request));
  }
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1].header("Cookie"), std::nullopt);
  EXPECT_EQ(requests[2].header("Cookie"), "s=2");
}

TEST(RequestTest, ProxyVariablesOfTheEnvironmentAreIgnored) {
  RawHttpServer server(answer_with(kOk));
  RawHttpServer environment_proxy(answer_with(kOk));
  const std::string proxy_url = environment_proxy.url("");
  setenv("http_proxy", proxy_url.c_str(), 1);
  setenv("HTTPS_PROXY", proxy_url.c_str(), 1);
  setenv("ALL_PROXY", proxy_url.c_str(), 1);
  EXPECT_EQ(fetch(wide(server.url("/"))).stage, Stage::kDone);

  test_support::ForwardProxy named_proxy;
  setenv("no_proxy", "*", 1);
  Options options;
  options.proxy = wide(named_proxy.authority());
  EXPECT_EQ(fetch(wide(server.url("/")), options).stage, Stage::kDone);
  unsetenv("http_proxy");
  unsetenv("HTTPS_PROXY");
  unsetenv("ALL_PROXY");
  unsetenv("no_proxy");
  EXPECT_EQ(environment_proxy.connections(), 0);
  EXPECT_EQ(named_proxy.request_heads().size(), 1u) << "no_proxy does not bypass a named proxy";
  EXPECT_EQ(server.requests().size(), 2u);
}

}  // namespace
