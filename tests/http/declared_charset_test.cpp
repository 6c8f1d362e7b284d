#include "http/declared_charset.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/com/apartment.h"
#include "platform/com/class_registry.h"
#include "platform/stream/stream_component.h"
#include "runtime/text_blocks.h"

namespace {

class DeclaredCharsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    register_stream_class();
    CoInitialize(nullptr);
  }
  void TearDown() override { CoUninitialize(); }

  // The body text after decoding the body bytes in `charset`; the text starts as the bytes up to
  // their first NUL, as the web request routine makes it.
  std::string decoded(std::string_view bytes, const char* charset) {
    const ByteSet body = bytes_from_buffer(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    Text text = text_from_buffer(bytes.substr(0, bytes.find('\0')));
    decode_body_in_charset(text_copy(charset), body, text, stream, value);
    EXPECT_TRUE(stream.empty()) << "the stream is released";
    EXPECT_NE(value->vt, VT_ARRAY | VT_UI1) << "no byte array is left behind";
    EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(body.bytes().data()), body.size()),
              bytes)
        << "the body bytes stay";
    return std::string(text.view());
  }

  AutomationObject stream;
  VariantValue value;
};

TEST_F(DeclaredCharsetTest, OnlyCharsetsOtherThanLowerCaseGbkAreDecoded) {
  EXPECT_TRUE(charset_needs_decoding("utf-8"));
  EXPECT_TRUE(charset_needs_decoding("GBK"));
  EXPECT_TRUE(charset_needs_decoding("GB2312"));
  EXPECT_FALSE(charset_needs_decoding("gbk"));
  EXPECT_FALSE(charset_needs_decoding("gb2312"));
  EXPECT_FALSE(charset_needs_decoding(""));
}

TEST_F(DeclaredCharsetTest, DecodesTheBodyBytesInTheCharset) {
  EXPECT_EQ(decoded("<p>\xE4\xB8\xAD\xE6\x96\x87</p>", "utf-8"), "<p>\xD6\xD0\xCE\xC4</p>");
  EXPECT_EQ(decoded("\xEF\xBB\xBF\xE4\xB8\xAD", "UTF-8"), "\xD6\xD0") << "without the mark";
  // GBK in capitals goes through the stream too: its malformed pair comes back as "?".
  EXPECT_EQ(decoded("\xD6\xD0\x81\x20", "GBK"), "\xD6\xD0? ");
  EXPECT_EQ(decoded("caf\xE9", "iso-8859-1"), "caf\xA8\xA6");
  EXPECT_EQ(decoded(std::string_view("a\0b", 3), "utf-8"), "a") << "a NUL still ends the text";
}

TEST_F(DeclaredCharsetTest, AnUnknownCharsetLeavesTheText) {
  EXPECT_EQ(decoded("<p>\xD6\xD0</p>", "x-no-such-charset"), "<p>\xD6\xD0</p>");
}

TEST_F(DeclaredCharsetTest, WithoutTheComponentTheTextStays) {
  unregister_class(kStreamClsid);
  EXPECT_EQ(decoded("\xE4\xB8\xAD", "utf-8"), "\xE4\xB8\xAD");
  register_stream_class();
}

}  // namespace
