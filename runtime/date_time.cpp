#include "runtime/date_time.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

constexpr std::int64_t kDaysPer400Years = 146097;  // every 400 consecutive years

bool is_leap_year(std::int64_t year) {
  return year % 400 == 0 || (year % 4 == 0 && year % 100 != 0);
}

std::int64_t year_length(std::int64_t year) {
  return is_leap_year(year) ? 366 : 365;
}

// Month and day of `day_of_year` (1 = 1 January) in `year`.
CalendarDate date_in_year(std::int64_t year, std::int64_t day_of_year) {
  static constexpr std::int64_t kMonthLengths[12] = {31, 28, 31, 30, 31, 30,
                                                     31, 31, 30, 31, 30, 31};
  std::int32_t month = 1;
  for (std::int64_t length : kMonthLengths) {
    if (month == 2 && is_leap_year(year)) length = 29;
    if (day_of_year <= length || month == 12) break;
    day_of_year -= length;
    ++month;
  }
  return {static_cast<std::int32_t>(year), month, static_cast<std::int32_t>(day_of_year)};
}

// Day numbers above 1: walk forward from 1900. Whole 400-year cycles are skipped at once; the
// year-by-year walk would pass through them with the same result.
CalendarDate date_after_1899(std::int64_t days) {
  std::int64_t day_of_year = days - 1;
  std::int64_t year = 1900;
  const std::int64_t cycles = (day_of_year - 1) / kDaysPer400Years;
  day_of_year -= cycles * kDaysPer400Years;
  year += cycles * 400;
  while (day_of_year > year_length(year)) {
    day_of_year -= year_length(year);
    ++year;
  }
  return date_in_year(year, day_of_year);
}

// Day numbers below 0: `before` counts the days before 31 December 1899, walking backward.
CalendarDate date_before_1899(std::int64_t days) {
  std::int64_t before = 1 - days;
  std::int64_t year = 1899;
  const std::int64_t cycles = before / kDaysPer400Years;
  before -= cycles * kDaysPer400Years;
  year -= cycles * 400;
  while (before >= year_length(year)) {
    before -= year_length(year);
    --year;
  }
  return date_in_year(year, year_length(year) - before);
}

}  // namespace

CalendarDate day_number_to_date(std::int32_t days) {
  if (days == 0 || days == 1) return {1899, 12, 30 + days};
  return days > 1 ? date_after_1899(days) : date_before_1899(days);
}

TimeOfDay day_fraction_to_time(double fraction) {
  const double magnitude = std::fabs(fraction);
  if (!(magnitude < 1.0)) return {};  // also catches NaN
  const auto seconds = static_cast<std::int32_t>(magnitude * 86400.0 + 0.5);
  return {seconds / 3600, seconds % 3600 / 60, seconds % 60};
}

void date_time_to_text(char* buffer, double value) {
  buffer[0] = '\0';
  if (!std::isfinite(value)) return;
  double whole = 0;
  const double fraction = std::modf(value, &whole);
  if (whole < std::numeric_limits<std::int32_t>::min() ||
      whole > std::numeric_limits<std::int32_t>::max()) {
    return;
  }
  const TimeOfDay time = day_fraction_to_time(fraction);
  const CalendarDate date = day_number_to_date(static_cast<std::int32_t>(whole));
  const char* format = "%d年%d月%d日";
  if (time.second != 0) {
    format = "%d年%d月%d日%d时%d分%d秒";
  } else if (time.minute != 0) {
    format = "%d年%d月%d日%d时%d分";
  } else if (time.hour != 0) {
    format = "%d年%d月%d日%d时";
  }
  std::snprintf(buffer, kWorkBufferSize, format, date.year, date.month, date.day, time.hour,
                time.minute, time.second);
}
