#include "runtime/number_commands.h"

#include <cmath>
#include <limits>

std::int32_t bit_or(std::span<const std::int32_t> values) {
  std::int32_t result = 0;
  for (std::int32_t value : values)
    result |= value;
  return result;
}

std::int64_t double_to_int(double value) {
  // 2^63 is the first value above the range and -2^63 its lowest; both tests fail for NaN.
  constexpr double kLimit = 9223372036854775808.0;
  if (!(value >= -kLimit && value < kLimit)) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(std::trunc(value));
}
