// The WinHTTP stand-in against plain libcurl on loopback, measured in the same run:
// - 1,000 small GETs through the stand-in's call sequence (a session, connection and request
//   each), against libcurl with a fresh easy handle per request;
// - a 100 MB body read through WinHttpReadData, against `curl -o /dev/null` on the same server,
//   with the peak memory of a process that keeps the whole body as a client does.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/winhttp/winhttp.h"
#include "tests/support/httplib_server.h"
#include "tests/support/raw_http_server.h"

extern char** environ;

namespace {

constexpr int kSmallGets = 1000;
constexpr std::size_t kBigBody = 100'000'000;

test_support::HttplibServer& small_server() {
  static test_support::HttplibServer* server = [] {
    auto* started = new test_support::HttplibServer;
    (*started)->Get("/small", [](const httplib::Request&, httplib::Response& response) {
      response.set_content("{\"status\":1,\"data\":{\"info\":[]}}", "application/json");
    });
    started->start();
    return started;
  }();
  return *server;
}

test_support::RawHttpServer& big_server() {
  static auto* server = new test_support::RawHttpServer(
      [](const test_support::ReceivedRequest&, test_support::Socket& socket) {
        const std::string chunk(1'000'000, 'b');
        socket.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kBigBody) + "\r\n\r\n");
        for (std::size_t sent = 0; sent < kBigBody && socket.send(chunk); sent += chunk.size()) {
        }
      });
  return *server;
}

std::size_t discard(char*, std::size_t size, std::size_t count, void*) {
  return size * count;
}

// One request through the stand-in, the way a client makes it; the body goes to `keep`, or is
// dropped when `keep` is null. The body's size.
std::size_t get_through_winhttp(const std::u16string& url, std::vector<char>* keep) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = kUrlComponentsRecordSize;
  parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 0xFFFFFFFF;
  WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts);
  const std::u16string host(parts.lpszHostName, parts.dwHostNameLength);
  const std::u16string object(parts.lpszUrlPath, parts.dwUrlPathLength);
  const HINTERNET session = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, u"", nullptr, 0);
  const HINTERNET connection = WinHttpConnect(session, host.c_str(), parts.nPort, 0);
  const HINTERNET request =
      WinHttpOpenRequest(connection, u"GET", object.c_str(), nullptr, nullptr, nullptr, 0);
  WinHttpSetTimeouts(request, 30000, 30000, 30000, 30000);
  const std::u16string headers = u"Accept: */*\r\n";
  WinHttpAddRequestHeaders(request, headers.c_str(), static_cast<DWORD>(headers.size()),
                           WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
  std::size_t total = 0;
  if (WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, 0) &&
      WinHttpReceiveResponse(request, nullptr)) {
    std::vector<char> buffer;
    DWORD available = 0;
    while (WinHttpQueryDataAvailable(request, &available) && available > 0) {
      buffer.resize(available);
      DWORD read = 0;
      if (!WinHttpReadData(request, buffer.data(), available, &read)) break;
      if (keep != nullptr) keep->insert(keep->end(), buffer.data(), buffer.data() + read);
      total += read;
    }
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, nullptr, &size, nullptr);
    std::u16string head(size / 2, u'\0');
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, head.data(), &size,
                        nullptr);
  }
  WinHttpCloseHandle(request);
  WinHttpCloseHandle(connection);
  WinHttpCloseHandle(session);
  return total;
}

std::u16string wide(const std::string& text) {
  return {text.begin(), text.end()};
}

void BM_SmallGets_PlainLibcurl(benchmark::State& state) {
  const std::string url = small_server().url("/small");
  curl_global_init(CURL_GLOBAL_DEFAULT);
  for (auto _ : state) {
    for (int i = 0; i < kSmallGets; ++i) {
      CURL* easy = curl_easy_init();
      curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
      curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, discard);
      if (curl_easy_perform(easy) != CURLE_OK) state.SkipWithError("request failed");
      curl_easy_cleanup(easy);
    }
  }
  state.SetItemsProcessed(state.iterations() * kSmallGets);
}

void BM_SmallGets_WinHttp(benchmark::State& state) {
  const std::u16string url = wide(small_server().url("/small"));
  for (auto _ : state) {
    for (int i = 0; i < kSmallGets; ++i) {
      if (get_through_winhttp(url, nullptr) == 0) state.SkipWithError("request failed");
    }
  }
  state.SetItemsProcessed(state.iterations() * kSmallGets);
}

void BM_BigBody_CurlCommand(benchmark::State& state) {
  const std::string url = big_server().url("/big");
  for (auto _ : state) {
    const char* arguments[] = {"curl", "-s", "-o", "/dev/null", url.c_str(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, "curl", nullptr, nullptr, const_cast<char**>(arguments), environ) !=
        0) {
      state.SkipWithError("curl cannot be started");
      break;
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (status != 0) state.SkipWithError("curl failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBigBody));
}

// The peak resident memory, in bytes, of a child process that reads the whole body through the
// stand-in and keeps it in a growing block, as a client accumulating the body does, or drops it.
long peak_memory_reading_the_body(const std::u16string& url, bool keep) {
  const pid_t child = fork();
  if (child == 0) {
    std::vector<char> body;
    _exit(get_through_winhttp(url, keep ? &body : nullptr) == kBigBody ? 0 : 1);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  return status == 0 ? usage.ru_maxrss * 1024L : -1;
}

void BM_BigBody_WinHttpReadData(benchmark::State& state) {
  const std::u16string url = wide(big_server().url("/big"));
  for (auto _ : state) {
    if (get_through_winhttp(url, nullptr) != kBigBody) state.SkipWithError("body cut short");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBigBody));
  const long peak = peak_memory_reading_the_body(url, true);
  state.counters["peak_MB_keeping_body"] = static_cast<double>(peak) / 1e6;
  state.counters["peak_over_body"] = static_cast<double>(peak) / static_cast<double>(kBigBody);
  state.counters["peak_MB_dropping_body"] =
      static_cast<double>(peak_memory_reading_the_body(url, false)) / 1e6;
}

BENCHMARK(BM_SmallGets_PlainLibcurl)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_SmallGets_WinHttp)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_BigBody_CurlCommand)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_BigBody_WinHttpReadData)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
