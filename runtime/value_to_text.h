// Value-to-text conversion: turning a typed runtime value into a Text.
#pragma once

#include <cstdint>

#include "runtime/runtime.h"

inline constexpr std::uint32_t kValueToTextCommand = 0x168;

// The text of `value`: "真"/"假" for logical values, decimal numbers, date-times as
// "%d年%d月%d日" with their time forms, a copy of a text, the bytes of a byte set or of an integer
// array as characters. Null when the text would be empty or the TypeCode is not converted.
[[nodiscard]] Text value_to_text(const TypedArg& value);
