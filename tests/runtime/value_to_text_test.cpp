#include "runtime/value_to_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "runtime/date_time.h"
#include "runtime/text_blocks.h"

namespace {

std::string text_of(const TypedArg& value) {
  const Text text = value_to_text(value);
  return text.is_null() ? std::string("<null>") : std::string(text.view());
}

TEST(ValueToTextTest, DoublesPrintSixDecimalsTrimmed) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0.0, "0"},       {2.5, "2.5"},       {100.0, "100"},   {0.1234567, "0.123457"},
      {0.0000001, "0"}, {-0.0000001, "-0"}, {-2.25, "-2.25"}, {1e20, "100000000000000000000"}};
  for (const auto& c : cases) {
    EXPECT_EQ(text_of(TypedArg::float64(c.value)), c.text) << c.value;
  }
  EXPECT_EQ(text_of(TypedArg::float32(2.5f)), "2.5");
  EXPECT_EQ(text_of(TypedArg::float32(0.1f)), "0.1");  // widened: 0.100000001...
}

TEST(ValueToTextTest, HugeAndNonFiniteRealsStayInsideTheWorkBuffer) {
  EXPECT_EQ(text_of(TypedArg::float64(1e300)), "1e+300");
  EXPECT_EQ(text_of(TypedArg::float64(-1.5e260)), "-1.5e+260");
  EXPECT_EQ(text_of(TypedArg::float64(std::numeric_limits<double>::max())), "1.797693e+308");
  // 252 integer digits, the point and six decimals are the most the 260-byte buffer holds.
  EXPECT_EQ(text_of(TypedArg::float64(2e251)).size(), 252u);
  EXPECT_EQ(text_of(TypedArg::float64(-2e251)), "-2e+251");
  EXPECT_EQ(text_of(TypedArg::float64(1e252)), "1e+252");
  EXPECT_EQ(text_of(TypedArg::float32(std::numeric_limits<float>::max())).size(), 39u);
  EXPECT_EQ(text_of(TypedArg::float64(INFINITY)), "inf");
  EXPECT_EQ(text_of(TypedArg::float64(-INFINITY)), "-inf");
  EXPECT_EQ(text_of(TypedArg::float64(NAN)), "nan");
  EXPECT_EQ(text_of(TypedArg::float32(-INFINITY)), "-inf");
}

TEST(ValueToTextTest, IntegerKindsReadTheirOwnWidth) {
  EXPECT_EQ(text_of(TypedArg::integer(-42)), "-42");
  EXPECT_EQ(text_of(TypedArg::dword(0xFFFFFFFF)), "-1");
  EXPECT_EQ(text_of(TypedArg::with_words(TypeCode::byte, 300)), "44");
  EXPECT_EQ(text_of(TypedArg::with_words(TypeCode::short_int, 65535)), "-1");
  EXPECT_EQ(text_of(TypedArg::with_words(TypeCode::short_int, 0x18000)), "-32768");
  EXPECT_EQ(text_of(TypedArg::with_words(TypeCode::long_int, 0xFFFFFFFF, 0xFFFFFFFF)), "-1");
  EXPECT_EQ(text_of(TypedArg::long_int(INT64_MIN)), "-9223372036854775808");
}

TEST(ValueToTextTest, LogicalValues) {
  EXPECT_EQ(text_of(TypedArg::with_words(TypeCode::logical, 5)), "真");
  EXPECT_EQ(text_of(TypedArg::logical(false)), "假");
}

TEST(ValueToTextTest, DateTimes) {
  constexpr double kSecond = 1.0 / 86400;
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {2.0, "1900年1月1日"},
      {2.5, "1900年1月1日12时"},
      {2.0 + 90 * kSecond, "1900年1月1日0时1分30秒"},
      {2.0 + 3720 * kSecond, "1900年1月1日1时2分"},
      {0.0, "1899年12月30日"},
      {1.0, "1899年12月31日"},
      {367.0, "1901年1月1日"},
      {-1.25, "1899年12月29日6时"},
      {-364.0, "1898年12月31日"},
      {2.999999, "1900年1月1日24时"},  // within half a second of midnight: same date, hour 24
      {61.0, "1900年3月1日"},          // 1900 is no leap year
      {36585.0, "2000年2月29日"},      // 2000 is one
      {45658.75, "2025年1月1日18时"},
      {-693593.0, "1年1月1日"},
      {-693594.0, "0年12月31日"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text_of(TypedArg::date_time(c.value)), c.text) << c.value;
  }
}

TEST(ValueToTextTest, DateTimesAtTheEndsOfTheDayRange) {
  // Whole 400-year cycles: the same day of the year 400 years on.
  EXPECT_EQ(text_of(TypedArg::date_time(2.0 + 146097 * 5)), "3900年1月1日");
  EXPECT_EQ(text_of(TypedArg::date_time(-364.0 - 146097 * 5)), "-102年12月31日");
  EXPECT_EQ(text_of(TypedArg::date_time(INT32_MAX)), "5881510年7月10日");
  EXPECT_EQ(text_of(TypedArg::date_time(INT32_MIN)), "-5877711年6月20日");
  // Beyond the int32 day range or not finite: no date to name.
  for (double value : {2147483648.0, -2147483649.0, 1e300, double{INFINITY}, double{NAN}}) {
    EXPECT_EQ(text_of(TypedArg::date_time(value)), "<null>") << value;
  }
}

TEST(ValueToTextTest, TimeOfDayRounding) {
  const TimeOfDay almost_midnight = day_fraction_to_time(-0.9999999);
  EXPECT_EQ(almost_midnight.hour, 24);
  EXPECT_EQ(almost_midnight.minute + almost_midnight.second, 0);
  EXPECT_EQ(day_fraction_to_time(1.5 / 86400).second, 2);  // halves round upward
  EXPECT_EQ(day_fraction_to_time(NAN).hour, 0);
}

struct IntArrayBlock {
  std::int32_t dimensions = 1;
  std::int32_t size = 1;
  std::uint8_t bytes[4] = {65, 66, 67, 0};
};

TEST(ValueToTextTest, ByteSetsAndArraysReadAsCharacters) {
  const std::uint8_t bytes[] = {65, 66, 0, 67};
  const ByteSet set = bytes_from_buffer(bytes, sizeof bytes);
  EXPECT_EQ(text_of(set.arg()), "AB");
  EXPECT_EQ(text_of(TypedArg::byte_set(nullptr)), "<null>");
  EXPECT_EQ(text_of(TypedArg::with_pointer(TypeCode::byte_set, nullptr)), "<null>");

  const IntArrayBlock array;
  EXPECT_EQ(text_of(TypedArg::array(TypeCode::integer, &array)), "ABC");
  EXPECT_EQ(text_of(TypedArg::array(TypeCode::dword, &array)), "ABC");
  EXPECT_EQ(text_of(TypedArg::array(TypeCode::short_int, &array)), "AB");  // one 2-byte element
  EXPECT_EQ(text_of(TypedArg::array(TypeCode::byte, &array)), "A");
  EXPECT_EQ(text_of(TypedArg::array(TypeCode::float32, &array)), "<null>");
  EXPECT_EQ(text_of(TypedArg::array(TypeCode::integer, nullptr)), "<null>");
}

TEST(ValueToTextTest, TextsAreCopiedAndOtherTypesGiveNull) {
  const char source[] = "歌曲";
  const Text copy = value_to_text(TypedArg::text(source));
  EXPECT_EQ(copy.view(), source);
  EXPECT_NE(copy.get(), source);
  EXPECT_TRUE(value_to_text(TypedArg::text("")).is_null());
  EXPECT_TRUE(value_to_text(TypedArg{}).is_null());
  EXPECT_TRUE(value_to_text(TypedArg::with_words(TypeCode::object, 1)).is_null());
}

TEST(ValueToTextTest, OutputFormLeavesTextsAndBlocksToTheCaller) {
  EXPECT_EQ(format_for_output(TypedArg::logical(true)), "真");
  EXPECT_EQ(format_for_output(TypedArg::float64(2.5)), "2.5");
  EXPECT_EQ(format_for_output(TypedArg::date_time(2.5)), "1900年1月1日12时");
  const IntArrayBlock array;
  EXPECT_EQ(format_for_output(TypedArg::text("x")), "");
  EXPECT_EQ(format_for_output(TypedArg::byte_set(nullptr)), "");
  EXPECT_EQ(format_for_output(TypedArg::array(TypeCode::integer, &array)), "");
}

TEST(ValueToTextTest, TrimOnlyTouchesFixedPointTexts) {
  char trimmed[] = "100.000000";
  trim_fraction_zeros(trimmed);
  EXPECT_STREQ(trimmed, "100");
  char whole[] = "100";
  trim_fraction_zeros(whole);
  EXPECT_STREQ(whole, "100");
}

TEST(ValueToTextTest, TypeSizes) {
  EXPECT_EQ(type_size(TypeCode::byte), 1u);
  EXPECT_EQ(type_size(TypeCode::short_int), 2u);
  EXPECT_EQ(type_size(TypeCode::dword), 4u);
  EXPECT_EQ(type_size(TypeCode::date_time), 8u);
  EXPECT_EQ(type_size(TypeCode::text), element_width(TypeCode::text));
  EXPECT_EQ(type_size(array_of(TypeCode::integer)), 0u);
  EXPECT_EQ(type_size(TypeCode::variant), 0u);
}

}  // namespace
