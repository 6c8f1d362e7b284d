// Each call's checks of its handle, state and arguments, and the code page of header texts.
#include <gtest/gtest.h>

#include <string>

#include "tests/platform/winhttp/winhttp_client.h"
#include "tests/support/raw_http_server.h"

namespace {

using test_support::answer_with;
using test_support::http_response;
using test_support::RawHttpServer;

// A session, connection and request on a server, closed at the end of the test.
class CallsTest : public testing::Test {
 protected:
  CallsTest()
      : server_(answer_with(http_response("200 OK", "X-Name: \xC4\xE3\xBA\xC3\r\n", "body"))) {
    session_ = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, u"", nullptr, 0);
    connection_ = WinHttpConnect(session_, u"127.0.0.1", server_.port(), 0);
    request_ = WinHttpOpenRequest(connection_, nullptr, u"/", nullptr, nullptr, nullptr, 0);
  }
  ~CallsTest() override {
    WinHttpCloseHandle(request_);
    WinHttpCloseHandle(connection_);
    WinHttpCloseHandle(session_);
  }

  DWORD add_headers(const char16_t* headers, DWORD modifiers) {
    SetLastError(0xDEADBEEF);
    return WinHttpAddRequestHeaders(request_, headers, kUpToTerminator, modifiers) ? ERROR_SUCCESS
                                                                                   : GetLastError();
  }

  bool send_and_receive() {
    return WinHttpSendRequest(request_, nullptr, 0, nullptr, 0, 0, 0) &&
           WinHttpReceiveResponse(request_, nullptr);
  }

  static constexpr DWORD kUpToTerminator = 0xFFFFFFFF;
  static constexpr DWORD kAddOrReplace = WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE;
  RawHttpServer server_;
  HINTERNET session_ = nullptr;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
};

TEST_F(CallsTest, EachCallWantsItsKindOfHandle) {
  EXPECT_TRUE(WinHttpCheckPlatform());
  EXPECT_EQ(WinHttpConnect(request_, u"h", 80, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
  EXPECT_EQ(WinHttpOpenRequest(session_, nullptr, nullptr, nullptr, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
  EXPECT_FALSE(WinHttpSetTimeouts(connection_, 1, 1, 1, 1));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
  EXPECT_TRUE(WinHttpSetTimeouts(session_, 1, 1, 1, 1));
  EXPECT_FALSE(WinHttpSetTimeouts(request_, 0, -1, -2, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(WinHttpSendRequest(session_, nullptr, 0, nullptr, 0, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
  EXPECT_FALSE(WinHttpCloseHandle(nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(CallsTest, AClosedHandleIsGoneButItsChildrenStillWork) {
  ASSERT_TRUE(WinHttpCloseHandle(session_));
  EXPECT_FALSE(WinHttpCloseHandle(session_));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(WinHttpConnect(session_, u"h", 80, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  session_ = nullptr;
  EXPECT_TRUE(send_and_receive()) << "the request keeps its session alive";
}

TEST_F(CallsTest, EachStepWantsTheOneBeforeIt) {
  DWORD count = 0xDEADBEEF;
  char buffer[8];
  EXPECT_FALSE(WinHttpReceiveResponse(request_, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  ASSERT_TRUE(WinHttpSendRequest(request_, nullptr, 0, nullptr, 0, 0, 0));
  EXPECT_FALSE(WinHttpQueryDataAvailable(request_, &count));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  EXPECT_FALSE(WinHttpReadData(request_, buffer, sizeof buffer, &count));
  EXPECT_EQ(count, 0xDEADBEEFu);
  EXPECT_FALSE(WinHttpSendRequest(request_, nullptr, 0, nullptr, 0, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  EXPECT_EQ(add_headers(u"X: 1", kAddOrReplace), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  const DWORD features = WINHTTP_DISABLE_COOKIES;
  EXPECT_FALSE(WinHttpSetOption(request_, WINHTTP_OPTION_DISABLE_FEATURE, &features, 4));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  EXPECT_FALSE(WinHttpSetCredentials(request_, WINHTTP_AUTH_TARGET_SERVER,
                                     WINHTTP_AUTH_SCHEME_BASIC, u"u", u"p", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  ASSERT_TRUE(WinHttpReceiveResponse(request_, nullptr));
  EXPECT_TRUE(WinHttpReadData(request_, buffer, 0, &count)) << "a read of nothing";
  EXPECT_EQ(count, 0u);
}

TEST_F(CallsTest, HeaderLinesAreCheckedAndTheModifiersObeyed) {
  EXPECT_EQ(add_headers(u"No colon here", kAddOrReplace), ERROR_WINHTTP_INVALID_HEADER);
  EXPECT_EQ(add_headers(u"Bad Name: x", kAddOrReplace), ERROR_WINHTTP_INVALID_HEADER);
  EXPECT_EQ(add_headers(u": x", kAddOrReplace), ERROR_WINHTTP_INVALID_HEADER);
  EXPECT_EQ(add_headers(u"X-Absent: 1", WINHTTP_ADDREQ_FLAG_REPLACE),
            ERROR_WINHTTP_HEADER_NOT_FOUND);
  EXPECT_EQ(add_headers(u"X-Kept: 1\r\nX-Twice: a\nX-Twice: b", WINHTTP_ADDREQ_FLAG_ADD),
            ERROR_SUCCESS);
  EXPECT_EQ(add_headers(u"X-New: 1\r\nX-Kept: 2", WINHTTP_ADDREQ_FLAG_ADD_IF_NEW),
            ERROR_WINHTTP_HEADER_ALREADY_EXISTS)
      << "X-New stays added";
  EXPECT_EQ(add_headers(u"X-Kept: 3", WINHTTP_ADDREQ_FLAG_REPLACE), ERROR_SUCCESS);
  EXPECT_EQ(add_headers(u"X-Kept: 4", 0x40000000 /* coalesce */), ERROR_NOT_SUPPORTED);
  EXPECT_FALSE(WinHttpAddRequestHeaders(request_, u"X: 1", 0, kAddOrReplace));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  const std::u16string with_nul(u"X-Nul: a\0b", 10);
  EXPECT_FALSE(WinHttpAddRequestHeaders(request_, with_nul.data(), 10, kAddOrReplace));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INVALID_HEADER);
  EXPECT_EQ(add_headers(u"X-Name: \u4F60\u597D", kAddOrReplace), ERROR_SUCCESS);
  ASSERT_TRUE(send_and_receive());
  EXPECT_EQ(server_.requests().at(0).bytes(),
            "GET / HTTP/1.1\r\nHost: " + server_.authority() +
                "\r\nX-Kept: 3\r\nX-Twice: a\r\nX-Twice: b\r\nX-New: 1\r\n"
                "X-Name: \xC4\xE3\xBA\xC3\r\n\r\n")
      << "header texts go out in the ANSI code page";
}

TEST_F(CallsTest, TheHeadIsReadInTheAnsiCodePage) {
  ASSERT_TRUE(send_and_receive());
  DWORD size = 0;
  WinHttpQueryHeaders(request_, WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, nullptr, &size, nullptr);
  std::u16string head(size / 2, u'\0');
  ASSERT_TRUE(WinHttpQueryHeaders(request_, WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, head.data(),
                                  &size, nullptr));
  EXPECT_NE(head.find(u"X-Name: \u4F60\u597D\r\n"), std::u16string::npos);
}

TEST_F(CallsTest, WhatTheStandInDoesNotCarryIsRefusedNeverIgnored) {
  EXPECT_EQ(
      WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, WINHTTP_FLAG_ASYNC),
      nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_EQ(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, u"<local>", 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_EQ(WinHttpOpen(nullptr, 2, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(WinHttpConnect(session_, u"", 80, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(WinHttpOpenRequest(connection_, u"GET", u"/", u"HTTP/1.0", nullptr, nullptr, 0),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_EQ(WinHttpOpenRequest(connection_, u"GET", u"/", nullptr, u"http://r/", nullptr, 0),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_EQ(
      WinHttpOpenRequest(connection_, u"GET /x HTTP/1.1\r\nX:", u"/", nullptr, nullptr, nullptr, 0),
      nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << "a verb is a token";

  DWORD features = WINHTTP_DISABLE_AUTHENTICATION;
  EXPECT_FALSE(WinHttpSetOption(request_, WINHTTP_OPTION_DISABLE_FEATURE, &features, 4));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_FALSE(WinHttpSetOption(request_, WINHTTP_OPTION_DISABLE_FEATURE, &features, 2));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_FALSE(WinHttpSetOption(request_, 91, &features, 4));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INVALID_OPTION);
  EXPECT_FALSE(WinHttpSetCredentials(request_, WINHTTP_AUTH_TARGET_SERVER, 2 /* NTLM */, u"u", u"p",
                                     nullptr));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_FALSE(WinHttpSetCredentials(request_, 2, WINHTTP_AUTH_SCHEME_BASIC, u"u", u"p", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(WinHttpSendRequest(request_, nullptr, 0, "ab", 2, 10, 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_FALSE(WinHttpSendRequest(request_, nullptr, 0, nullptr, 2, 2, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(server_.requests().empty());
}

TEST_F(CallsTest, ClosingARequestInTheMiddleOfItsBodyAbandonsTheTransfer) {
  RawHttpServer endless([](const test_support::ReceivedRequest&, test_support::Socket& socket) {
    socket.send("HTTP/1.1 200 OK\r\nContent-Length: 1000000000\r\n\r\n");
    const std::string chunk(65536, 'b');
    while (socket.send(chunk)) {
    }
  });
  const HINTERNET connection = WinHttpConnect(session_, u"127.0.0.1", endless.port(), 0);
  const HINTERNET request =
      WinHttpOpenRequest(connection, nullptr, nullptr, nullptr, nullptr, nullptr, 0);
  ASSERT_TRUE(WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, 0));
  ASSERT_TRUE(WinHttpReceiveResponse(request, nullptr));
  DWORD available = 0;
  ASSERT_TRUE(WinHttpQueryDataAvailable(request, &available));
  EXPECT_GT(available, 0u);
  EXPECT_LE(available, 1024u * 1024u + 100u * 1024u) << "the body waits in a bounded buffer";
  EXPECT_TRUE(WinHttpCloseHandle(connection));
  EXPECT_TRUE(WinHttpCloseHandle(request));
}

}  // namespace
