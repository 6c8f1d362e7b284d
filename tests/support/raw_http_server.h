// An HTTP server on loopback that records the exact bytes of every request and lets each test
// script its answer byte by byte: well-formed answers, and broken ones (a stall, a close before
// answering, a cut body, an endless head).
//
//   RawHttpServer server(answer_with(http_response("200 OK", "", "hello")));
//   ... request server.url("/a?b") ...
//   EXPECT_EQ(server.requests().at(0).head, "GET /a?b HTTP/1.1\r\nHost: 127.0.0.1:...\r\n\r\n");
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/loopback_listener.h"

namespace test_support {

// One request as the server read it.
struct ReceivedRequest {
  std::string head;  // the request line and header lines with their CR LF, and the empty line
  std::string body;  // as many bytes as Content-Length said

  [[nodiscard]] std::string bytes() const { return head + body; }
  [[nodiscard]] std::string request_line() const;  // without its CR LF
  [[nodiscard]] std::string target() const;        // the request line's second word
  // The value of the first header line named `name` (any letter case), trimmed.
  [[nodiscard]] std::optional<std::string> header(std::string_view name) const;
};

// Reads one request (head, and a body by Content-Length) from `socket`, keeping what arrives
// beyond it in `*pending` for the next one; false when the connection ends first.
bool read_request(Socket& socket, std::string* pending, ReceivedRequest* request);

// "HTTP/1.1 <status>\r\n<header_lines>Content-Length: <n>\r\n\r\n<body>"; each of
// `header_lines` must end in CR LF.
[[nodiscard]] std::string http_response(std::string_view status, std::string_view header_lines,
                                        std::string_view body);

// An answer head of exactly `size` bytes: a status line, filler header lines, the empty line.
[[nodiscard]] std::string head_of_size(std::size_t size);

class RawHttpServer {
 public:
  // Answers one request on `socket`. It may send anything, close or reset the connection, or
  // wait; when the socket is still open afterwards, the next request on it is read.
  using Handler = std::function<void(const ReceivedRequest&, Socket&)>;

  // Listens on `address` (a 127.x address) at a free port.
  explicit RawHttpServer(Handler handler, std::string address = "127.0.0.1");

  [[nodiscard]] std::uint16_t port() const { return listener_.port(); }
  // "http://<address>:<port>" followed by `path`.
  [[nodiscard]] std::string url(std::string_view path = "/") const;
  // "<address>:<port>".
  [[nodiscard]] std::string authority() const;
  // Every request read so far, in order of arrival.
  [[nodiscard]] std::vector<ReceivedRequest> requests() const;
  // How many connections were accepted.
  [[nodiscard]] int connections() const { return listener_.accepted(); }

 private:
  void serve(Socket& socket);

  Handler handler_;
  mutable std::mutex mutex_;
  std::vector<ReceivedRequest> requests_;  // guarded by mutex_
  LoopbackListener listener_;              // last: its threads use the members above
};

// A handler that sends `response` to every request.
[[nodiscard]] RawHttpServer::Handler answer_with(std::string response);

}  // namespace test_support
