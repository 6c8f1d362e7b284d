// HTTPS against a server whose certificate the test made, and requests through a proxy.
#include <gtest/gtest.h>

#include <string>

#include "tests/platform/winhttp/winhttp_client.h"
#include "tests/support/forward_proxy.h"
#include "tests/support/httplib_server.h"
#include "tests/support/raw_http_server.h"
#include "tests/support/test_certificate.h"

namespace {

using test_support::answer_with;
using test_support::base64;
using test_support::ForwardProxy;
using test_support::http_response;
using test_support::HttplibServer;
using test_support::RawHttpServer;
using test_support::TestCertificate;
using winhttp_test::fetch;
using winhttp_test::Options;
using winhttp_test::Stage;
using winhttp_test::wide;

// A TLS server with a certificate made for this test, trusted for as long as the object lives.
class SecureServerTest : public testing::Test {
 protected:
  SecureServerTest() : server_(certificate_) {
    server_->Get("/", [](const httplib::Request& request, httplib::Response& response) {
      response.set_content("secure " + request.get_header_value("Host"), "text/plain");
    });
    server_->Get("/down", [this](const httplib::Request&, httplib::Response& response) {
      response.set_redirect(plain_.url("/"));
    });
    server_.start();
    SetWinHttpTrustedCertificatesForTesting(certificate_.authority_pem());
  }
  ~SecureServerTest() override { SetWinHttpTrustedCertificatesForTesting({}); }

  TestCertificate certificate_;
  HttplibServer server_;
  RawHttpServer plain_{answer_with(http_response("200 OK", "", "plain"))};
};

TEST_F(SecureServerTest, AServerWithATrustedCertificateAnswersOverTls) {
  const auto result = fetch(wide(server_.url("/")));
  ASSERT_EQ(result.stage, Stage::kDone) << result.error;
  EXPECT_EQ(result.body, "secure 127.0.0.1:" + std::to_string(server_.port()));
  EXPECT_TRUE(result.head.starts_with("HTTP/1.1 200 OK\r\n")) << "HTTP/1.1, never 2";
}

TEST_F(SecureServerTest, ACertificateTheSystemDoesNotTrustFailsTheSend) {
  SetWinHttpTrustedCertificatesForTesting({});
  const auto result = fetch(wide(server_.url("/")));
  EXPECT_EQ(result.stage, Stage::kSend);
  EXPECT_EQ(result.error, ERROR_WINHTTP_SECURE_FAILURE);
  EXPECT_TRUE(result.handles_closed);
}

TEST_F(SecureServerTest, AServerNameTheCertificateDoesNotCoverFailsTheSend) {
  HttplibServer elsewhere(certificate_, "127.0.0.2");
  elsewhere->Get("/", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("wrong name", "text/plain");
  });
  elsewhere.start();
  const auto result = fetch(wide(elsewhere.url("/")));
  EXPECT_EQ(result.stage, Stage::kSend);
  EXPECT_EQ(result.error, ERROR_WINHTTP_SECURE_FAILURE);
}

TEST_F(SecureServerTest, ARedirectFromHttpsToHttpIsRefused) {
  const auto result = fetch(wide(server_.url("/down")));
  EXPECT_EQ(result.stage, Stage::kReceive);
  EXPECT_EQ(result.error, ERROR_WINHTTP_REDIRECT_FAILED);
  EXPECT_EQ(plain_.connections(), 0);
}

TEST_F(SecureServerTest, AnHttpsRequestTunnelsThroughTheProxyWithItsCredentials) {
  ForwardProxy proxy("proxy user", "proxy pass");
  Options options;
  options.proxy = wide(proxy.authority());
  options.proxy_user_name = u"proxy user";
  options.proxy_password = u"proxy pass";
  options.agent = u"Agent";
  options.headers = u"X-Secret: for the server only";
  const auto result = fetch(wide(server_.url("/")), options);
  ASSERT_EQ(result.stage, Stage::kDone) << result.error;
  const std::string authority = "127.0.0.1:" + std::to_string(server_.port());
  EXPECT_EQ(result.body, "secure " + authority);
  ASSERT_EQ(proxy.request_heads().size(), 1u);
  EXPECT_EQ(proxy.request_heads()[0], "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority +
                                          "\r\nProxy-Authorization: Basic " +
                                          base64("proxy user:proxy pass") +
                                          "\r\nUser-Agent: Agent\r\n\r\n");

  options.proxy = u"http=" + options.proxy;  // an entry for http only: https goes direct
  EXPECT_EQ(fetch(wide(server_.url("/")), options).stage, Stage::kDone);
  EXPECT_EQ(proxy.request_heads().size(), 1u);
}

TEST(ProxyTest, AnHttpRequestGoesToTheProxyInAbsoluteFormWithItsCredentials) {
  RawHttpServer server(answer_with(http_response("200 OK", "", "via proxy")));
  ForwardProxy proxy("user", "pw");
  Options options;
  options.proxy = u"http=" + wide(proxy.authority());
  options.proxy_user_name = u"user";
  options.proxy_password = u"pw";
  options.user_name = u"server user";
  options.password = u"server pw";
  const auto result = fetch(wide(server.url("/p?q=1")), options);
  ASSERT_EQ(result.stage, Stage::kDone) << result.error;
  EXPECT_EQ(result.body, "via proxy");
  ASSERT_EQ(proxy.request_heads().size(), 1u);
  EXPECT_EQ(proxy.request_heads()[0],
            "GET " + server.url("/p?q=1") + " HTTP/1.1\r\nHost: " + server.authority() +
                "\r\nProxy-Authorization: Basic " + base64("user:pw") +
                "\r\nAuthorization: Basic " + base64("server user:server pw") + "\r\n\r\n");
  EXPECT_EQ(server.requests().at(0).request_line(), "GET /p?q=1 HTTP/1.1");
}

TEST(ProxyTest, WithoutCredentialsTheProxysRefusalIsTheAnswer) {
  RawHttpServer server(answer_with(http_response("200 OK", "", "")));
  ForwardProxy proxy("user", "pw");
  Options options;
  options.proxy = wide(proxy.authority());
  const auto result = fetch(wide(server.url("/")), options);
  ASSERT_EQ(result.stage, Stage::kDone);
  EXPECT_TRUE(result.head.starts_with("HTTP/1.1 407 Proxy Authentication Required\r\n"));
  EXPECT_EQ(server.requests().size(), 0u);
}

TEST(ProxyTest, TheProxyListTakesEachFormAndRefusesUnusableEntries) {
  RawHttpServer server(answer_with(http_response("200 OK", "", "")));
  ForwardProxy proxy;
  const std::u16string authority = wide(proxy.authority());
  int expected_heads = 0;
  for (const std::u16string& list :
       {authority, u"http=" + authority, u"http=http://" + authority,
        u"https=127.0.0.1:1; http=" + authority, u"  " + authority + u" ;"}) {
    Options options;
    options.proxy = list;
    EXPECT_EQ(fetch(wide(server.url("/")), options).stage, Stage::kDone);
    EXPECT_EQ(proxy.request_heads().size(), static_cast<std::size_t>(++expected_heads));
  }
  for (const char16_t* unusable : {u"127.0.0.1:0", u"127.0.0.1:65536", u"user@127.0.0.1:80",
                                   u"127.0.0.1/x:80", u"http=", u""}) {
    SetLastError(0);
    EXPECT_EQ(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NAMED_PROXY, unusable, nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_EQ(server.requests().size(), 5u);
}

}  // namespace
