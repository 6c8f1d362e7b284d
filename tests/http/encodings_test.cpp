#include "http/encodings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/text_blocks.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(const ByteSet& set) {
  return {set.bytes().begin(), set.bytes().end()};
}

ByteView view_of(const Bytes& bytes) {
  return {bytes.data(), bytes.size()};
}

std::string text_of(const Text& text) {
  return std::string(text.view());
}

TEST(EncodingsTest, AnsiToUtf16) {
  EXPECT_EQ(ansi_to_utf16(nullptr).get(), nullptr);
  EXPECT_EQ(ansi_to_utf16("", Terminator::drop).get(), nullptr);
  EXPECT_EQ(bytes_of(ansi_to_utf16("a")), (Bytes{0x61, 0, 0, 0}));
  EXPECT_EQ(bytes_of(ansi_to_utf16("\xD6\xD0")), (Bytes{0x2D, 0x4E, 0, 0}));
  EXPECT_EQ(bytes_of(ansi_to_utf16("a", Terminator::drop)), (Bytes{0x61, 0}));
  EXPECT_EQ(bytes_of(ansi_to_utf16("\xD6\xD0", Terminator::drop)), (Bytes{0x2D, 0x4E}));
  EXPECT_EQ(bytes_of(ansi_to_utf16("\x80\xC4")), (Bytes{0xAC, 0x20, 0xFD, 0xFF, 0, 0}))
      << "the euro sign, then a lead byte cut off by the end";
}

TEST(EncodingsTest, Utf16ToAnsi) {
  EXPECT_EQ(text_of(utf16_to_ansi(view_of({0x2D, 0x4E, 0, 0}))), "\xD6\xD0");
  EXPECT_EQ(text_of(utf16_to_ansi(view_of({0x61, 0, 0, 0, 0x62, 0}))), "a")
      << "a terminator ends the text";
  EXPECT_EQ(text_of(utf16_to_ansi(view_of({0x61, 0, 0x62}))), "a") << "an odd byte is ignored";
  EXPECT_EQ(text_of(utf16_to_ansi(view_of({0x68, 0, 0x6F, 0}))), "ho") << "no terminator";
  EXPECT_EQ(utf16_to_ansi(view_of({0x61})).get(), nullptr);
  EXPECT_EQ(utf16_to_ansi(view_of({0, 0})).get(), nullptr);
  EXPECT_EQ(text_of(utf16_to_ansi(view_of({0x65, 0, 0x01, 0x03}))), "\xA8\xA6")
      << "e and a combining acute compose";
  EXPECT_EQ(text_of(utf16_to_ansi(view_of({0x3D, 0xD8, 0x00, 0xDE, 0x30, 0xAC}))), "???")
      << "characters outside GBK: one ? per unit";

  // Bytes that are not aligned for UTF-16 units are read all the same.
  const Bytes shifted{0xFF, 0x2D, 0x4E};
  EXPECT_EQ(text_of(utf16_to_ansi(view_of(shifted).subspan(1))), "\xD6\xD0");
}

TEST(EncodingsTest, Utf8ToAnsi) {
  EXPECT_EQ(text_of(utf8_to_ansi("\xE4\xB8\xAD")), "\xD6\xD0");
  EXPECT_EQ(text_of(utf8_to_ansi("plain ASCII {\"a\":1}")), "plain ASCII {\"a\":1}");
  EXPECT_EQ(utf8_to_ansi("").get(), nullptr);
  EXPECT_EQ(utf8_to_ansi(nullptr).get(), nullptr);
  EXPECT_EQ(text_of(utf8_to_ansi("a\xE4\xB8"
                                 "b\xFF")),
            "a?b?")
      << "malformed UTF-8";
  EXPECT_EQ(text_of(utf8_to_ansi("\xF0\x9F\x98\x80\xEA\xB0\x80")), "???")
      << "outside GBK: a pair gives two, a Hangul syllable one";
}

// utf8_to_ansi converts without the UTF-16 text in between, through a window of units; it must
// give what the route through UTF-16 gives, substitutes included, wherever the window's edges
// fall: in a character, between the units of a pair, in an ill-formed sequence.
TEST(EncodingsTest, Utf8ToAnsiGivesWhatTheRouteThroughUtf16Gives) {
  const auto through_utf16 = [](const std::string& utf8) {
    const ByteSet wide = multibyte_to_utf16(utf8.c_str(), CP_UTF8);
    return text_of(utf16_to_multibyte(wide.bytes(), CP_GBK));
  };
  const std::string pieces[] = {
      "a",        "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "\xC3\xA9", "\xE4\xB8",     "\xFF",
      "\xC0\x80", "\xED\xA0\x80", "\xF0\x80\x80\x80", "\xE2\x82", "\xEA\xB0\x80",
  };
  std::vector<std::string> texts(std::begin(pieces), std::end(pieces));
  // Long texts whose characters straddle every window edge, one ill-formed sequence among them
  // at a few places.
  for (const std::size_t length : {16 * 1024 - 1, 16 * 1024, 16 * 1024 + 1, 40 * 1024}) {
    for (const std::string& piece : pieces) {
      std::string text(length, 'x');
      texts.push_back(text + piece + text + "\xE4\xB8\xAD");
      for (const std::string& around :
           {std::string("\xF0\x9F\x98\x80"), std::string("\xE4\xB8\xAD")}) {
        std::string repeated;
        while (repeated.size() < length)
          repeated += around;
        texts.push_back(repeated + piece + repeated);
      }
    }
  }
  for (const std::string& text : texts) {
    EXPECT_EQ(text_of(utf8_to_ansi(text.c_str())), through_utf16(text)) << text.size() << " bytes";
  }
}

TEST(EncodingsTest, MultibyteAndUtf16) {
  EXPECT_EQ(multibyte_to_utf16(nullptr).get(), nullptr);
  EXPECT_EQ(bytes_of(multibyte_to_utf16("")), (Bytes{0, 0}));
  EXPECT_EQ(bytes_of(multibyte_to_utf16("\xE4\xB8\xAD")), (Bytes{0x2D, 0x4E, 0, 0}));
  EXPECT_EQ(bytes_of(multibyte_to_utf16("\xD6\xD0", CP_GBK)), (Bytes{0x2D, 0x4E, 0, 0}));
  EXPECT_EQ(multibyte_to_utf16("a", 1252).get(), nullptr) << "an unknown code page";

  EXPECT_EQ(text_of(utf16_to_multibyte(view_of({0x2D, 0x4E, 0, 0}))), "\xD6\xD0")
      << "the system ANSI code page is 936";
  EXPECT_EQ(text_of(utf16_to_multibyte(view_of({0x2D, 0x4E, 0, 0}), CP_UTF8)), "\xE4\xB8\xAD");
  EXPECT_EQ(text_of(utf16_to_multibyte(view_of({0x61, 0, 0, 0, 0x62, 0}))), "a");
  EXPECT_EQ(utf16_to_multibyte(ByteView()).get(), nullptr);
  // Without a terminator the set is converted whole and nothing past it is read.
  const ByteSet unterminated = bytes_from_buffer("a\0b\0", 4);
  EXPECT_EQ(text_of(utf16_to_multibyte(unterminated.bytes())), "ab");
}

}  // namespace
