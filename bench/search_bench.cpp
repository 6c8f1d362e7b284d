// One song search against six plain libcurl requests to the same endpoints, on a stand-in music
// service at the loopback hosts this benchmark was built with; the difference is the search's own
// cost. Then the search's parts, each alone, to show where that cost goes:
// - http_visit: the six requests through the web request routine and the WinHTTP stand-in;
// - the JSON work: two documents, six loads and fifteen reads, each load in a fresh engine;
// - the conversions: the bodies from UTF-8 to GBK, and the addresses, paths and listing texts.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <string>
#include <vector>

#include "app/build_constants.h"
#include "app/search_songs.h"
#include "http/encodings.h"
#include "http/http_visit.h"
#include "json/json_document.h"
#include "runtime/memory.h"
#include "runtime/text_blocks.h"
#include "runtime/value_to_text.h"
#include "tests/support/scripted_music_service.h"

namespace {

using test_support::Endpoint;

constexpr char kKeyword[] = "月亮";  // GBK, as the console hands it over
constexpr char kKeywordOnTheWire[] = "%E6%9C%88%E4%BA%AE";
constexpr int kHits = 5;

std::string hash_of(int hit) {
  return "5B0F3E2AC41D9A77" + std::to_string(1000000000 + hit * 7919) + "ABCDEF";
}

// The bytes of a UTF-8 literal (narrow literals are GBK); the service speaks UTF-8.
std::string utf8(std::u8string_view text) {
  return {text.begin(), text.end()};
}

// A search answer shaped as the service's, with five hits with Chinese names: about 2.5 kB.
std::string search_answer() {
  std::string info;
  for (int hit = 0; hit < kHits; ++hit) {
    const std::string n = std::to_string(hit);
    info += (hit == 0 ? R"({"hash":")" : R"(,{"hash":")") + hash_of(hit) +
            utf8(u8R"(","filename":"歌手)") + n +
            utf8(u8R"( - 月亮代表我的心","singername":"歌手)") + n +
            utf8(u8R"(","songname":"月亮代表我的心","duration":213,"bitrate":128,)") +
            R"("extname":"mp3","filesize":3932160,"album_name":"","privilege":8,"pay_type":0,)"
            R"("isnew":false,"score":7.5,"sqhash":"","320hash":"","mvhash":"","group":[]})";
  }
  return R"({"status":1,"error":"","errcode":0,"data":{"timestamp":1700000000,"tab":"",)"
         R"("forcecorrection":0,"correctiontype":0,"total":100,"istag":0,"info":[)" +
         info + "]}}";
}

std::string play_info_answer(const std::string& hash) {
  return R"({"status":1,"error":"","hash":")" + hash +
         utf8(u8R"(","fileName":"歌手 - 月亮代表我的心","bitRate":128,"extName":"mp3",)") +
         R"("timeLength":213,"fileSize":3932160,"url":"http://media.test/music/)" + hash +
         R"(.mp3"})";
}

// The stand-in service on the benchmark's hosts, for the whole run.
test_support::ScriptedMusicService& service() {
  static auto* started = [] {
    auto* service = new test_support::ScriptedMusicService(kSearchHost, kPlayInfoHost);
    service->answer(Endpoint::search, {200, search_answer()});
    service->handle(Endpoint::play_info,
                    [](const httplib::Request& request, httplib::Response& response) {
                      response.set_content(play_info_answer(request.get_param_value("hash")),
                                           "application/json; charset=utf-8");
                    });
    return service;
  }();
  return *started;
}

// The six addresses of one search: as the search makes them (GBK) and as they go on the wire.
struct Addresses {
  std::vector<std::string> search_made, on_the_wire;
};

const Addresses& addresses() {
  static const Addresses made = [] {
    Addresses all;
    const std::string search =
        "http://" + std::string(kSearchHost) + "/api/v3/search/song?keyword=";
    all.search_made.push_back(search + kKeyword + "&page=1&pagesize=5");
    all.on_the_wire.push_back(search + kKeywordOnTheWire + "&page=1&pagesize=5");
    for (int hit = 0; hit < kHits; ++hit) {
      all.search_made.push_back("http://" + std::string(kPlayInfoHost) +
                                "/app/i/getSongInfo.php?hash=" + hash_of(hit) + "&cmd=playInfo");
    }
    all.on_the_wire.insert(all.on_the_wire.end(), all.search_made.begin() + 1,
                           all.search_made.end());
    return all;
  }();
  return made;
}

// Starts the runtime once and checks that the service is there; false says why to skip.
bool ready(benchmark::State& state) {
  static const bool started = (runtime_init(), true);
  (void)started;
  if (!service().listening()) {
    state.SkipWithError(service().failure().c_str());
    return false;
  }
  return true;
}

// Ends a benchmark iteration's records, so that the service does not grow over the run.
void forget_requests() {
  service().forget_requests();
}

// ---------------------------------------------------------------------------------------------
// The search and its baseline.

std::size_t keep_body(char* bytes, std::size_t size, std::size_t count, void* body) {
  static_cast<std::string*>(body)->append(bytes, size * count);
  return size * count;
}

void BM_Search_SixPlainLibcurlRequests(benchmark::State& state) {
  if (!ready(state)) return;
  curl_global_init(CURL_GLOBAL_DEFAULT);
  for (auto _ : state) {
    for (const std::string& url : addresses().on_the_wire) {
      std::string body;
      CURL* easy = curl_easy_init();
      curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
      curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, keep_body);
      curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
      if (curl_easy_perform(easy) != CURLE_OK || body.empty()) state.SkipWithError("no answer");
      curl_easy_cleanup(easy);
    }
    forget_requests();
  }
}

void BM_Search_SearchSongs(benchmark::State& state) {
  if (!ready(state)) return;
  const Text keyword = text_copy(kKeyword);
  const std::string last_address = "http://media.test/music/" + hash_of(kHits - 1) + ".mp3\r\n";
  for (auto _ : state) {
    const Text listing = search_songs(keyword);
    if (!listing.view().ends_with(last_address)) state.SkipWithError("the listing is not whole");
    forget_requests();
  }
}

// ---------------------------------------------------------------------------------------------
// The search's parts.

void BM_Part_HttpVisitSixRequests(benchmark::State& state) {
  if (!ready(state)) return;
  std::vector<Text> urls;
  for (const std::string& url : addresses().search_made)
    urls.push_back(text_copy(url.c_str()));
  for (auto _ : state) {
    for (const Text& url : urls) {
      HttpVisitVariables fresh;
      const Text body = http_visit_omitting_all(url, fresh);
      if (body.empty()) state.SkipWithError("no answer");
    }
    forget_requests();
  }
}

// The six bodies as the search receives them (UTF-8) and loads them (GBK).
struct Bodies {
  std::vector<std::string> utf8;
  std::vector<Text> gbk;
};

const Bodies& bodies() {
  static const Bodies made = [] {
    Bodies all;
    all.utf8.push_back(search_answer());
    for (int hit = 0; hit < kHits; ++hit)
      all.utf8.push_back(play_info_answer(hash_of(hit)));
    for (const std::string& body : all.utf8)
      all.gbk.push_back(utf8_to_ansi(body.c_str()));
    return all;
  }();
  return made;
}

// Member `member` of hit `hit` (from 0), by a path made as the search makes it.
Text path_of(int hit, std::string_view member) {
  const Text index = value_to_text(TypedArg::float64(hit));
  return text_concat({"data.info[", index.view(), "].", member});
}

Text hit_member(JsonDocument& document, int hit, std::string_view member) {
  const Text path = path_of(hit, member);
  return document.get_text(path.view());
}

void BM_Part_JsonWork(benchmark::State& state) {
  if (!ready(state)) return;
  const std::vector<Text>& gbk = bodies().gbk;
  for (auto _ : state) {
    JsonDocument search_doc;
    JsonDocument info_doc;
    search_doc.parse(gbk[0].view());
    for (int hit = 0; hit < kHits; ++hit) {
      const Text hash = hit_member(search_doc, hit, "hash");
      info_doc.parse(gbk[hit + 1].view());
      const Text filename = hit_member(search_doc, hit, "filename");
      const Text address = info_doc.get_text("url");
      if (address.empty()) state.SkipWithError("no address");
    }
  }
}

// Everything of the search but the requests and the documents; the paths stand in for the
// members read.
void BM_Part_Conversions(benchmark::State& state) {
  if (!ready(state)) return;
  const std::vector<std::string>& utf8 = bodies().utf8;
  const Text keyword = text_copy(kKeyword);
  for (auto _ : state) {
    Text url = text_concat({"http://", kSearchHost, "/api/v3/search/song?keyword=", keyword.view(),
                            "&page=1&pagesize=5"});
    Text answer = utf8_to_ansi(utf8[0].c_str());
    Text listing;
    for (int hit = 1; hit <= kHits; ++hit) {
      const Text hash = path_of(hit - 1, "hash");
      url = text_concat(
          {"http://", kPlayInfoHost, "/app/i/getSongInfo.php?hash=", hash.view(), "&cmd=playInfo"});
      answer = utf8_to_ansi(utf8[hit].c_str());
      const Text number = value_to_text(TypedArg::integer(hit));
      const Text filename = path_of(hit - 1, "filename");
      listing = text_concat(
          {listing.view(), number.view(), ".", filename.view(), "\r\n", url.view(), "\r\n"});
    }
    benchmark::DoNotOptimize(listing.get());
  }
}

BENCHMARK(BM_Search_SixPlainLibcurlRequests)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Search_SearchSongs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Part_HttpVisitSixRequests)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Part_JsonWork)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Part_Conversions)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
