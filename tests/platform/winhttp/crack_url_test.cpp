#include <gtest/gtest.h>

#include <string>

#include "platform/winhttp/object_name.h"
#include "platform/winhttp/winhttp.h"

namespace {

// A record that asks for pointers into the address for the four parts a client reads.
URL_COMPONENTS pointer_request() {
  URL_COMPONENTS parts{};
  parts.dwStructSize = kUrlComponentsRecordSize;
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
      0xFFFFFFFF;
  return parts;
}

std::u16string part(const char16_t* pointer, DWORD length) {
  return pointer == nullptr ? u"<null>" : std::u16string(pointer, length);
}

struct Cracked {
  std::u16string host, path, extra;
  INTERNET_SCHEME scheme;
  INTERNET_PORT port;
};

Cracked crack(const std::u16string& url) {
  URL_COMPONENTS parts = pointer_request();
  EXPECT_TRUE(WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts));
  return {part(parts.lpszHostName, parts.dwHostNameLength),
          part(parts.lpszUrlPath, parts.dwUrlPathLength),
          part(parts.lpszExtraInfo, parts.dwExtraInfoLength), parts.nScheme, parts.nPort};
}

DWORD crack_error(const char16_t* url) {
  URL_COMPONENTS parts = pointer_request();
  SetLastError(0xDEADBEEF);
  EXPECT_FALSE(WinHttpCrackUrl(url, 0, 0, &parts));
  return GetLastError();
}

TEST(CrackUrlTest, SplitsAnAddressIntoPointersWithLengths) {
  const std::u16string url = u"http://user:pw@www.example.org:8080/a/b;c?x=1&y=2#f";
  URL_COMPONENTS parts = pointer_request();
  parts.dwUserNameLength = parts.dwPasswordLength = 1;
  ASSERT_TRUE(WinHttpCrackUrl(url.c_str(), 0, 0, &parts));
  EXPECT_EQ(parts.lpszScheme, url.c_str());
  EXPECT_EQ(parts.dwSchemeLength, 4u);
  EXPECT_EQ(parts.nScheme, INTERNET_SCHEME_HTTP);
  EXPECT_EQ(part(parts.lpszUserName, parts.dwUserNameLength), u"user");
  EXPECT_EQ(part(parts.lpszPassword, parts.dwPasswordLength), u"pw");
  EXPECT_EQ(part(parts.lpszHostName, parts.dwHostNameLength), u"www.example.org");
  EXPECT_EQ(parts.lpszHostName, url.c_str() + 15);
  EXPECT_EQ(parts.nPort, 8080);
  EXPECT_EQ(part(parts.lpszUrlPath, parts.dwUrlPathLength), u"/a/b;c");
  EXPECT_EQ(part(parts.lpszExtraInfo, parts.dwExtraInfoLength), u"?x=1&y=2#f")
      << "a fragment stays in the extra part";
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
}

TEST(CrackUrlTest, FillsDefaultPortsAndKeepsAnEmptyPathEmpty) {
  Cracked plain = crack(u"http://www.example.org");
  EXPECT_EQ(plain.port, 80);
  EXPECT_EQ(plain.path, u"");
  EXPECT_EQ(plain.extra, u"");
  Cracked secure = crack(u"HTTPS://h/post?");
  EXPECT_EQ(secure.scheme, INTERNET_SCHEME_HTTPS);
  EXPECT_EQ(secure.port, 443);
  EXPECT_EQ(secure.path, u"/post");
  EXPECT_EQ(secure.extra, u"?");
  EXPECT_EQ(crack(u"http://h:").port, 80) << "an empty port is the scheme's";
  EXPECT_EQ(crack(u"http://h:/").port, 80);
  EXPECT_EQ(crack(u"http://h:0").port, 0);
  EXPECT_EQ(crack(u"https://h:65535/").port, 65535);
  EXPECT_EQ(crack(u"http://[::1]:81/x").host, u"[::1]");
  EXPECT_EQ(crack(u"http://[::1]:81/x").port, 81);
}

TEST(CrackUrlTest, AnAddressWithAQueryButNoPathReportsNeitherPart) {
  const std::u16string url = u"http://winehq?x=1";
  URL_COMPONENTS parts = pointer_request();
  ASSERT_TRUE(WinHttpCrackUrl(url.c_str(), 0, 0, &parts));
  EXPECT_EQ(parts.dwUrlPathLength, 0u);
  EXPECT_EQ(parts.dwExtraInfoLength, 0u);
  EXPECT_EQ(parts.lpszUrlPath, url.c_str() + url.size());
  EXPECT_EQ(crack(u"http://winehq?").extra, u"");
}

TEST(CrackUrlTest, RefusesOtherSchemesAndMalformedAddresses) {
  EXPECT_EQ(crack_error(u"www.example.org"), ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
  EXPECT_EQ(crack_error(u"ftp://h/x"), ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
  EXPECT_EQ(crack_error(u"http"), ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
  EXPECT_EQ(crack_error(u""), ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
  EXPECT_EQ(crack_error(u"HTTP:www.example.org"), ERROR_WINHTTP_INVALID_URL);
  EXPECT_EQ(crack_error(u"http:/www.example.org"), ERROR_WINHTTP_INVALID_URL);
  EXPECT_EQ(crack_error(u"http://"), ERROR_WINHTTP_INVALID_URL);
  EXPECT_EQ(crack_error(u"http://:80/"), ERROR_WINHTTP_INVALID_URL);
  EXPECT_EQ(crack_error(u"http://h:65536"), ERROR_WINHTTP_INVALID_URL);
  EXPECT_EQ(crack_error(u"http://h:8a/"), ERROR_WINHTTP_INVALID_URL);
  EXPECT_EQ(crack_error(u"http://[::1/"), ERROR_WINHTTP_INVALID_URL);
}

TEST(CrackUrlTest, AFailureLeavesTheRecordAsItWas) {
  URL_COMPONENTS parts = pointer_request();
  parts.nScheme = 77;
  parts.nPort = 7;
  const URL_COMPONENTS before = parts;
  EXPECT_FALSE(WinHttpCrackUrl(u"http://h:99999/", 0, 0, &parts));
  EXPECT_EQ(parts.nScheme, 77);
  EXPECT_EQ(parts.nPort, 7);
  EXPECT_EQ(parts.lpszHostName, before.lpszHostName);
  EXPECT_EQ(parts.dwHostNameLength, before.dwHostNameLength);

  char16_t scheme[8];
  parts.lpszScheme = scheme;
  parts.dwSchemeLength = 0;  // a buffer of no size
  SetLastError(0);
  EXPECT_FALSE(WinHttpCrackUrl(u"http://h/", 0, 0, &parts));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(parts.nPort, 7);
}

TEST(CrackUrlTest, CopiesIntoBuffersAndReportsTheSizeNeeded) {
  char16_t host[4];
  char16_t path[32];
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = 4;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = 32;
  EXPECT_FALSE(WinHttpCrackUrl(u"http://example/site", 0, 0, &parts));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(parts.dwHostNameLength, 8u) << "seven characters and the terminator";
  EXPECT_EQ(parts.dwUrlPathLength, 5u);

  char16_t roomy_host[8];
  parts.lpszHostName = roomy_host;
  parts.dwHostNameLength = 8;
  parts.dwUrlPathLength = 32;  // the failed call left the path's length there
  ASSERT_TRUE(WinHttpCrackUrl(u"http://example/site", 0, 0, &parts));
  EXPECT_EQ(std::u16string(roomy_host), u"example");
  EXPECT_EQ(parts.dwHostNameLength, 7u);
  EXPECT_EQ(std::u16string(path), u"/site");
}

TEST(CrackUrlTest, ReadsNoFurtherThanTheLengthGiven) {
  const std::u16string url = u"http://h/abc/def";
  URL_COMPONENTS parts = pointer_request();
  ASSERT_TRUE(WinHttpCrackUrl(url.c_str(), 12, 0, &parts));
  EXPECT_EQ(part(parts.lpszUrlPath, parts.dwUrlPathLength), u"/abc");
}

TEST(ObjectNameTest, EscapesByTheTableAndLeavesEverythingElse) {
  EXPECT_EQ(escape_object_name(u"/a b/\u00FC?q=#1"), "/a%20b/%C3%BC?q=%231");
  EXPECT_EQ(escape_object_name(u"\"#<>[\\]^`{|}"), "%22%23%3C%3E%5B%5C%5D%5E%60%7B%7C%7D");
  EXPECT_EQ(escape_object_name(u"%!$&'()*+,;=?@~-._:/"), "%!$&'()*+,;=?@~-._:/");
  EXPECT_EQ(escape_object_name(u"/already%20escaped%zz"), "/already%20escaped%zz");
  EXPECT_EQ(escape_object_name(u"\r\x1f \n\x7f"), "%0D%1F%20%0A%7F");
  EXPECT_EQ(escape_object_name(u"/\u6B4C\U0001F3B5"), "/%E6%AD%8C%F0%9F%8E%B5");
  EXPECT_EQ(escape_object_name(std::u16string(1, u'\xD800') + u"x"), "%EF%BF%BDx")
      << "a lone surrogate goes out as U+FFFD";
  EXPECT_EQ(escape_object_name(u"AZaz09"), "AZaz09");
}

}  // namespace
