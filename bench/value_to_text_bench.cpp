// value_to_text against snprintf of the same values in the same run: doubles ("%lf") and
// date-times (the date-time format with its six fields computed beforehand).
#include <benchmark/benchmark.h>

#include <cstdio>

#include "runtime/runtime.h"
#include "runtime/text_blocks.h"
#include "runtime/value_to_text.h"

namespace {

constexpr double kDoubles[] = {0.0, 2.5, 0.1234567, -1234.5, 1e20, 3.14159265358979, 42.0, 1e-7};
constexpr double kDateTimes[] = {2.0, 2.5, 45658.75, -1.25, 36585.0 + 1.0 / 86400, 45000.1234};

struct DateFields {
  int year, month, day, hour, minute, second;
};
// The fields of kDateTimes, as the baseline is given them.
constexpr DateFields kDateFields[] = {{1900, 1, 1, 0, 0, 0},  {1900, 1, 1, 12, 0, 0},
                                      {2025, 1, 1, 18, 0, 0}, {1899, 12, 29, 6, 0, 0},
                                      {2000, 2, 29, 0, 0, 1}, {2023, 3, 15, 2, 57, 42}};

void BM_SnprintfDouble(benchmark::State& state) {
  char buffer[260];
  for (auto _ : state) {
    for (double value : kDoubles) {
      benchmark::DoNotOptimize(std::snprintf(buffer, sizeof buffer, "%lf", value));
      benchmark::ClobberMemory();
    }
  }
}
BENCHMARK(BM_SnprintfDouble);

void BM_ValueToTextDouble(benchmark::State& state) {
  for (auto _ : state) {
    for (double value : kDoubles) {
      Text text = value_to_text(TypedArg::float64(value));
      benchmark::DoNotOptimize(text.get());
    }
  }
}
BENCHMARK(BM_ValueToTextDouble);

void BM_SnprintfDateTime(benchmark::State& state) {
  char buffer[260];
  for (auto _ : state) {
    for (const DateFields& f : kDateFields) {
      benchmark::DoNotOptimize(std::snprintf(buffer, sizeof buffer, "%d年%d月%d日%d时%d分%d秒",
                                             f.year, f.month, f.day, f.hour, f.minute, f.second));
      benchmark::ClobberMemory();
    }
  }
}
BENCHMARK(BM_SnprintfDateTime);

void BM_ValueToTextDateTime(benchmark::State& state) {
  for (auto _ : state) {
    for (double value : kDateTimes) {
      Text text = value_to_text(TypedArg::date_time(value));
      benchmark::DoNotOptimize(text.get());
    }
  }
}
BENCHMARK(BM_ValueToTextDateTime);

// The share of the above that is the result block alone: allocating and freeing a short Text.
void BM_TextBlockOnly(benchmark::State& state) {
  for (auto _ : state) {
    for (int i = 0; i < 8; ++i) {
      Text text = text_from_buffer("2.5", 3);
      benchmark::DoNotOptimize(text.get());
    }
  }
}
BENCHMARK(BM_TextBlockOnly);

}  // namespace

BENCHMARK_MAIN();
