// Measures the peak memory of fetching and converting one large answer as the song search does:
// http_visit with every optional parameter omitted, then utf8_to_ansi of its body. A loopback
// server generates a JSON answer of the size asked for (in MiB) as it sends it, so that the
// answer itself takes no room in this process.
//
//   search_peak_memory [MiB] [keep-bytes] [parse]
//
// With "keep-bytes" the raw body bytes that http_visit hands back stay alive during the
// conversion; without it they are dropped first. With "parse" the converted answer is then loaded
// into a JSON document, as the search goes on to do. Prints the peak resident size after each step
// (getrusage's ru_maxrss, which only grows) and its ratio to the answer's size.
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/encodings.h"
#include "http/http_visit.h"
#include "json/json_document.h"
#include "platform/installed_components.h"
#include "runtime/text_blocks.h"
#include "tests/support/raw_http_server.h"

namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr std::string_view kHead = "{\"data\":{\"info\":[";
constexpr std::string_view kTail = "{}]}}";

double peak_mib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss counts KiB
}

// One record of the answer, UTF-8 with Chinese names, as the service's hits look.
std::string record() {
  return "{\"hash\":\"0123456789ABCDEF0123456789ABCDEF\",\"filename\":\"\xE6\x9C\x88\xE4\xBA\xAE "
         "- \xE6\xAD\x8C\xE6\x89\x8B\",\"bitrate\":128},";
}

// Sends an answer of exactly `size` bytes: the head, records in pieces of about 64 KiB, padding
// spaces and the tail.
void send_answer(test_support::Socket& socket, std::size_t size) {
  const std::string line = record();
  std::string piece;
  while (piece.size() + line.size() <= 64 * 1024)
    piece += line;
  socket.send("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
              std::to_string(size) + "\r\n\r\n");
  socket.send(kHead);
  std::size_t left = size - kHead.size() - kTail.size();
  while (left >= piece.size()) {
    if (!socket.send(piece)) return;
    left -= piece.size();
  }
  socket.send(std::string(left, ' '));
  socket.send(kTail);
}

// The answer at `url` in GBK, as the search fetches it: what http_visit leaves in its variables
// and its body text go when this returns.
Text fetch_answer(const Text& url, bool keep_bytes) {
  HttpVisitVariables fresh;
  const Text body = http_visit_omitting_all(url, fresh);
  std::printf("peak after http_visit     %8.1f MiB  (body text %zu bytes)\n", peak_mib(),
              body.view().size());
  if (!keep_bytes) fresh.returned_bytes = ByteSet();
  Text answer = utf8_to_ansi(body.get());
  std::printf("peak after utf8_to_ansi   %8.1f MiB  (GBK text %zu bytes)\n", peak_mib(),
              answer.view().size());
  return answer;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
  bool keep_bytes = false;
  bool parse = false;
  for (int arg = 2; arg < argc; ++arg) {
    keep_bytes = keep_bytes || std::string_view(argv[arg]) == "keep-bytes";
    parse = parse || std::string_view(argv[arg]) == "parse";
  }
  const std::size_t size = mib * kMiB;
  register_installed_components();
  test_support::RawHttpServer server(
      [size](const test_support::ReceivedRequest&, test_support::Socket& socket) {
        send_answer(socket, size);
        socket.close();
      });
  const Text url = text_from_buffer(server.url("/api/v3/search/song"));
  std::printf("answer %zu MiB, raw bytes %s during the conversion\n", mib,
              keep_bytes ? "kept" : "dropped");
  std::printf("peak before the request   %8.1f MiB\n", peak_mib());

  Text answer = fetch_answer(url, keep_bytes);
  if (parse) {
    JsonDocument document;
    const bool parsed = document.parse(answer.view());
    std::printf("peak after parse          %8.1f MiB  (%s)\n", peak_mib(),
                parsed ? "loaded" : "not loaded");
  }
  const double peak = peak_mib();
  std::printf("peak / answer = %.2f; bound 3 x answer + 32 MiB = %.1f MiB\n",
              peak / static_cast<double>(mib), 3.0 * static_cast<double>(mib) + 32.0);
  return answer.view().empty() ? 1 : 0;
}
