// text_find, text_replace and text_split over a 10 MB GBK text, against the same work done with
// std::string and std::string_view in the same run. The baselines search bytes plainly
// (std::string_view::find), which may match across double-byte characters where the commands
// may not; BM_BaselineFindAllStepping adds the character stepping a correct byte scan needs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/text_commands.h"

namespace {

constexpr std::string_view kDe = "\xB5\xC4";  // a frequent character
constexpr std::string_view kMarker = "end-of-text marker";

// About 10 MB of GBK lines: common characters, characters whose second byte is ASCII, ASCII
// words and commas, each line ended by CR LF; a marker closes the text.
const std::string& gbk_text() {
  static const std::string text = [] {
    std::string built;
    built.reserve(10'500'000);
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::uint32_t range) {
      seed = seed * 1103515245u + 12345u;
      return (seed >> 16) % range;
    };
    while (built.size() < 10'000'000) {
      for (int token = 0; token < 24; ++token) {
        const std::uint32_t kind = next(100);
        if (kind < 60) {
          built += static_cast<char>(0xB0 + next(0x28));
          built += static_cast<char>(0xA1 + next(0x5E));
        } else if (kind < 70) {
          built += static_cast<char>(0x81 + next(0x20));
          built += static_cast<char>(0x40 + next(0x3F));
        } else if (kind < 75) {
          built += kDe;
        } else if (kind < 92) {
          built += "word";
        } else {
          built += ',';
        }
      }
      built += "\r\n";
    }
    built += kMarker;
    return built;
  }();
  return text;
}

// ---------------------------------------------------------------------------------------------
// Baselines

std::string baseline_replace(std::string_view text, std::string_view sought,
                             std::string_view replacement) {
  std::string result;
  result.reserve(text.size());
  std::size_t rest = 0;
  for (std::size_t at = text.find(sought); at != std::string_view::npos;
       at = text.find(sought, at + sought.size())) {
    result.append(text, rest, at - rest);
    result.append(replacement);
    rest = at + sought.size();
  }
  result.append(text.substr(rest));
  return result;
}

std::vector<std::string> baseline_split(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  std::size_t rest = 0;
  for (std::size_t at = text.find(separator); at != std::string_view::npos;
       at = text.find(separator, rest)) {
    pieces.emplace_back(text.substr(rest, at - rest));
    rest = at + separator.size();
  }
  if (rest < text.size()) pieces.emplace_back(text.substr(rest));
  return pieces;
}

// ---------------------------------------------------------------------------------------------
// Find

void BM_TextFindAtEnd(benchmark::State& state) {
  const std::string& text = gbk_text();
  for (auto _ : state)
    benchmark::DoNotOptimize(text_find(text, kMarker));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_TextFindAtEnd)->Unit(benchmark::kMillisecond);

void BM_BaselineFindAtEnd(benchmark::State& state) {
  const std::string_view text = gbk_text();
  for (auto _ : state)
    benchmark::DoNotOptimize(text.find(kMarker));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_BaselineFindAtEnd)->Unit(benchmark::kMillisecond);

void BM_TextFindAll(benchmark::State& state) {
  const std::string& text = gbk_text();
  for (auto _ : state) {
    std::int32_t found = 0;
    for (std::int32_t at = text_find(text, kDe); at != -1; at = text_find(text, kDe, at + 2))
      ++found;
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_TextFindAll)->Unit(benchmark::kMillisecond);

void BM_BaselineFindAll(benchmark::State& state) {
  const std::string_view text = gbk_text();
  for (auto _ : state) {
    std::int32_t found = 0;
    for (std::size_t at = text.find(kDe); at != std::string_view::npos; at = text.find(kDe, at + 2))
      ++found;
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_BaselineFindAll)->Unit(benchmark::kMillisecond);

// The byte scan with character stepping: compare at each character start.
void BM_BaselineFindAllStepping(benchmark::State& state) {
  const std::string_view text = gbk_text();
  for (auto _ : state) {
    std::int32_t found = 0;
    for (std::size_t at = 0; at + kDe.size() <= text.size();) {
      if (text.compare(at, kDe.size(), kDe) == 0) {
        ++found;
        at += kDe.size();
      } else {
        at += static_cast<unsigned char>(text[at]) >= 0x80 ? 2 : 1;
      }
    }
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_BaselineFindAllStepping)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------------------
// Replace: a shorter replacement, and a longer one

void BM_TextReplaceShorter(benchmark::State& state) {
  const std::string& text = gbk_text();
  for (auto _ : state) {
    Text result = text_replace(text, kDe, "#", {}, {}, LetterCase::exact);
    benchmark::DoNotOptimize(result.get());
  }
}
BENCHMARK(BM_TextReplaceShorter)->Unit(benchmark::kMillisecond);

void BM_BaselineReplaceShorter(benchmark::State& state) {
  const std::string& text = gbk_text();
  for (auto _ : state) {
    std::string result = baseline_replace(text, kDe, "#");
    benchmark::DoNotOptimize(result.data());
  }
}
BENCHMARK(BM_BaselineReplaceShorter)->Unit(benchmark::kMillisecond);

void BM_TextReplaceLonger(benchmark::State& state) {
  const std::string& text = gbk_text();
  for (auto _ : state) {
    Text result = text_replace(text, kDe, "<de>", {}, {}, LetterCase::exact);
    benchmark::DoNotOptimize(result.get());
  }
}
BENCHMARK(BM_TextReplaceLonger)->Unit(benchmark::kMillisecond);

void BM_BaselineReplaceLonger(benchmark::State& state) {
  const std::string& text = gbk_text();
  for (auto _ : state) {
    std::string result = baseline_replace(text, kDe, "<de>");
    benchmark::DoNotOptimize(result.data());
  }
}
BENCHMARK(BM_BaselineReplaceLonger)->Unit(benchmark::kMillisecond);

// The default replacement folds letters: a sought text with letters takes the character scan.
void BM_TextReplaceFolded(benchmark::State& state) {
  const std::string& text = gbk_text();
  for (auto _ : state) {
    Text result = text_replace(text, "WORD", "w");
    benchmark::DoNotOptimize(result.get());
  }
}
BENCHMARK(BM_TextReplaceFolded)->Unit(benchmark::kMillisecond);

void BM_BaselineReplaceExactLetters(benchmark::State& state) {
  const std::string& text = gbk_text();
  for (auto _ : state) {
    std::string result = baseline_replace(text, "word", "w");
    benchmark::DoNotOptimize(result.data());
  }
}
BENCHMARK(BM_BaselineReplaceExactLetters)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------------------
// Split into lines

void BM_TextSplitLines(benchmark::State& state) {
  const std::string& text = gbk_text();
  for (auto _ : state) {
    ValueArray lines = text_split(text, "\r\n");
    benchmark::DoNotOptimize(lines.get());
  }
}
BENCHMARK(BM_TextSplitLines)->Unit(benchmark::kMillisecond);

void BM_BaselineSplitLines(benchmark::State& state) {
  const std::string& text = gbk_text();
  for (auto _ : state) {
    std::vector<std::string> lines = baseline_split(text, "\r\n");
    benchmark::DoNotOptimize(lines.data());
  }
}
BENCHMARK(BM_BaselineSplitLines)->Unit(benchmark::kMillisecond);

// The same split with the freeing of the results left out of the timing: freeing a text array
// frees every element through mem_free, whose readability probe of each block is a system call.
void BM_TextSplitLinesWithoutFree(benchmark::State& state) {
  const std::string& text = gbk_text();
  for (auto _ : state) {
    ValueArray lines = text_split(text, "\r\n");
    benchmark::DoNotOptimize(lines.get());
    state.PauseTiming();
    lines.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_TextSplitLinesWithoutFree)->Unit(benchmark::kMillisecond);

void BM_BaselineSplitLinesWithoutFree(benchmark::State& state) {
  const std::string& text = gbk_text();
  for (auto _ : state) {
    std::vector<std::string> lines = baseline_split(text, "\r\n");
    benchmark::DoNotOptimize(lines.data());
    state.PauseTiming();
    lines = {};
    state.ResumeTiming();
  }
}
BENCHMARK(BM_BaselineSplitLinesWithoutFree)->Unit(benchmark::kMillisecond);

void BM_TextSplitCommas(benchmark::State& state) {
  const std::string& text = gbk_text();
  for (auto _ : state) {
    ValueArray pieces = text_split(text);
    benchmark::DoNotOptimize(pieces.get());
  }
}
BENCHMARK(BM_TextSplitCommas)->Unit(benchmark::kMillisecond);

void BM_BaselineSplitCommas(benchmark::State& state) {
  const std::string& text = gbk_text();
  for (auto _ : state) {
    std::vector<std::string> pieces = baseline_split(text, ",");
    benchmark::DoNotOptimize(pieces.data());
  }
}
BENCHMARK(BM_BaselineSplitCommas)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
