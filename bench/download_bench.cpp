// A download as the program makes it (bench/download_once: the stand-in's read loop into a .part
// file, synced and renamed) against `curl -o FILE` of the same loopback address followed by
// `sync FILE`, measured in the same run, each in a process of its own, the two taking turns
// iteration by iteration so that a loaded machine slows both alike. Then the peak resident memory
// of one process downloading 1 GB.
//
// The summary at the end gives the download's throughput as a multiple of curl's (the aim is at
// least 0.95) and the peak memory (the bound is 32 MiB).
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/raw_http_server.h"

extern char** environ;

namespace {

constexpr std::uint64_t kHundredMegabytes = 100'000'000;
constexpr std::uint64_t kOneGigabyte = 1'000'000'000;
constexpr unsigned kPeakMemoryMiB = 32;

// Answers "/<n>" with n bytes of "b" and their length.
test_support::RawHttpServer& body_server() {
  static auto* server = new test_support::RawHttpServer(
      [](const test_support::ReceivedRequest& request, test_support::Socket& socket) {
        const std::uint64_t size = std::stoull(request.target().substr(1));
        const std::string chunk(1 << 20, 'b');
        socket.send("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\nContent-Length: " +
                    std::to_string(size) + "\r\n\r\n");
        for (std::uint64_t sent = 0; sent < size;) {
          const std::size_t piece =
              static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), size - sent));
          if (!socket.send(std::string_view(chunk).substr(0, piece))) break;
          sent += piece;
        }
      });
  return *server;
}

const std::string& scratch_folder() {
  static const std::string folder = [] {
    std::string pattern = "/tmp/songsearch_download_bench_XXXXXX";
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string("/tmp");
  }();
  return folder;
}

// Runs `arguments` (program found on the PATH) and waits; its exit status (-1 when it could not
// start), and its resource use in `*usage`.
int run(std::vector<std::string> arguments, rusage* usage = nullptr) {
  std::vector<char*> vector;
  for (std::string& argument : arguments)
    vector.push_back(argument.data());
  vector.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawnp(&child, vector[0], nullptr, nullptr, vector.data(), environ) != 0) return -1;
  int status = 0;
  rusage used{};
  wait4(child, &status, 0, &used);
  if (usage != nullptr) *usage = used;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double seconds_of(const std::vector<std::string>& arguments, bool* ok) {
  const auto start = std::chrono::steady_clock::now();
  *ok = run(arguments) == 0 && *ok;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double curl_seconds_total = 0, download_seconds_total = 0;
std::uint64_t peak_memory = 0;

void BM_HundredMegabytes_CurlThenSync_AgainstDownload(benchmark::State& state) {
  const std::string url = body_server().url("/" + std::to_string(kHundredMegabytes));
  const std::string curl_file = scratch_folder() + "/curl.out";
  const std::string saved = scratch_folder() + "/song.mp3";
  for (auto _ : state) {
    bool ok = true;
    const double curl = seconds_of({"curl", "-s", "-o", curl_file, url}, &ok) +
                        seconds_of({"sync", curl_file}, &ok);
    const double download = seconds_of({DOWNLOAD_ONCE, url, scratch_folder()}, &ok);
    unlink(curl_file.c_str());
    unlink(saved.c_str());
    if (!ok) state.SkipWithError("a transfer failed");
    curl_seconds_total += curl;
    download_seconds_total += download;
    state.SetIterationTime(download);
  }
  state.counters["curl_MBps"] = static_cast<double>(kHundredMegabytes) *
                                static_cast<double>(state.iterations()) / curl_seconds_total / 1e6;
  state.counters["download_MBps"] = static_cast<double>(kHundredMegabytes) *
                                    static_cast<double>(state.iterations()) /
                                    download_seconds_total / 1e6;
  state.counters["ratio"] = curl_seconds_total / download_seconds_total;
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kHundredMegabytes));
}

void BM_OneGigabyte_DownloadPeakMemory(benchmark::State& state) {
  const std::string url = body_server().url("/" + std::to_string(kOneGigabyte));
  for (auto _ : state) {
    rusage usage{};
    if (run({DOWNLOAD_ONCE, url, scratch_folder()}, &usage) != 0) {
      state.SkipWithError("the download failed");
    }
    peak_memory =
        std::max<std::uint64_t>(peak_memory, static_cast<std::uint64_t>(usage.ru_maxrss) * 1024);
    unlink((scratch_folder() + "/song.mp3").c_str());
  }
  state.counters["peak_rss_MiB"] = static_cast<double>(peak_memory) / (1 << 20);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kOneGigabyte));
}

}  // namespace

BENCHMARK(BM_HundredMegabytes_CurlThenSync_AgainstDownload)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK(BM_OneGigabyte_DownloadPeakMemory)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (download_seconds_total > 0) {
    std::printf("download throughput: %.2fx that of curl -o FILE and sync FILE (aim: 0.95x)\n",
                curl_seconds_total / download_seconds_total);
  }
  if (peak_memory > 0) {
    std::printf("peak resident memory downloading 1 GB: %.1f MiB (bound: %u MiB)\n",
                static_cast<double>(peak_memory) / (1 << 20), kPeakMemoryMiB);
  }
  rmdir(scratch_folder().c_str());
  return 0;
}
