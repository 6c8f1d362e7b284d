#include "platform/com/real_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

// Below this decimal exponent the exponent form is used (5.6789E-12, but 0.000000000056789).
constexpr int kLowestPlainExponent = -11;

// Every finite double's exact decimal expansion has at most this many significant digits.
constexpr int kExactDigits = 767;

// A positive number as significant digits (no trailing zeros) and the decimal exponent of the
// first of them: 1234.5 is {"12345", 3}.
struct Decimal {
  std::string digits;
  int exponent;
};

// `magnitude` (finite, above zero) rounded to `count` significant digits, halves away from zero.
// The rounding looks at the exact binary value, so that a true half goes away from zero
// (654322.25 to 7 digits is 654322.3) and a value a hair below a half does not.
Decimal round_half_away(double magnitude, int count) {
  char exact[kExactDigits + 16];  // "d.ddd...e-324"
  const auto [end, error] = std::to_chars(exact, exact + sizeof exact, magnitude,
                                          std::chars_format::scientific, kExactDigits - 1);
  const std::string_view text(exact, error == std::errc() ? end : exact);
  const std::size_t e = text.find('e');
  if (e == std::string_view::npos) return {"0", 0};

  Decimal rounded{std::string(1, text[0]), 0};
  const std::size_t exponent_at = e + (text[e + 1] == '+' ? 2 : 1);  // from_chars takes no '+'
  std::from_chars(text.data() + exponent_at, text.data() + text.size(), rounded.exponent);
  rounded.digits.append(text.substr(2, static_cast<std::size_t>(count - 1)));
  const char first_dropped = text[static_cast<std::size_t>(count) + 1];
  if (first_dropped >= '5') {
    std::size_t at = rounded.digits.size();
    while (at > 0 && rounded.digits[at - 1] == '9')
      rounded.digits[--at] = '0';
    if (at == 0) {  // 9.99... became 10.0...
      rounded.digits.insert(0, 1, '1');
      ++rounded.exponent;
    } else {
      ++rounded.digits[at - 1];
    }
  }
  rounded.digits.erase(rounded.digits.find_last_not_of('0') + 1);
  return rounded;
}

// "d.dddE+xx": the mantissa's point only when it has a fraction, the exponent signed and at least
// two digits long.
std::string exponent_form(const Decimal& number) {
  std::string text(1, number.digits[0]);
  if (number.digits.size() > 1) text.append(".").append(number.digits, 1);
  text += number.exponent < 0 ? "E-" : "E+";
  const int magnitude = std::abs(number.exponent);
  if (magnitude < 10) text += '0';
  return text + std::to_string(magnitude);
}

std::string plain_form(const Decimal& number) {
  if (number.exponent < 0) {
    return "0." + std::string(static_cast<std::size_t>(-number.exponent - 1), '0') + number.digits;
  }
  const auto whole = static_cast<std::size_t>(number.exponent) + 1;
  if (number.digits.size() <= whole)
    return number.digits + std::string(whole - number.digits.size(), '0');
  return number.digits.substr(0, whole) + "." + number.digits.substr(whole);
}

}  // namespace

std::string real_text(double value, int significant_digits) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  if (value == 0) return "0";
  const Decimal number = round_half_away(std::fabs(value), significant_digits);
  const bool plain =
      number.exponent >= kLowestPlainExponent && number.exponent < significant_digits;
  return (value < 0 ? "-" : "") + (plain ? plain_form(number) : exponent_form(number));
}
