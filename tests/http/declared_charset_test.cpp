#include "http/declared_charset.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/com/apartment.h"
#include "platform/com/class_registry.h"
#include "platform/installed_components.h"
#include "platform/stream/stream_component.h"
#include "runtime/message_pump.h"
#include "runtime/text_blocks.h"

namespace {

class DeclaredCharsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    register_installed_components();
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

  // The body text after the charset step on a body of `bytes`, and how many pump passes it made.
  std::string applied(std::string_view bytes, int* passes = nullptr) {
    const ByteSet body = bytes_from_buffer(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    Text text = text_from_buffer(bytes.substr(0, bytes.find('\0')));
    const std::uint32_t entries = apartment_entries();
    const std::uint64_t passes_before = message_pump_passes();
    apply_declared_charset(text, body, regex, stream, value);
    if (passes != nullptr) *passes = static_cast<int>(message_pump_passes() - passes_before);
    EXPECT_EQ(apartment_entries(), entries) << "the step leaves the apartment as it entered it";
    EXPECT_TRUE(stream.empty());
    return std::string(text.view());
  }

  RegexObject regex;
  AutomationObject stream;
  VariantValue value;
};

constexpr char kUtf8Chinese[] = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
constexpr char kGbkChinese[] = "\xD6\xD0\xCE\xC4";

TEST_F(DeclaredCharsetTest, TheStepDecodesAPageWhoseMetaTagNamesAnotherCharset) {
  const std::string body = std::string("<p>") + kUtf8Chinese + "</p>";
  const std::string decoded_body = std::string("<p>") + kGbkChinese + "</p>";
  for (const char* head : {"<meta charset=\"utf-8\">", "<META charset=utf-8>",
                           "<meta http-equiv=Content-Type content=\"text/html; charset=UTF-8\">"}) {
    SCOPED_TRACE(head);
    EXPECT_EQ(applied(head + body), head + decoded_body);
  }
  // Lower-case gbk and gb2312 are what the text already is; GBK in capitals goes through the
  // stream, which reads the GBK bytes back unchanged.
  for (const char* head : {"<meta charset=gbk>", "<meta charset=gb2312>", "<meta charset=GBK>"}) {
    SCOPED_TRACE(head);
    const std::string gbk_page = head + std::string(kGbkChinese);
    EXPECT_EQ(applied(gbk_page), gbk_page);
  }
}

TEST_F(DeclaredCharsetTest, OnlyTheFirst1024BytesAreSearchedAndAJsonBodyStays) {
  const std::string tag = "<meta charset=utf-8>";
  const std::string chinese = kUtf8Chinese;
  const std::string before = std::string(1024 - tag.size(), 'x') + tag + chinese;
  EXPECT_EQ(applied(before), std::string(1024 - tag.size(), 'x') + tag + kGbkChinese);
  const std::string straddling = std::string(1024 - 5, 'x') + tag + chinese;
  EXPECT_EQ(applied(straddling), straddling) << "the tag is cut by the subject's end";
  const std::string after = std::string(1024, 'x') + tag + chinese;
  EXPECT_EQ(applied(after), after);

  int passes = 0;
  const std::string json = std::string("{\"name\":\"") + kUtf8Chinese + "\"}";
  EXPECT_EQ(applied(json, &passes), json);
  EXPECT_EQ(passes, 1) << "the search ran without a match";
}

TEST_F(DeclaredCharsetTest, ASubjectCutInsideADoubleByteCharacterIsStillSearched) {
  // Byte 1024 is the lead byte of a GBK character, so the subject ends in half a character.
  const std::string tag = "<meta charset=utf-8>";
  const std::string page = tag + std::string(1023 - tag.size(), 'x') + kGbkChinese;
  int passes = 0;
  EXPECT_NE(applied(page, &passes), page) << "decoded as UTF-8: the GBK pair is malformed there";
  EXPECT_EQ(passes, 1);
}

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
  register_stream_component();
}

}  // namespace
