// JsonDocument against nlohmann::json doing the same reads, and the start of a script engine with
// the primer loaded from bytecode against the primer compiled from source.
//
// Each document operation pays for script engines: construction starts one, every parse starts a
// fresh one, and get_text evaluates three scripts. nlohmann::json reads the same answer converted
// to UTF-8 (its own input form) once, outside the timing.
#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <string>

#include "json/json_document.h"
#include "json/json_primer.h"
#include "platform/codepage/codepage.h"
#include "platform/com/apartment.h"
#include "platform/script/program_cache.h"
#include "platform/script/script_control.h"
#include "runtime/bridge.h"
#include "runtime/text_blocks.h"
#include "tests/support/search_answer.h"

namespace {

constexpr const char* kHashPaths[] = {
    "data.info[0].hash", "data.info[1].hash", "data.info[2].hash",
    "data.info[3].hash", "data.info[4].hash",
};

std::string utf8_of(const std::string& gbk) {
  std::u16string wide(gbk.size(), u'\0');
  wide.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_GBK, 0, gbk.data(), static_cast<int>(gbk.size()), wide.data(),
                          static_cast<int>(gbk.size()))));
  std::string utf8(wide.size() * 3, '\0');
  utf8.resize(static_cast<std::size_t>(
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(),
                          static_cast<int>(utf8.size()), nullptr, nullptr)));
  return utf8;
}

const std::string& answer_of(std::size_t size) {
  static std::string small = make_search_answer(5 * 1024);
  static std::string large = make_search_answer(1024 * 1024);
  return size == 5 * 1024 ? small : large;
}

// ---------------------------------------------------------------------------------------------
// A document's life as the song search lives it: construct, load a 5 KB answer, read five hashes.

void BM_DocumentLife_JsonDocument(benchmark::State& state) {
  register_script_control();
  const std::string& answer = answer_of(5 * 1024);
  for (auto _ : state) {
    JsonDocument document;
    if (!document.parse(answer)) state.SkipWithError("the answer did not load");
    for (const char* path : kHashPaths) {
      Text hash = document.get_text(path);
      benchmark::DoNotOptimize(hash.get());
    }
  }
}
BENCHMARK(BM_DocumentLife_JsonDocument)->Unit(benchmark::kMicrosecond);

void BM_DocumentLife_Nlohmann(benchmark::State& state) {
  const std::string answer = utf8_of(answer_of(5 * 1024));
  for (auto _ : state) {
    const nlohmann::json document = nlohmann::json::parse(answer, nullptr, false);
    for (int i = 0; i < 5; ++i) {
      std::string hash = document["data"]["info"][i]["hash"].get<std::string>();
      benchmark::DoNotOptimize(hash.data());
    }
  }
}
BENCHMARK(BM_DocumentLife_Nlohmann)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------------------------
// The JSON work of one song search: two documents, the search answer and five play-info answers
// loaded, a hash and a file name read for each hit and the address read from each play-info
// answer (eight engine starts in all: each construction and each load starts one).

constexpr std::string_view kPlayInfo =
    R"({"status":1,"error":"","fileName":"歌手 - 月亮代表我的心","bitRate":128,"extName":"mp3",)"
    R"("timeLength":245,"fileSize":3932160,"url":"http://127.0.0.1/music/5B0F3E2A.mp3"})";

void BM_SearchJsonWork_JsonDocument(benchmark::State& state) {
  register_script_control();
  const std::string& answer = answer_of(5 * 1024);
  const std::string play_info(kPlayInfo);
  for (auto _ : state) {
    JsonDocument search;
    JsonDocument play;
    if (!search.parse(answer)) state.SkipWithError("the answer did not load");
    for (int i = 0; i < 5; ++i) {
      const std::string hit = "data.info[" + std::to_string(i) + "]";
      Text hash = search.get_text(hit + ".hash");
      play.parse(play_info);
      Text name = search.get_text(hit + ".filename");
      Text url = play.get_text("url");
      benchmark::DoNotOptimize(url.get());
    }
  }
}
BENCHMARK(BM_SearchJsonWork_JsonDocument)->Unit(benchmark::kMicrosecond);

void BM_SearchJsonWork_Nlohmann(benchmark::State& state) {
  const std::string answer = utf8_of(answer_of(5 * 1024));
  const std::string play_info = utf8_of(std::string(kPlayInfo));
  for (auto _ : state) {
    const nlohmann::json search = nlohmann::json::parse(answer, nullptr, false);
    for (int i = 0; i < 5; ++i) {
      std::string hash = search["data"]["info"][i]["hash"].get<std::string>();
      const nlohmann::json play = nlohmann::json::parse(play_info, nullptr, false);
      std::string name = search["data"]["info"][i]["filename"].get<std::string>();
      std::string url = play["url"].get<std::string>();
      benchmark::DoNotOptimize(url.data());
    }
  }
}
BENCHMARK(BM_SearchJsonWork_Nlohmann)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------------------------
// Loading a 1 MB answer.

void BM_Parse1MB_JsonDocument(benchmark::State& state) {
  register_script_control();
  const std::string& answer = answer_of(1024 * 1024);
  JsonDocument document;
  for (auto _ : state) {
    if (!document.parse(answer)) state.SkipWithError("the answer did not load");
  }
}
BENCHMARK(BM_Parse1MB_JsonDocument)->Unit(benchmark::kMillisecond);

void BM_Parse1MB_Nlohmann(benchmark::State& state) {
  const std::string answer = utf8_of(answer_of(1024 * 1024));
  for (auto _ : state) {
    nlohmann::json document = nlohmann::json::parse(answer, nullptr, false);
    benchmark::DoNotOptimize(document.is_discarded());
  }
}
BENCHMARK(BM_Parse1MB_Nlohmann)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------------------
// An engine start as a document makes it: create the component, set its language, add the primer.
// From source, the cache is emptied first, so each start compiles the primer (and dumps it).

void start_engine(bool from_source) {
  AutomationObject engine;
  if (from_source) forget_programs();
  object_create(engine, "MSScriptControl.ScriptControl");
  set_property(engine, "Language", {TypedArg::text("JavaScript")});
  call_method(engine, "AddCode", {TypedArg::text(kJsonPrimer)});
}

void BM_EngineStart_PrimerAsBytecode(benchmark::State& state) {
  register_script_control();
  CoInitialize(nullptr);
  start_engine(false);
  for (auto _ : state)
    start_engine(false);
  CoUninitialize();
}
BENCHMARK(BM_EngineStart_PrimerAsBytecode)->Unit(benchmark::kMicrosecond);

void BM_EngineStart_PrimerFromSource(benchmark::State& state) {
  register_script_control();
  CoInitialize(nullptr);
  for (auto _ : state)
    start_engine(true);
  CoUninitialize();
}
BENCHMARK(BM_EngineStart_PrimerFromSource)->Unit(benchmark::kMicrosecond);

void BM_EngineStart_WithoutPrimer(benchmark::State& state) {
  register_script_control();
  CoInitialize(nullptr);
  for (auto _ : state) {
    AutomationObject engine;
    object_create(engine, "MSScriptControl.ScriptControl");
    set_property(engine, "Language", {TypedArg::text("JavaScript")});
  }
  CoUninitialize();
}
BENCHMARK(BM_EngineStart_WithoutPrimer)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
