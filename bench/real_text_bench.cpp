// The texts of doubles as variant conversions write them (15 significant digits, halves rounded
// away from zero on the exact value) against the C library's "%.15G" of the same values, which
// rounds the same number of digits its own way, in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <span>
#include <string>

#include "platform/com/real_text.h"

namespace {

constexpr double kUsual[] = {0.0, 2.5, 0.1234567, -1234.5, 1e20, 3.14159265358979, 42.0, 1e-7};
constexpr double kTiny[] = {2.5e-300, -1.2345e-250, 4.9e-324, 1e-200};

void BM_SnprintfDouble(benchmark::State& state, std::span<const double> values) {
  char buffer[64];
  for (auto _ : state) {
    for (double value : values) {
      benchmark::DoNotOptimize(std::snprintf(buffer, sizeof buffer, "%.15G", value));
      benchmark::ClobberMemory();
    }
  }
}
BENCHMARK_CAPTURE(BM_SnprintfDouble, usual, kUsual);
BENCHMARK_CAPTURE(BM_SnprintfDouble, tiny, kTiny);

void BM_RealText(benchmark::State& state, std::span<const double> values) {
  for (auto _ : state) {
    for (double value : values) {
      std::string text = real_text(value, kDoubleTextDigits);
      benchmark::DoNotOptimize(text.data());
    }
  }
}
BENCHMARK_CAPTURE(BM_RealText, usual, kUsual);
BENCHMARK_CAPTURE(BM_RealText, tiny, kTiny);

}  // namespace

BENCHMARK_MAIN();
