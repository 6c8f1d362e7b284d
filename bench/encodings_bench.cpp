// utf8_to_ansi of 1 MB of Chinese UTF-8 (through UTF-16, as the system converts), against ICU
// converting the same bytes from UTF-8 to windows-936-2000 directly, with converters opened once
// and an output buffer allocated on each pass as utf8_to_ansi allocates its result.
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <cstdint>
#include <memory>
#include <string>

#include "http/encodings.h"

namespace {

// About 1 MB of Chinese prose: CJK ideographs (all in GBK), a full-width comma or full stop
// after every few, and a line break ending each paragraph of about 80 characters.
const std::string& chinese_utf8() {
  static const std::string text = [] {
    std::string built;
    const auto append = [&built](std::uint32_t character) {
      if (character < 0x80) {
        built += static_cast<char>(character);
        return;
      }
      built += static_cast<char>(0xE0 | character >> 12);
      built += static_cast<char>(0x80 | (character >> 6 & 0x3F));
      built += static_cast<char>(0x80 | (character & 0x3F));
    };
    std::uint32_t seed = 2024;
    const auto next = [&seed](std::uint32_t range) {
      seed = seed * 1103515245u + 12345u;
      return (seed >> 16) % range;
    };
    while (built.size() < 1'000'000) {
      for (std::uint32_t sentence = 0; sentence < 6; ++sentence) {
        for (std::uint32_t n = 6 + next(10); n > 0; --n)
          append(0x4E00 + next(0x9FA5 - 0x4E00 + 1));
        append(sentence == 5 ? 0x3002 : 0xFF0C);  // 。 ，
      }
      append('\n');
    }
    return built;
  }();
  return text;
}

void BM_Utf8ToAnsi(benchmark::State& state) {
  const std::string& text = chinese_utf8();
  for (auto _ : state)
    benchmark::DoNotOptimize(utf8_to_ansi(text.c_str()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Utf8ToAnsi)->Unit(benchmark::kMillisecond);

struct ConverterClose {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

void BM_BaselineIcuDirect(benchmark::State& state) {
  const std::string& text = chinese_utf8();
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<UConverter, ConverterClose> utf8(ucnv_open("UTF-8", &status));
  const std::unique_ptr<UConverter, ConverterClose> gbk(ucnv_open("windows-936-2000", &status));
  if (U_FAILURE(status)) {
    state.SkipWithError("ICU converters unavailable");
    return;
  }
  // No UTF-8 character becomes more GBK bytes than it has ("??" for a four-byte one).
  const std::size_t capacity = text.size() + 1;
  for (auto _ : state) {
    const std::unique_ptr<char[]> out(new char[capacity]);
    char* target = out.get();
    const char* source = text.data();
    status = U_ZERO_ERROR;
    ucnv_convertEx(gbk.get(), utf8.get(), &target, out.get() + capacity, &source,
                   text.data() + text.size(), nullptr, nullptr, nullptr, nullptr, true, true,
                   &status);
    *target = '\0';
    benchmark::DoNotOptimize(out.get());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_BaselineIcuDirect)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
