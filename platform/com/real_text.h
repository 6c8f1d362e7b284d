// The texts of VT_R8 and VT_R4 values, as the platform's variant conversions write them.
//
// The value is rounded to a number of significant digits (15 for doubles, 7 for floats), halves
// away from zero, and written without trailing zeros. Plain digits are used while the decimal
// exponent of the first digit lies from -11 up to one below that count ("100000", "0.0001",
// "0.000000000056789", "999999999999999"); outside that range the exponent form, with a sign and
// at least two exponent digits ("1E+15", "1.2E+15", "5.6789E-12", "1E+08" for a float).
// Zero of either sign is "0". Not-a-number and the infinities are "nan", "inf" and "-inf".
#pragma once

#include <string>

inline constexpr int kDoubleTextDigits = 15;
inline constexpr int kFloatTextDigits = 7;

// The text of `value` with at most `significant_digits` (1 to 17) significant digits.
std::string real_text(double value, int significant_digits);
