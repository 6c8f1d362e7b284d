#include "app/download/saved_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr auto kUtf8 = TerminalCharset::utf8;
constexpr auto kGbk = TerminalCharset::gbk;

struct NameCase {
  const char* what;
  std::string filename, hash, url, content_type;
  TerminalCharset charset;
  std::string expected;
};

TEST(SavedNameTest, MakesTheEntrysNameSafeAndAddsTheExtension) {
  const std::string zhong_gbk = "\xD6\xD0", zhong_utf8 = "\xE4\xB8\xAD";
  const NameCase cases[] = {
      {"plain", "Artist - Title", "H", "http://h/m/x.mp3", "", kUtf8, "Artist - Title.mp3"},
      {"GBK converted", zhong_gbk + "x", "H", "http://h/x.mp3", "", kUtf8, zhong_utf8 + "x.mp3"},
      {"GBK kept", zhong_gbk + "x", "H", "http://h/x.mp3", "", kGbk, zhong_gbk + "x.mp3"},
      {"separators", "a/b\\c", "H", "http://h/x.mp3", "", kUtf8, "a_b_c.mp3"},
      {"traversal", "../../etc/passwd", "H", "http://h/x.mp3", "", kUtf8, "_.._etc_passwd.mp3"},
      {"controls", "a\tb\r\n\x1b[31mc\x7f", "H", "http://h/x", "", kUtf8, "ab[31mc"},
      {"leading dots and dashes", "-.-rf .x", "H", "http://h/x", "", kUtf8, "rf .x"},
      {"trailing spaces and dots", "name. . ", "H", "http://h/x", "", kUtf8, "name"},
      {"dot dot", "..", "abc", "http://h/x", "", kUtf8, "abc"},
      {"a separator alone", " ./", "0A1B", "http://h/x.flac", "", kUtf8, "_.flac"},
      {"nothing left, hash", " . ", "0A1B", "http://h/x.flac", "", kUtf8, "0A1B.flac"},
      {"nothing at all", "", "", "http://h/x", "audio/ogg", kUtf8, "song.ogg"},
      {"hostile hash", "", "../x", "http://h/x", "", kUtf8, "_x"},
      {"lone GBK lead byte dropped", "a\xD6", "H", "http://h/x", "", kGbk, "a"},
      {"GBK trail byte 0x5C is no separator", "\x81\x5C", "H", "http://h/x", "", kGbk, "\x81\x5C"},
      {"mixed", "a\xD6\xD0", "H", "http://h/x", "", kUtf8, "a" + zhong_utf8},
  };
  for (const NameCase& c : cases) {
    const std::string name =
        saved_file_name({c.filename, c.hash, c.url, c.content_type}, c.charset);
    EXPECT_EQ(name, c.expected) << c.what;
    EXPECT_TRUE(is_safe_file_name(name, c.charset)) << c.what;
  }
}

TEST(SavedNameTest, RightToLeftOverrideInAnAnswerIsDropped) {
  // U+202E in GBK-converted form cannot occur (GBK lacks it), but a UTF-8 file system name built
  // from GB18030 input could; the check sees the UTF-8 bytes.
  EXPECT_FALSE(is_safe_file_name("a\xE2\x80\xAEgpj.exe", kUtf8));
  EXPECT_TRUE(is_safe_file_name("a\xE2\x80\x94", kUtf8));
}

TEST(SavedNameTest, CutsLongNamesAtACharacterBoundaryWithinTwoHundredBytes) {
  const std::string hundred_and_one_zhong = [] {
    std::string text;
    for (int i = 0; i < 101; ++i)
      text += "\xD6\xD0";
    return text;
  }();
  // UTF-8: three bytes a character; 196 bytes leave room for ".mp3", 195 is the boundary.
  const std::string utf8 =
      saved_file_name({hundred_and_one_zhong, "H", "http://h/x.mp3", ""}, kUtf8);
  EXPECT_EQ(utf8.size(), 195u + 4u);
  EXPECT_TRUE(is_safe_file_name(utf8, kUtf8));
  // GBK: two bytes a character; a name of 202 bytes is cut to 200 with no extension.
  const std::string gbk = saved_file_name({hundred_and_one_zhong, "H", "http://h/x", ""}, kGbk);
  EXPECT_EQ(gbk, hundred_and_one_zhong.substr(0, 200));
  // A cut that leaves a trailing blank drops it too.
  const std::string spaced = std::string(199, 'a') + " bcd";
  EXPECT_EQ(saved_file_name({spaced, "H", "http://h/x", ""}, kUtf8), std::string(199, 'a'));
}

TEST(SavedNameTest, ExtensionComesFromTheAddressElseTheContentType) {
  const std::pair<const char*, const char*> addresses[] = {
      {"http://h/a/b.mp3", "mp3"},
      {"http://h/a/b.M4A?x=1.ogg", "M4A"},
      {"http://h/a/b.flac#t.ogg", "flac"},
      {"http://h/a.b/c", ""},
      {"http://h/x.toolong", ""},
      {"http://h/x.mp-3", ""},
      {"http://h/x.", ""},
      {"http://h.mp3", ""},
      {"http://h/?q=a.mp3", ""},
      {"http://h/%2e.mp3", "mp3"},
  };
  for (const auto& [url, extension] : addresses) {
    EXPECT_EQ(extension_of_address(url), extension) << url;
  }
  const std::pair<const char*, const char*> types[] = {
      {"audio/mpeg", "mp3"},
      {"Audio/MP4; codecs=x", "m4a"},
      {" audio/flac ", "flac"},
      {"audio/x-wav", "wav"},
      {"audio/wav", "wav"},
      {"audio/ogg", "ogg"},
      {"audio/mpegx", ""},
      {"text/html", ""},
      {"", ""},
  };
  for (const auto& [type, extension] : types) {
    EXPECT_EQ(extension_of_content_type(type), extension) << type;
  }
  EXPECT_EQ(saved_file_name({"a", "H", "http://h/x.mp3", "audio/ogg"}, kUtf8), "a.mp3");
  EXPECT_EQ(saved_file_name({"a", "H", "http://h/x", "audio/ogg"}, kUtf8), "a.ogg");
  EXPECT_EQ(saved_file_name({"a", "H", "http://h/x", "text/html"}, kUtf8), "a");
}

}  // namespace
