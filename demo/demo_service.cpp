// The demo music service: the song-search and play-info endpoints on two loopback addresses,
// answering from a catalog file, so that songsearch can be tried without the network.
//
//   demo_service [--port N] [--catalog FILE] [--answer-delay MS] [--connection-delay MS]
//
// The song search listens on 127.0.0.1 and the play information on 127.0.0.2, both on port N, or
// on one port chosen at start when N is 0 (the default). The delays make the service look far
// away: each answer waits the answer delay, and the first answer on a new connection waits the
// connection delay more (both 0 unless given). The first line printed names both
// addresses; after it comes one line for each request received. SIGINT or SIGTERM stops it.
#include <httplib.h>
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "demo/answer_delay.h"
#include "demo/answers.h"
#include "demo/catalog.h"
#include "demo/tones.h"

namespace {

constexpr char kSearchAddress[] = "127.0.0.1";
constexpr char kPlayInfoAddress[] = "127.0.0.2";
constexpr char kSearchPath[] = "/api/v3/search/song";
constexpr char kPlayInfoPath[] = "/app/i/getSongInfo.php";
constexpr char kJson[] = "application/json; charset=utf-8";
constexpr char kMediaPath[] = R"(/media/([0-9A-Fa-f]{32})\.wav)";
constexpr char kWav[] = "audio/wav";
constexpr int kSongSeconds = 4;
constexpr int kDefaultPageSize = 5, kLargestPageSize = 50;
constexpr int kPortTries = 20;
// Each connection a client keeps open holds one of a server's threads while it lasts: a batch of
// up to 64 jobs keeps one to each host per job.
constexpr std::size_t kConnectionThreads = 72;
constexpr int kLongestDelayMs = 60'000;

struct Options {
  int port = 0;
  std::string catalog = DEMO_CATALOG_PATH;
  int answer_delay_ms = 0;
  int connection_delay_ms = 0;
};

std::optional<int> number_of(std::string_view text) {
  int value = 0;
  const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (failure != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<Options> options_of(int argc, char** argv) {
  Options options;
  for (int at = 1; at < argc; at += 2) {
    const std::string_view name = argv[at];
    if (at + 1 == argc) return std::nullopt;
    const auto delay = number_of(argv[at + 1]);
    const bool delay_valid = delay && *delay >= 0 && *delay <= kLongestDelayMs;
    if (name == "--catalog") {
      options.catalog = argv[at + 1];
    } else if (name == "--answer-delay" && delay_valid) {
      options.answer_delay_ms = *delay;
    } else if (name == "--connection-delay" && delay_valid) {
      options.connection_delay_ms = *delay;
    } else if (const auto port = number_of(argv[at + 1]);
               name == "--port" && port && *port >= 0 && *port <= 65535) {
      options.port = *port;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

// The value of query key `key` as a number within [lowest, highest]; `fallback` when it is
// missing, not a number or out of range.
int parameter(const httplib::Request& request, const char* key, int lowest, int highest,
              int fallback) {
  const auto value = number_of(request.get_param_value(key));
  return value && *value >= lowest && *value <= highest ? *value : fallback;
}

void answer_search(const Catalog& catalog, const httplib::Request& request,
                   httplib::Response& response) {
  const std::string keyword = request.get_param_value("keyword");
  const int page = parameter(request, "page", 1, 1'000'000, 1);
  const int page_size = parameter(request, "pagesize", 1, kLargestPageSize, kDefaultPageSize);
  response.set_content(search_answer(keyword, page, page_size, catalog.find(keyword)), kJson);
}

// An unknown hash (the empty one included) is a 404 whose answer carries no url.
void answer_play_info(const Catalog& catalog, const httplib::Request& request,
                      httplib::Response& response) {
  if (request.get_param_value("cmd") != "playInfo") {
    response.status = 400;
    response.set_content(error_answer("cmd must be playInfo"), kJson);
    return;
  }
  const Song* song = catalog.by_hash(request.get_param_value("hash"));
  if (song == nullptr) {
    response.status = 404;
    response.set_content(error_answer("no song has this hash"), kJson);
    return;
  }
  const std::string url =
      "http://" + request.get_header_value("Host") + "/media/" + song->hash + ".wav";
  response.set_content(play_info_answer(*song, url), kJson);
}

// Every song's audio by its hash, made on the first call (at start): a few seconds of tones.
const std::map<std::string, std::string>& song_audio(const Catalog& catalog) {
  static const std::map<std::string, std::string> audio = [&catalog] {
    std::map<std::string, std::string> made;
    for (const Song* song : catalog.all())
      made.emplace(song->hash, tone_wav(song->hash, kSongSeconds));
    return made;
  }();
  return audio;
}

// The audio of the song a play address names, with its length; the server answers a Range
// request with the part asked for (206), or 416 past the end.
void answer_media(const Catalog& catalog, const std::map<std::string, std::string>& audio,
                  const httplib::Request& request, httplib::Response& response) {
  const Song* song = catalog.by_hash(request.matches[1].str());
  if (song == nullptr) {
    response.status = 404;
    return;
  }
  response.set_content(audio.at(song->hash), kWav);
}

// One line for each request: the address it came to, its request line and the answer's status.
void log_request(const httplib::Request& request, const httplib::Response& response) {
  static std::mutex output;
  const std::lock_guard lock(output);
  std::printf("%s:%d %s %s %s -> %d\n", request.local_addr.c_str(), request.local_port,
              request.method.c_str(), request.target.c_str(), request.version.c_str(),
              response.status);
  std::fflush(stdout);
}

struct Servers {
  std::unique_ptr<httplib::Server> search = std::make_unique<httplib::Server>();
  std::unique_ptr<httplib::Server> play_info = std::make_unique<httplib::Server>();
  int port = -1;

  Servers(const Catalog& catalog, AnswerDelay& delay) {
    search->Get(kSearchPath,
                [&catalog, &delay](const httplib::Request& request, httplib::Response& response) {
                  delay.before_answer(request);
                  answer_search(catalog, request, response);
                });
    play_info->Get(kPlayInfoPath, [&catalog, &delay](const httplib::Request& request,
                                                     httplib::Response& response) {
      delay.before_answer(request);
      answer_play_info(catalog, request, response);
    });
    play_info->Get(kMediaPath,
                   [&catalog](const httplib::Request& request, httplib::Response& response) {
                     answer_media(catalog, song_audio(catalog), request, response);
                   });
    for (httplib::Server* server : {search.get(), play_info.get()}) {
      server->new_task_queue = [] { return new httplib::ThreadPool(kConnectionThreads); };
    }
    search->set_logger(log_request);
    play_info->set_logger(log_request);
    send_writes_at_once(*search);
    send_writes_at_once(*play_info);
  }

  // Binds both servers to `wanted`, or to one port free on both addresses when it is 0.
  bool bind(int wanted) {
    if (wanted != 0) {
      port = wanted;
      return search->bind_to_port(kSearchAddress, wanted) &&
             play_info->bind_to_port(kPlayInfoAddress, wanted);
    }
    port = search->bind_to_any_port(kSearchAddress);
    return port > 0 && play_info->bind_to_port(kPlayInfoAddress, port);
  }
};

std::unique_ptr<Servers> bound_servers(const Catalog& catalog, AnswerDelay& delay,
                                       int wanted_port) {
  for (int tries = 0; tries < kPortTries; ++tries) {
    auto servers = std::make_unique<Servers>(catalog, delay);
    if (servers->bind(wanted_port)) return servers;
    if (wanted_port != 0) break;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = options_of(argc, argv);
  if (!options) {
    std::fprintf(stderr,
                 "usage: demo_service [--port N] [--catalog FILE] [--answer-delay MS] "
                 "[--connection-delay MS]\n");
    return 2;
  }
  std::string error;
  const std::optional<Catalog> catalog = Catalog::load(options->catalog, error);
  if (!catalog) {
    std::fprintf(stderr, "demo_service: %s\n", error.c_str());
    return 1;
  }

  // The servers' threads inherit the blocked signals; only sigwait below takes them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  static_cast<void>(song_audio(*catalog));  // made now, before the first request waits for it
  AnswerDelay delay;
  delay.set(std::chrono::milliseconds(options->answer_delay_ms),
            std::chrono::milliseconds(options->connection_delay_ms));
  const std::unique_ptr<Servers> servers = bound_servers(*catalog, delay, options->port);
  if (!servers) {
    std::fprintf(stderr, "demo_service: cannot listen on %s and %s (port %d)\n", kSearchAddress,
                 kPlayInfoAddress, options->port);
    return 1;
  }
  std::printf("demo music service with %zu songs: song search on %s:%d, play info on %s:%d\n",
              catalog->size(), kSearchAddress, servers->port, kPlayInfoAddress, servers->port);
  std::fflush(stdout);

  std::thread search([&] { servers->search->listen_after_bind(); });
  std::thread play_info([&] { servers->play_info->listen_after_bind(); });
  int received = 0;
  sigwait(&stop_signals, &received);
  servers->search->stop();
  servers->play_info->stop();
  search.join();
  play_info.join();
  return 0;
}
