// Number commands: bitwise OR and truncation of doubles.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

inline constexpr std::uint32_t kBitOrCommand = 0xC8;

// The bitwise OR of all `values`; 0 for none.
//   bit_or({kFlagA, kFlagB})
[[nodiscard]] std::int32_t bit_or(std::span<const std::int32_t> values);
[[nodiscard]] inline std::int32_t bit_or(std::initializer_list<std::int32_t> values) {
  return bit_or(std::span<const std::int32_t>(values.begin(), values.size()));
}

// `value` truncated toward zero (callers use the low 32 bits). A NaN, or a value outside the
// 64-bit range, gives INT64_MIN, the value the processor's own conversion gives.
[[nodiscard]] std::int64_t double_to_int(double value);
