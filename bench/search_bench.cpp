// One song search against six plain libcurl requests to the same endpoints, on a stand-in music
// service at the loopback hosts this benchmark was built with; the difference is the search's own
// cost. Then the search's parts, each alone, to show where that cost goes:
// - http_visit: the six requests through the web request routine and the WinHTTP stand-in;
// - the JSON work: two documents, six loads and fifteen reads, each load in a fresh engine;
// - the conversions: the bodies from UTF-8 to GBK, and the addresses, paths and listing texts.
// Last, the same search against the service made to look far away (a delay on every answer and
// more on each new connection's first), with connections kept from request to request against
// each request on a connection of its own.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/build_constants.h"
#include "app/search_songs.h"
#include "demo/answer_delay.h"
#include "http/encodings.h"
#include "http/http_visit.h"
#include "json/json_document.h"
#include "platform/winhttp/winhttp.h"
#include "runtime/memory.h"
#include "runtime/text_blocks.h"
#include "runtime/value_to_text.h"
#include "tests/support/httplib_server.h"

namespace {

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

// How far away the service looks; no delay but in the far-service benchmarks.
AnswerDelay& delay() {
  static auto* made = new AnswerDelay;
  return *made;
}

// A request on one connection after another, as a service that keeps connections takes them.
constexpr std::size_t kRequestsPerConnection = 100;

// The stand-in service on the benchmark's hosts ("address:port"), for the whole run: plain
// cpp-httplib servers, which keep connections open as a real service does.
class BenchService {
 public:
  BenchService() : search_(address_of(kSearchHost)), play_info_(address_of(kPlayInfoHost)) {
    search_->Get(kSearchPath, [](const httplib::Request& request, httplib::Response& response) {
      delay().before_answer(request);
      response.set_content(search_answer(), kJson);
    });
    play_info_->Get(
        kPlayInfoPath, [](const httplib::Request& request, httplib::Response& response) {
          delay().before_answer(request);
          response.set_content(play_info_answer(request.get_param_value("hash")), kJson);
        });
    for (httplib::Server* server : {search_.operator->(), play_info_.operator->()}) {
      server->set_keep_alive_max_count(kRequestsPerConnection);
      send_writes_at_once(*server);
    }
    listening_ = search_.start_on_port(port_of(kSearchHost)) &&
                 play_info_.start_on_port(port_of(kPlayInfoHost));
  }

  [[nodiscard]] bool listening() const { return listening_; }

 private:
  static constexpr char kSearchPath[] = "/api/v3/search/song";
  static constexpr char kPlayInfoPath[] = "/app/i/getSongInfo.php";
  static constexpr char kJson[] = "application/json; charset=utf-8";

  static std::string address_of(std::string_view host) {
    return std::string(host.substr(0, host.rfind(':')));
  }
  static std::uint16_t port_of(std::string_view host) {
    return static_cast<std::uint16_t>(std::stoi(std::string(host.substr(host.rfind(':') + 1))));
  }

  test_support::HttplibServer search_, play_info_;
  bool listening_ = false;
};

BenchService& service() {
  static auto* started = new BenchService;
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
    state.SkipWithError("the benchmark's hosts cannot be listened on");
    return false;
  }
  return true;
}

// Whether the stand-in keeps connections from request to request, for one benchmark; the
// default again after it.
class ConnectionsKept {
 public:
  explicit ConnectionsKept(bool kept) { SetWinHttpConnectionReuseForTesting(kept); }
  ~ConnectionsKept() { SetWinHttpConnectionReuseForTesting(true); }
  ConnectionsKept(const ConnectionsKept&) = delete;
  ConnectionsKept& operator=(const ConnectionsKept&) = delete;
};

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
  }
}

// On new connections, as its baseline makes them.
void BM_Search_SearchSongs(benchmark::State& state) {
  if (!ready(state)) return;
  const ConnectionsKept on_new_connections(false);
  const Text keyword = text_copy(kKeyword);
  const std::string last_address = "http://media.test/music/" + hash_of(kHits - 1) + ".mp3\r\n";
  for (auto _ : state) {
    const Text listing = search_songs(keyword);
    if (!listing.view().ends_with(last_address)) state.SkipWithError("the listing is not whole");
  }
}

// ---------------------------------------------------------------------------------------------
// The search's parts.

void BM_Part_HttpVisitSixRequests(benchmark::State& state) {
  if (!ready(state)) return;
  const ConnectionsKept on_new_connections(false);
  std::vector<Text> urls;
  for (const std::string& url : addresses().search_made)
    urls.push_back(text_copy(url.c_str()));
  for (auto _ : state) {
    for (const Text& url : urls) {
      HttpVisitVariables fresh;
      const Text body = http_visit_omitting_all(url, fresh);
      if (body.empty()) state.SkipWithError("no answer");
    }
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

// ---------------------------------------------------------------------------------------------
// A far service: 25 ms on every answer and 25 ms more on each new connection's first. A search
// on new connections waits twelve times; with connections kept, eight (the search host's
// connection and answer, the play-info host's connection and five answers).

constexpr auto kAnswerDelay = std::chrono::milliseconds(25);
constexpr auto kConnectionDelay = std::chrono::milliseconds(25);

// The far service, for one benchmark.
class FarService {
 public:
  FarService() { delay().set(kAnswerDelay, kConnectionDelay); }
  ~FarService() { delay().set({}, {}); }
  FarService(const FarService&) = delete;
  FarService& operator=(const FarService&) = delete;
};

void search_once(benchmark::State& state, const Text& keyword) {
  const std::string last_address = "http://media.test/music/" + hash_of(kHits - 1) + ".mp3\r\n";
  const Text listing = search_songs(keyword);
  if (!listing.view().ends_with(last_address)) state.SkipWithError("the listing is not whole");
}

// The baseline: every request on a connection of its own, as before connections were kept.
void BM_FarService_SearchOnNewConnections(benchmark::State& state) {
  if (!ready(state)) return;
  const FarService far;
  const ConnectionsKept on_new_connections(false);
  const Text keyword = text_copy(kKeyword);
  for (auto _ : state)
    search_once(state, keyword);
}

// One search as a program run makes it: no connection kept from before it.
void BM_FarService_SearchWithConnectionsKept(benchmark::State& state) {
  if (!ready(state)) return;
  const FarService far;
  const Text keyword = text_copy(kKeyword);
  for (auto _ : state) {
    state.PauseTiming();
    SetWinHttpConnectionReuseForTesting(true);  // drops the connections of the search before
    state.ResumeTiming();
    search_once(state, keyword);
  }
}

// Searches one after another in one process, as a batch's worker makes them.
void BM_FarService_ConsecutiveSearchesWithConnectionsKept(benchmark::State& state) {
  if (!ready(state)) return;
  const FarService far;
  const Text keyword = text_copy(kKeyword);
  for (auto _ : state)
    search_once(state, keyword);
}

BENCHMARK(BM_Search_SixPlainLibcurlRequests)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Search_SearchSongs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Part_HttpVisitSixRequests)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Part_JsonWork)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Part_Conversions)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_FarService_SearchOnNewConnections)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FarService_SearchWithConnectionsKept)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FarService_ConsecutiveSearchesWithConnectionsKept)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
