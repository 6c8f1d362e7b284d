// Each call's checks of its handle, state and arguments, and the code page of header texts.
#include <gtest/gtest.h>

#include <string>

#include "tests/platform/winhttp/winhttp_client.h"
#include "tests/support/raw_http_server.h"

namespace {

using test_support::answer_with;
using test_support::http_response;
using test_support::RawHttpServer;
using winhttp_test::OpenedRequest;

constexpr DWORD kAddOrReplace = WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE;

class CallsTest : public testing::Test {
 protected:
  DWORD add_headers(const char16_t* headers, DWORD modifiers) {
    return WinHttpAddRequestHeaders(opened_.request, headers, 0xFFFFFFFF, modifiers)
               ? ERROR_SUCCESS
               : GetLastError();
  }

  RawHttpServer server_{answer_with(http_response("200 OK", "X-Name: \xC4\xE3\xBA\xC3\r\n", ""))};
  OpenedRequest opened_{server_.port()};
};

TEST_F(CallsTest, AClosedHandleIsGoneButItsChildrenKeepIt) {
  EXPECT_EQ(WinHttpOpenRequest(opened_.session, nullptr, nullptr, nullptr, nullptr, nullptr, 0),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
  ASSERT_TRUE(WinHttpCloseHandle(opened_.session));
  EXPECT_FALSE(WinHttpCloseHandle(opened_.session));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(WinHttpConnect(opened_.session, u"h", 80, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  opened_.session = nullptr;
  EXPECT_TRUE(opened_.send_and_receive()) << "the request keeps its session alive";
}

TEST_F(CallsTest, EachStepWantsTheOneBeforeIt) {
  const HINTERNET request = opened_.request;
  DWORD count = 0xDEADBEEF;
  char buffer[8];
  EXPECT_FALSE(WinHttpReceiveResponse(request, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  ASSERT_TRUE(WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, 0));
  EXPECT_FALSE(WinHttpQueryDataAvailable(request, &count));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  EXPECT_FALSE(WinHttpReadData(request, buffer, sizeof buffer, &count));
  EXPECT_EQ(count, 0xDEADBEEFu);
  EXPECT_FALSE(WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  EXPECT_EQ(add_headers(u"X: 1", kAddOrReplace), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  EXPECT_FALSE(WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC,
                                     u"u", u"p", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  ASSERT_TRUE(WinHttpReceiveResponse(request, nullptr));
  EXPECT_TRUE(WinHttpReadData(request, buffer, 0, &count)) << "a read of nothing";
  EXPECT_EQ(count, 0u);
}

TEST_F(CallsTest, HeaderLinesAreCheckedAndTheModifiersObeyed) {
  EXPECT_EQ(add_headers(u"No colon here", kAddOrReplace), ERROR_WINHTTP_INVALID_HEADER);
  EXPECT_EQ(add_headers(u"Bad Name: x", kAddOrReplace), ERROR_WINHTTP_INVALID_HEADER);
  EXPECT_EQ(add_headers(u"X-Absent: 1", WINHTTP_ADDREQ_FLAG_REPLACE),
            ERROR_WINHTTP_HEADER_NOT_FOUND);
  EXPECT_EQ(add_headers(u"X-Kept: 1\r\nX-Twice: a\nX-Twice: b", WINHTTP_ADDREQ_FLAG_ADD),
            ERROR_SUCCESS);
  EXPECT_EQ(add_headers(u"X-New: 1\r\nX-Kept: 2", WINHTTP_ADDREQ_FLAG_ADD_IF_NEW),
            ERROR_WINHTTP_HEADER_ALREADY_EXISTS)
      << "X-New stays added";
  EXPECT_EQ(add_headers(u"X-Kept: 3", WINHTTP_ADDREQ_FLAG_REPLACE), ERROR_SUCCESS);
  const std::u16string with_nul(u"X-Nul: a\0b", 10);
  EXPECT_FALSE(WinHttpAddRequestHeaders(opened_.request, with_nul.data(), 10, kAddOrReplace));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INVALID_HEADER);
  EXPECT_EQ(add_headers(u"X-Name: \u4F60\u597D", kAddOrReplace), ERROR_SUCCESS);
  ASSERT_TRUE(opened_.send_and_receive());
  EXPECT_EQ(server_.requests().at(0).bytes(),
            "GET / HTTP/1.1\r\nHost: " + server_.authority() +
                "\r\nX-Kept: 3\r\nX-Twice: a\r\nX-Twice: b\r\nX-New: 1\r\n"
                "X-Name: \xC4\xE3\xBA\xC3\r\n\r\n")
      << "header texts go out in the ANSI code page";
}

TEST_F(CallsTest, TheHeadIsReadInTheAnsiCodePage) {
  ASSERT_TRUE(opened_.send_and_receive());
  EXPECT_NE(opened_.head().find(u"X-Name: \u4F60\u597D\r\n"), std::u16string::npos);
}

TEST_F(CallsTest, WhatCouldReshapeTheRequestOrIsNotCarriedIsRefused) {
  EXPECT_EQ(WinHttpOpenRequest(opened_.connection, u"GET /x HTTP/1.1\r\nX:", u"/", nullptr, nullptr,
                               nullptr, 0),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << "a verb is a token";
  EXPECT_EQ(WinHttpOpenRequest(opened_.connection, u"GET", u"/", u"HTTP/1.0", nullptr, nullptr, 0),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  const DWORD features = WINHTTP_DISABLE_AUTHENTICATION;
  EXPECT_FALSE(WinHttpSetOption(opened_.request, WINHTTP_OPTION_DISABLE_FEATURE, &features, 4));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_FALSE(WinHttpSendRequest(opened_.request, nullptr, 0, "ab", 2, 10, 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED) << "no body written later";
  EXPECT_TRUE(server_.requests().empty());
}

TEST_F(CallsTest, TheBoundsOnARequestAreCheckedAndTakenOnlyBeforeTheSend) {
  const HINTERNET request = opened_.request;
  const WINHTTP_MINIMUM_RATE half{100, 0};
  EXPECT_FALSE(WinHttpSetOption(request, WINHTTP_OPTION_MINIMUM_RATE, &half, sizeof half));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << "a floor without its span";
  const WINHTTP_MINIMUM_RATE rate{100, 5};
  EXPECT_FALSE(WinHttpSetOption(request, WINHTTP_OPTION_MINIMUM_RATE, &rate, 4));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_TRUE(WinHttpSetOption(request, WINHTTP_OPTION_MINIMUM_RATE, &rate, sizeof rate));
  const DWORD deadline = 5000;
  EXPECT_FALSE(WinHttpSetOption(request, WINHTTP_OPTION_DEADLINE, nullptr, 4));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(WinHttpSetOption(request, WINHTTP_OPTION_DEADLINE, &deadline, sizeof deadline));
  EXPECT_FALSE(WinHttpSetOption(request, 0x7F000003, &deadline, sizeof deadline));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INVALID_OPTION);
  ASSERT_TRUE(opened_.send_and_receive());
  EXPECT_FALSE(WinHttpSetOption(request, WINHTTP_OPTION_DEADLINE, &deadline, sizeof deadline));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
}

TEST(TransferTest, ClosingARequestInTheMiddleOfItsBodyAbandonsTheTransfer) {
  RawHttpServer endless([](const test_support::ReceivedRequest&, test_support::Socket& socket) {
    socket.send("HTTP/1.1 200 OK\r\nContent-Length: 1000000000\r\n\r\n");
    const std::string chunk(65536, 'b');
    while (socket.send(chunk)) {
    }
  });
  OpenedRequest opened(endless.port());
  ASSERT_TRUE(opened.send_and_receive());
  DWORD available = 0;
  ASSERT_TRUE(WinHttpQueryDataAvailable(opened.request, &available));
  EXPECT_GT(available, 0u);
  EXPECT_LE(available, 1024u * 1024u + 100u * 1024u) << "the body waits in a bounded buffer";
  EXPECT_TRUE(WinHttpCloseHandle(opened.connection));
  opened.connection = nullptr;
}

}  // namespace
