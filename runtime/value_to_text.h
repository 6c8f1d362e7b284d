// Value-to-text conversion: turning a typed runtime value into a Text.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/runtime.h"

inline constexpr std::uint32_t kValueToTextCommand = 0x168;

// The text of `value`: "真"/"假" for logical values, decimal numbers, date-times as
// "%d年%d月%d日" with their time forms, a copy of a text, the bytes of a byte set or of an integer
// array as characters. Null when the text would be empty or the TypeCode is not converted.
//
// Floating values print six decimals with the trailing zeros and a bare point removed (2.5, 100,
// -0). A magnitude whose fixed-point form does not fit the 260-byte work buffer (about 1e251 and
// above) prints in exponent form, trimmed the same way ("1e+300"); infinities and NaNs print as
// the standard library writes them ("inf", "-inf", "nan", "-nan"). A date-time that is not finite
// or lies beyond the int32 day range gives null.
[[nodiscard]] Text value_to_text(const TypedArg& value);

// The text console output writes for `value`: the same as value_to_text for logical, date-time and
// numeric values; empty for texts (written by the caller itself), byte sets, arrays and any other
// TypeCode, which console output skips.
[[nodiscard]] std::string format_for_output(const TypedArg& value);

// Trims a fixed-point number text in place: trailing '0's go, then the point if it has become the
// last character ("2.500000" -> "2.5", "-0.000000" -> "-0"). A text without a point is left as
// it is. `buffer` must not be null.
void trim_fraction_zeros(char* buffer);

// The bytes of the elements of a ByteSet or ValueArray block (`element_size` bytes each) up to the
// first zero byte, as a new Text. Null for a null block, no elements, or a zero first byte.
[[nodiscard]] Text bytes_to_text(const void* block, std::uint32_t element_size);
