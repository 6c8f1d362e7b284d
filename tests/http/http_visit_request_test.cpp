// What http_visit puts on the wire: the exact bytes each local server or proxy receives.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "http/http_visit.h"
#include "platform/winhttp/winhttp.h"
#include "tests/http/http_visit_call.h"
#include "tests/support/forward_proxy.h"
#include "tests/support/httplib_server.h"
#include "tests/support/raw_http_server.h"
#include "tests/support/test_certificate.h"

namespace {

using http_visit_test::as_string;
using http_visit_test::default_lines;
using http_visit_test::Form;
using http_visit_test::HttpVisitTest;
using http_visit_test::text;
using http_visit_test::utf8;
using http_visit_test::VisitCall;
using test_support::answer_with;
using test_support::base64;
using test_support::ForwardProxy;
using test_support::http_response;
using test_support::HttplibServer;
using test_support::RawHttpServer;
using test_support::TestCertificate;

const std::string kOk = http_response("200 OK", "", "ok");

class HttpVisitRequestTest : public HttpVisitTest {
 protected:
  // The head a request carries: its request line, Host, the `lines` given, the empty line.
  std::string head(std::string_view request_line, std::string_view lines = default_lines()) const {
    return std::string(request_line) + "\r\nHost: " + server_.authority() + "\r\n" +
           std::string(lines) + "\r\n";
  }
  // The head of the last request the server received.
  std::string last_head() const { return server_.requests().back().head; }

  RawHttpServer server_{answer_with(kOk)};
};

TEST_F(HttpVisitRequestTest, TheSongSearchsCallSendsTheDefaultLinesAlone) {
  HttpVisitVariables fresh;
  const Text url = text(server_.url("/search?key=1"));
  EXPECT_EQ(as_string(http_visit_omitting_all(url, fresh)), "ok");
  ASSERT_EQ(server_.requests().size(), 1u);
  EXPECT_EQ(server_.requests()[0].bytes(), head("GET /search?key=1 HTTP/1.1"));
  EXPECT_EQ(as_string(fresh.status_text), "200 OK");
}

TEST_F(HttpVisitRequestTest, TheObjectNameIsThePathWithItsQueryOrASlash) {
  const std::string authority = "http://" + server_.authority();
  for (const auto& [address, target] : {
           std::pair{authority, "/"},
           {authority + "?x=1", "/"},  // no path: the query is not sent
           {authority + "/a/b?x=1&y=2", "/a/b?x=1&y=2"},
           {authority + "/", "/"},
           {authority + "/歌曲?名=月亮", "/%E6%AD%8C%E6%9B%B2?%E5%90%8D=%E6%9C%88%E4%BA%AE"},
       }) {
    VisitCall call(address);
    EXPECT_EQ(call.run(), "ok") << address;
    EXPECT_EQ(last_head(), head("GET " + std::string(target) + " HTTP/1.1")) << address;
  }
}

TEST_F(HttpVisitRequestTest, AnAddressWithoutHttpOrHttpsFailsToParse) {
  for (const std::string& address :
       {server_.authority() + "/", "ftp://" + server_.authority() + "/",
        std::string("http:/") + server_.authority(), std::string()}) {
    VisitCall call(address);
    EXPECT_EQ(call.run(), "") << address;
    EXPECT_EQ(as_string(call.status_text), "701 解析URL地址失败!") << address;
  }
  EXPECT_EQ(server_.connections(), 0);
}

TEST_F(HttpVisitRequestTest, TheMethodPicksTheVerbAndAnIndexOutsideTheTableSendsGet) {
  const std::pair<std::int32_t, std::string> verbs[] = {
      {0, "GET"},   {1, "POST"},    {2, "HEAD"}, {3, "PUT"},  {4, "OPTIONS"},  {5, "DELETE"},
      {6, "TRACE"}, {7, "CONNECT"}, {9, "GET"},  {-1, "GET"}, {INT_MIN, "GET"}};
  for (const auto& [method, verb] : verbs) {
    VisitCall call(server_.url("/v"));
    call.method = method;
    EXPECT_EQ(call.run(), verb == "HEAD" ? "" : "ok") << method;
    EXPECT_EQ(as_string(call.status_text), "200 OK") << method;
    const auto request = server_.requests().back();
    EXPECT_EQ(request.request_line(), verb + " /v HTTP/1.1") << method;
    EXPECT_EQ(request.header("Content-Type").has_value(), verb == "POST") << method;
  }
}

TEST_F(HttpVisitRequestTest, APostCarriesItsBodyAndTheFormContentType) {
  VisitCall call(server_.url("/form"));
  call.method = kHttpPost;
  call.post_data = text("a=1&b=中文");
  EXPECT_EQ(call.run(), "ok");
  EXPECT_EQ(server_.requests().at(0).bytes(),
            head("POST /form HTTP/1.1", default_lines(Form::kYes) + "Content-Length: 10\r\n") +
                "a=1&b=中文");

  VisitCall empty(server_.url("/form"));
  empty.method = kHttpPost;
  EXPECT_EQ(empty.run(), "ok");
  EXPECT_EQ(server_.requests().at(1).bytes(),
            head("POST /form HTTP/1.1", default_lines(Form::kYes) + "Content-Length: 0\r\n"));

  VisitCall put(server_.url("/form"));
  put.method = 3;
  put.post_data = text("x");
  EXPECT_EQ(put.run(), "ok");
  EXPECT_EQ(server_.requests().at(2).bytes(),
            head("PUT /form HTTP/1.1", default_lines() + "Content-Length: 1\r\n") + "x")
      << "no form Content-Type for another verb";
}

TEST_F(HttpVisitRequestTest, OnlyAContentTypeInExactlyThatLetterCaseKeepsTheFormOne) {
  auto post_with = [&](std::string_view extra) {
    VisitCall call(server_.url("/"));
    call.method = kHttpPost;
    call.post_data = text("q=1");
    call.extra_headers = text(extra);
    EXPECT_EQ(call.run(), "ok") << extra;
    return server_.requests().back();
  };
  EXPECT_EQ(post_with("Content-Type: text/plain").header("Content-Type"), "text/plain");
  EXPECT_EQ(post_with("Content-Type:text/plain").header("Content-Type"), "text/plain")
      << "the key has no blank after its colon";
  // The form line is added and replaces the caller's line of that name.
  const auto lower = post_with("content-type: text/plain");
  EXPECT_EQ(lower.header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(lower.head.find("text/plain"), std::string::npos);
}

TEST_F(HttpVisitRequestTest, TheCallersLinesComeFirstAndSuppressDefaultsOfTheirNameInAnyCase) {
  VisitCall call(server_.url("/"));
  call.extra_headers = text("X-First: 1\r\nX-Name: 中文");
  EXPECT_EQ(call.run(), "ok");
  EXPECT_EQ(last_head(), head("GET / HTTP/1.1", "X-First: 1\r\nX-Name: 中文\r\n" + default_lines()))
      << "GBK goes out as GBK";

  VisitCall lower(server_.url("/"));
  lower.extra_headers = text("user-agent: Mine\r\naccept: */*\r\n");
  EXPECT_EQ(lower.run(), "ok");
  EXPECT_EQ(last_head(), head("GET / HTTP/1.1",
                              "user-agent: Mine\r\naccept: */*\r\nAccept-Encoding: gbk, GB2312\r\n"
                              "Accept-Language: zh-cn\r\nCache-Control: no-cache\r\n"));

  // A key found anywhere in the text counts, even inside another line's value.
  VisitCall inside(server_.url("/"));
  inside.extra_headers = text("X-Note: Accept-Language: en");
  EXPECT_EQ(inside.run(), "ok");
  EXPECT_EQ(server_.requests().back().header("Accept-Language"), std::nullopt);
}

TEST_F(HttpVisitRequestTest, GivenCookiesGoOutAsTheLastLineUnlessTheCallerWroteOne) {
  VisitCall call(server_.url("/"));
  call.cookies = text("a=1; b=2");
  call.cookies_given = true;
  EXPECT_EQ(call.run(), "ok");
  EXPECT_EQ(last_head(), head("GET / HTTP/1.1", default_lines(Form::kNo, "a=1; b=2")));

  VisitCall empty(server_.url("/"));
  empty.cookies_given = true;
  EXPECT_EQ(empty.run(), "ok");
  EXPECT_EQ(last_head(), head("GET / HTTP/1.1")) << "no line for empty cookies";

  VisitCall own_line(server_.url("/"));
  own_line.cookies = text("a=1");
  own_line.cookies_given = true;
  own_line.extra_headers = text("cookie: mine=2");
  EXPECT_EQ(own_line.run(), "ok");
  EXPECT_EQ(last_head(), head("GET / HTTP/1.1", "cookie: mine=2\r\n" + default_lines()));
}

TEST_F(HttpVisitRequestTest, ServerCredentialsGoOutOnlyAsAPair) {
  VisitCall call(server_.url("/"));
  call.user_name = text("用户");
  call.password = text("密:码");
  EXPECT_EQ(call.run(), "ok");
  EXPECT_EQ(last_head(),
            head("GET / HTTP/1.1",
                 "Authorization: Basic " + base64(utf8(u8"用户:密:码")) + "\r\n" + default_lines()))
      << "the credentials travel in UTF-8";

  VisitCall user_only(server_.url("/"));
  user_only.user_name = text("user");
  EXPECT_EQ(user_only.run(), "ok");
  EXPECT_EQ(last_head(), head("GET / HTTP/1.1"));

  VisitCall password_only(server_.url("/"));
  password_only.password = text("pw");
  EXPECT_EQ(password_only.run(), "ok");
  EXPECT_EQ(last_head(), head("GET / HTTP/1.1"));
  EXPECT_EQ(as_string(password_only.status_text), "200 OK");
}

TEST_F(HttpVisitRequestTest, AnHttpAddressGoesThroughTheProxyWithItsCredentials) {
  ForwardProxy proxy("proxy user", "proxy pw");
  VisitCall call(server_.url("/p?q=1"));
  call.proxy = text(proxy.authority());
  call.proxy_user = text("proxy user");
  call.proxy_password = text("proxy pw");
  EXPECT_EQ(call.run(), "ok");
  ASSERT_EQ(proxy.request_heads().size(), 1u);
  EXPECT_EQ(proxy.request_heads()[0],
            "GET " + server_.url("/p?q=1") + " HTTP/1.1\r\nHost: " + server_.authority() +
                "\r\nProxy-Authorization: Basic " + base64("proxy user:proxy pw") + "\r\n" +
                default_lines() + "\r\n");
  ASSERT_EQ(server_.requests().size(), 1u);
  EXPECT_EQ(server_.requests()[0].request_line(), "GET /p?q=1 HTTP/1.1");
}

TEST_F(HttpVisitRequestTest, HalfAPairOfProxyCredentialsIsNotSent) {
  ForwardProxy proxy("proxy user", "proxy pw");
  for (const bool user_given : {true, false}) {
    VisitCall call(server_.url("/"));
    call.proxy = text(proxy.authority());
    (user_given ? call.proxy_user : call.proxy_password) = text("proxy user");
    EXPECT_EQ(call.run(), "");
    EXPECT_EQ(as_string(call.status_text), "407 Proxy Authentication Required")
        << "the proxy's refusal is an answer";
  }
  EXPECT_EQ(server_.connections(), 0);
}

TEST_F(HttpVisitRequestTest, AnUnusableProxyFailsTheSession) {
  VisitCall call(server_.url("/"));
  call.proxy = text("127.0.0.1:65536");
  EXPECT_EQ(call.run(), "");
  EXPECT_EQ(as_string(call.status_text), "702 创建WinHttp会话失败!");
  EXPECT_EQ(server_.connections(), 0);
}

TEST_F(HttpVisitRequestTest, ATimeOutOfZeroOrBelowIsTheDefaultAndALongOneIsNoFailure) {
  for (const std::optional<std::int32_t> seconds :
       {std::optional<std::int32_t>{}, std::optional{0}, std::optional{-1}, std::optional{-5},
        std::optional{5}, std::optional{INT_MAX}}) {
    VisitCall call(server_.url("/"));
    call.timeout_seconds = seconds;
    EXPECT_EQ(call.run(), "ok") << seconds.value_or(12345);
    EXPECT_EQ(as_string(call.status_text), "200 OK") << seconds.value_or(12345);
  }
}

TEST_F(HttpVisitRequestTest, ACallerHeaderLineThePlatformRefusesFailsTheHeaderStage) {
  VisitCall call(server_.url("/"));
  call.extra_headers = text("no colon in this line");
  EXPECT_EQ(call.run(), "");
  EXPECT_EQ(as_string(call.status_text), "710 设置协议头失败!");
  EXPECT_EQ(server_.connections(), 0);
}

TEST_F(HttpVisitRequestTest, AnUnreachableServerFailsTheSend) {
  VisitCall call("http://127.0.0.1:" + std::to_string(test_support::closed_loopback_port()) + "/");
  EXPECT_EQ(call.run(), "");
  EXPECT_EQ(as_string(call.status_text), "711 发送请求失败!");
}

// An https server with a certificate made for the test, trusted while the fixture lives.
class HttpVisitSecureTest : public HttpVisitTest {
 protected:
  HttpVisitSecureTest() {
    server_->Get(R"(/.*)", [](const httplib::Request& request, httplib::Response& response) {
      response.set_content("secure " + request.target + " " + request.get_header_value("Host"),
                           "text/plain");
    });
    SetWinHttpTrustedCertificatesForTesting(certificate_.authority_pem());
  }
  ~HttpVisitSecureTest() override { SetWinHttpTrustedCertificatesForTesting({}); }

  TestCertificate certificate_;
  HttplibServer server_{certificate_};
};

TEST_F(HttpVisitSecureTest, AnHttpsAddressMakesASecureRequest) {
  server_.start();
  VisitCall call(server_.url("/a?b=1"));
  const std::string authority = "127.0.0.1:" + std::to_string(server_.port());
  EXPECT_EQ(call.run(), "secure /a?b=1 " + authority);
  EXPECT_EQ(as_string(call.status_text), "200 OK");
}

TEST_F(HttpVisitSecureTest, AnHttpsAddressWithoutAPortUses443) {
  if (!server_.start_on_port(443)) GTEST_SKIP() << "port 443 of 127.0.0.1 cannot be bound here";
  VisitCall call("https://127.0.0.1/x");
  EXPECT_EQ(call.run(), "secure /x 127.0.0.1");
}

TEST_F(HttpVisitSecureTest, AnHttpsAddressTunnelsThroughTheProxyNamedAlone) {
  server_.start();
  ForwardProxy proxy("proxy user", "proxy pw");
  VisitCall call(server_.url("/t"));
  call.proxy = text(proxy.authority());
  call.proxy_user = text("proxy user");
  call.proxy_password = text("proxy pw");
  const std::string authority = "127.0.0.1:" + std::to_string(server_.port());
  EXPECT_EQ(call.run(), "secure /t " + authority);
  ASSERT_EQ(proxy.request_heads().size(), 1u);
  EXPECT_EQ(proxy.request_heads()[0], "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority +
                                          "\r\nProxy-Authorization: Basic " +
                                          base64("proxy user:proxy pw") + "\r\n\r\n");
}

}  // namespace
