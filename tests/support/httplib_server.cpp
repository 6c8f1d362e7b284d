#include "tests/support/httplib_server.h"

#include <cstdlib>

#include "tests/support/loopback_listener.h"

namespace test_support {

HttplibServer::HttplibServer(std::string address)
    : server_(std::make_unique<httplib::Server>()), address_(std::move(address)) {}

HttplibServer::HttplibServer(const TestCertificate& certificate, std::string address)
    : server_(std::make_unique<httplib::SSLServer>(certificate.server_certificate(),
                                                   certificate.server_key())),
      address_(std::move(address)),
      secure_(true) {}

HttplibServer::~HttplibServer() {
  if (!thread_.joinable()) return;
  server_->stop();
  thread_.join();
}

void HttplibServer::start() {
  const int port = is_loopback_address(address_) ? server_->bind_to_any_port(address_) : -1;
  if (port <= 0) std::abort();
  serve_on(static_cast<std::uint16_t>(port));
}

bool HttplibServer::start_on_port(std::uint16_t port) {
  if (!is_loopback_address(address_) || !server_->bind_to_port(address_, port)) return false;
  serve_on(port);
  return true;
}

void HttplibServer::serve_on(std::uint16_t port) {
  port_ = port;
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  while (!server_->is_running())
    std::this_thread::yield();
}

std::string HttplibServer::url(std::string_view path) const {
  return std::string(secure_ ? "https" : "http") + "://" + address_ + ":" + std::to_string(port_) +
         std::string(path);
}

}  // namespace test_support
