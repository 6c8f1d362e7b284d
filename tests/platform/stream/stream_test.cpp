// The "Adodb.Stream" component, driven through the automation bridge as the system drives it.
#include "platform/stream/stream_component.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/com/apartment.h"
#include "platform/stream/charset_names.h"
#include "runtime/bridge.h"
#include "runtime/text_blocks.h"

namespace {

class StreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    register_stream_component();
    CoInitialize(nullptr);
    ASSERT_TRUE(object_create(stream, "Adodb.Stream"));
  }
  void TearDown() override {
    object_release(stream);
    CoUninitialize();
  }

  bool set(const char* name, const TypedArg& value) { return set_property(stream, name, {value}); }
  double number(const char* name) { return get_property_number(stream, name); }
  // ReadText's UTF-16 result as it came, before the bridge turns it into GBK.
  std::u16string read_text() {
    const VariantValue text = call_method_variant(stream, "ReadText");
    if (text->vt != VT_BSTR) return u"<not a text>";
    return {text->bstrVal, SysStringLen(text->bstrVal)};
  }
  // Opens a binary stream holding `bytes` and rewinds it as text in `charset`.
  void hold(std::string_view bytes, const char* charset) {
    ASSERT_TRUE(set("Type", TypedArg::integer(adTypeBinary)));
    ASSERT_TRUE(set("Mode", TypedArg::integer(adModeReadWrite)));
    call_method(stream, "Open");
    const ByteSet set_bytes =
        bytes_from_buffer(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    call_method(stream, "Write", {set_bytes.arg()});
    ASSERT_TRUE(set("Position", TypedArg::integer(0)));
    ASSERT_TRUE(set("Type", TypedArg::integer(adTypeText)));
    ASSERT_TRUE(set("Charset", TypedArg::text(charset)));
  }

  AutomationObject stream;
};

TEST_F(StreamTest, ANewStreamIsAClosedUnicodeTextStream) {
  EXPECT_EQ(number("Type"), adTypeText);
  EXPECT_EQ(number("Mode"), 0);
  EXPECT_EQ(std::string(get_property_text(stream, "Charset").c_str()), "Unicode");
  EXPECT_EQ(number("Position"), 0);
  EXPECT_EQ(stream.last_result(), ado_result(adErrObjectClosed));
  EXPECT_FALSE(set("Type", TypedArg::integer(3)));
  EXPECT_EQ(stream.last_result(), ado_result(adErrInvalidArgument));
}

TEST_F(StreamTest, WritesMoveThePositionAndOverwrite) {
  ASSERT_TRUE(set("Type", TypedArg::integer(adTypeBinary)));
  call_method(stream, "Open");
  call_method(stream, "Open");
  EXPECT_EQ(stream.last_result(), ado_result(adErrObjectOpen));
  EXPECT_FALSE(set("Mode", TypedArg::integer(adModeReadWrite))) << "only while closed";

  const ByteSet abcd = bytes_from_buffer("abcd", 4);
  call_method(stream, "Write", {abcd.arg()});
  EXPECT_EQ(number("Position"), 4);
  // The system passes its byte array in a variant by reference.
  VariantValue data;
  const ByteSet xy = bytes_from_buffer("xy", 2);
  ASSERT_TRUE(variant_assign(data, xy.arg()));
  ASSERT_TRUE(set("Position", TypedArg::integer(1)));
  call_method(stream, "Write", {data.ref()});
  EXPECT_EQ(stream.last_result(), S_OK);
  EXPECT_EQ(number("Position"), 3);
  ASSERT_TRUE(set("Position", TypedArg::integer(6))) << "past the end: zero bytes fill the gap";
  call_method(stream, "Write", {data.arg()});
  EXPECT_EQ(number("Position"), 8);
  call_method(stream, "Write", {TypedArg::integer(5)});
  EXPECT_EQ(stream.last_result(), ado_result(adErrInvalidArgument));
  EXPECT_FALSE(set("Position", TypedArg::integer(-1)));

  ASSERT_TRUE(set("Position", TypedArg::integer(0)));
  ASSERT_TRUE(set("Type", TypedArg::integer(adTypeText)));
  ASSERT_TRUE(set("Charset", TypedArg::text("us-ascii")));
  EXPECT_EQ(read_text(), std::u16string(u"axyd\0\0xy", 8));
  EXPECT_EQ(number("Position"), 8) << "the whole rest was read";
  EXPECT_EQ(read_text(), u"") << "at the end";
}

TEST_F(StreamTest, ReadsTextInTheNamedCharsetFromThePosition) {
  hold("\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87", "utf-8");
  EXPECT_EQ(read_text(), u"\u4E2D\u6587") << "the UTF-8 mark at the start is dropped";
  call_method(stream, "Close");

  hold("\xFF\xFE\x2D\x4E", "Unicode");
  EXPECT_EQ(read_text(), u"\u4E2D") << "so is the UTF-16 mark";
  call_method(stream, "Close");

  hold("\xD6\xD0\xCE\xC4\x81", "GBK");
  EXPECT_EQ(read_text(), u"\u4E2D\u6587\uFFFD");
  ASSERT_TRUE(set("Position", TypedArg::integer(2)));
  EXPECT_EQ(read_text(), u"\u6587\uFFFD") << "from the position to the end";
  call_method(stream, "Close");

  hold("x\xEF\xBB\xBFy\xC3", "UTF-8");
  ASSERT_TRUE(set("Position", TypedArg::integer(1)));
  EXPECT_EQ(read_text(), u"\uFEFFy\uFFFD") << "a mark past the start is a character";
}

TEST_F(StreamTest, TypeAndCharsetChangeOnlyAtTheStart) {
  hold("ab", "iso-8859-1");
  call_method(stream, "Write", {TypedArg::text("c")});
  EXPECT_EQ(stream.last_result(), ado_result(adErrIllegalOperation))
      << "text streams take no bytes";
  ASSERT_TRUE(set("Position", TypedArg::integer(1)));
  EXPECT_FALSE(set("Type", TypedArg::integer(adTypeBinary)));
  EXPECT_EQ(stream.last_result(), ado_result(adErrIllegalOperation));
  EXPECT_FALSE(set("Charset", TypedArg::text("utf-8")));
  EXPECT_EQ(read_text(), u"b");
  ASSERT_TRUE(set("Position", TypedArg::integer(0)));
  ASSERT_TRUE(set("Type", TypedArg::integer(adTypeBinary)));
  (void)call_method_text(stream, "ReadText");
  EXPECT_EQ(stream.last_result(), ado_result(adErrIllegalOperation)) << "binary streams no text";
}

TEST_F(StreamTest, AnUnknownCharsetIsRefusedAndTheOldOneStays) {
  hold(std::string_view("a\0", 2), "Unicode");
  EXPECT_FALSE(set("Charset", TypedArg::text("no-such-charset")));
  EXPECT_EQ(stream.last_result(), ado_result(adErrInvalidArgument));
  EXPECT_FALSE(set("Charset", TypedArg::text("")));
  EXPECT_FALSE(set("Charset", TypedArg::text("utf-8,version=1"))) << "no converter options";
  EXPECT_EQ(std::string(get_property_text(stream, "Charset").c_str()), "Unicode");
  EXPECT_EQ(read_text(), u"a");
}

TEST(CharsetNamesTest, ThePlatformsNamesComeFirst) {
  EXPECT_EQ(converter_for_charset(u"GB2312"), "windows-936-2000") << "ICU reads it as EUC-CN";
  EXPECT_EQ(converter_for_charset(u"euc-kr"), converter_for_charset(u"ks_c_5601-1987"));
  EXPECT_EQ(converter_for_charset(u"ISO-8859-1"), converter_for_charset(u"windows-1252"));
  EXPECT_EQ(converter_for_charset(u"unicode"), "UTF-16LE") << "ICU would detect the order";
  EXPECT_EQ(converter_for_charset(u"unicodeFFFE"), "UTF-16BE");
  EXPECT_EQ(converter_for_charset(u"big5"), "windows-950-2000") << "ICU's own alias";
  EXPECT_EQ(converter_for_charset(u"\u4E2D"), "");
}

}  // namespace
