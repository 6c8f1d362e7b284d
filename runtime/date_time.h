// Date-times as text: days since 30 December 1899 (a double whose fraction is the time of day),
// written as "%d年%d月%d日" followed by the time of day down to its smallest non-zero unit.
#pragma once

#include <cstddef>
#include <cstdint>

// The size of the work buffer in which value-to-text conversion builds its texts.
inline constexpr std::size_t kWorkBufferSize = 260;

struct CalendarDate {
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;
};

struct TimeOfDay {
  std::int32_t hour = 0;
  std::int32_t minute = 0;
  std::int32_t second = 0;
};

// The Gregorian date of day number `days` (day 0 is 30 December 1899, day 1 the 31st; negative
// numbers count backwards), applied also before the calendar's introduction. Every int32 is valid.
[[nodiscard]] CalendarDate day_number_to_date(std::int32_t days);

// The time of a day fraction (its sign is ignored), rounded to the nearest second, halves upward.
// A fraction within half a second of a whole day gives 24:00:00. Non-finite fractions and
// magnitudes of 1 or more are outside the contract and give 0:00:00.
[[nodiscard]] TimeOfDay day_fraction_to_time(double fraction);

// Writes the text of the date-time `value` into `buffer` (kWorkBufferSize bytes, NUL-terminated):
//   2.0 -> "1900年1月1日", 2.5 -> "1900年1月1日12时", -1.25 -> "1899年12月29日6时".
// A value that is not finite, or whose whole-day part lies outside the int32 range, writes the
// empty text: no date can be named for it.
void date_time_to_text(char* buffer, double value);
