#include "runtime/value_to_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "runtime/date_time.h"
#include "runtime/text_blocks.h"

namespace {

std::string text_of(const TypedArg& value) {
  const Text text = value_to_text(value);
  return text.is_null() ? std::string("<null>") : std::string(text.view());
}

struct Case {
  TypedArg value;
  const char* text;
};

void expect_texts(std::initializer_list<Case> cases) {
  for (const Case& c : cases)
    EXPECT_EQ(text_of(c.value), c.text) << std::hex << static_cast<std::uint32_t>(c.value.type);
}

TEST(ValueToTextTest, Numbers) {
  expect_texts({{TypedArg::float64(0.0), "0"},
                {TypedArg::float64(2.5), "2.5"},
                {TypedArg::float64(0.1234567), "0.123457"},
                {TypedArg::float64(0.0000001), "0"},
                {TypedArg::float64(-0.0000001), "-0"},
                {TypedArg::float64(1e20), "100000000000000000000"},
                {TypedArg::dword(0xFFFFFFFF), "-1"},
                {TypedArg::with_words(TypeCode::byte, 300), "44"},
                {TypedArg::with_words(TypeCode::short_int, 65535), "-1"},
                {TypedArg::with_words(TypeCode::long_int, 0xFFFFFFFF, 0xFFFFFFFF), "-1"},
                {TypedArg::with_words(TypeCode::logical, 5), "真"},
                {TypedArg::logical(false), "假"}});
}

TEST(ValueToTextTest, HugeAndNonFiniteRealsStayInsideTheWorkBuffer) {
  // 252 integer digits, the point and six decimals are the most the 260-byte buffer holds.
  EXPECT_EQ(text_of(TypedArg::float64(2e251)).size(), 252u);
  expect_texts({{TypedArg::float64(-2e251), "-2e+251"},
                {TypedArg::float64(1e300), "1e+300"},
                {TypedArg::float64(-INFINITY), "-inf"},
                {TypedArg::float64(NAN), "nan"}});
}

TEST(ValueToTextTest, DateTimes) {
  constexpr double kSecond = 1.0 / 86400;
  expect_texts({{TypedArg::date_time(2.0), "1900年1月1日"},
                {TypedArg::date_time(2.5), "1900年1月1日12时"},
                {TypedArg::date_time(2.0 + 90 * kSecond), "1900年1月1日0时1分30秒"},
                {TypedArg::date_time(2.0 + 3720 * kSecond), "1900年1月1日1时2分"},
                {TypedArg::date_time(0.0), "1899年12月30日"},
                {TypedArg::date_time(1.0), "1899年12月31日"},
                {TypedArg::date_time(367.0), "1901年1月1日"},
                {TypedArg::date_time(-1.25), "1899年12月29日6时"},
                {TypedArg::date_time(-364.0), "1898年12月31日"},
                {TypedArg::date_time(2.999999), "1900年1月1日24时"},  // same date, hour 24
                {TypedArg::date_time(61.0), "1900年3月1日"},          // 1900 is no leap year
                {TypedArg::date_time(36585.0), "2000年2月29日"},      // 2000 is one
                // Whole 400-year cycles and the ends of the int32 day range.
                {TypedArg::date_time(2.0 + 146097 * 5), "3900年1月1日"},
                {TypedArg::date_time(-364.0 - 146097 * 5), "-102年12月31日"},
                {TypedArg::date_time(INT32_MAX), "5881510年7月10日"},
                {TypedArg::date_time(INT32_MIN), "-5877711年6月20日"},
                // Beyond that range, or not finite: no date to name.
                {TypedArg::date_time(2147483648.0), "<null>"},
                {TypedArg::date_time(NAN), "<null>"}});
  EXPECT_EQ(day_fraction_to_time(1.5 / 86400).second, 2);  // halves round upward
}

TEST(ValueToTextTest, TextsByteSetsAndArrays) {
  const std::uint8_t bytes[] = {65, 66, 0, 67};
  const ByteSet set = bytes_from_buffer(bytes, sizeof bytes);
  const struct {
    std::int32_t dimensions = 1, size = 1;
    std::uint8_t bytes[4] = {65, 66, 67, 0};
  } one_integer;
  expect_texts({{set.arg(), "AB"},
                {TypedArg::array(TypeCode::integer, &one_integer), "ABC"},
                {TypedArg::array(TypeCode::short_int, &one_integer), "AB"},  // one 2-byte element
                {TypedArg::array(TypeCode::float32, &one_integer), "<null>"},
                {TypedArg::text("歌"), "歌"},
                {TypedArg::text(""), "<null>"},
                {TypedArg{}, "<null>"}});
  EXPECT_EQ(format_for_output(TypedArg::date_time(2.5)), "1900年1月1日12时");
  EXPECT_EQ(format_for_output(TypedArg::text("x")), "");
  EXPECT_EQ(format_for_output(TypedArg::array(TypeCode::integer, &one_integer)), "");
}

}  // namespace
