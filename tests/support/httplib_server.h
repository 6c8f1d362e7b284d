// A cpp-httplib server on a 127.x address at a free port, run on a thread of its own for the
// life of the object, plain or over TLS with a TestCertificate.
//
//   HttplibServer server;
//   server->Get("/", [](const httplib::Request&, httplib::Response& r) { r.set_content("hi",
//   "text/plain"); }); server.start();
#pragma once

#include <httplib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "tests/support/test_certificate.h"

namespace test_support {

class HttplibServer {
 public:
  // A plain server, or one over TLS presenting `certificate`'s server certificate, listening on
  // `address` (127.0.0.1 unless told).
  explicit HttplibServer(std::string address = "127.0.0.1");
  explicit HttplibServer(const TestCertificate& certificate, std::string address = "127.0.0.1");
  // Stops the server and waits for its thread.
  ~HttplibServer();
  HttplibServer(const HttplibServer&) = delete;
  HttplibServer& operator=(const HttplibServer&) = delete;

  // The server, to register handlers on before start().
  httplib::Server* operator->() { return server_.get(); }

  // Binds to a free port and starts serving; returns once requests are accepted.
  void start();
  // Binds to `port` instead, for a test about a scheme's default port; false when the port is
  // taken or this user may not bind it.
  [[nodiscard]] bool start_on_port(std::uint16_t port);

  [[nodiscard]] std::uint16_t port() const { return port_; }
  // "http://<address>:<port>" (or https) followed by `path`.
  [[nodiscard]] std::string url(std::string_view path = "/") const;

 private:
  void serve_on(std::uint16_t port);

  std::unique_ptr<httplib::Server> server_;
  std::string address_;
  bool secure_ = false;
  std::uint16_t port_ = 0;
  std::thread thread_;
};

}  // namespace test_support
