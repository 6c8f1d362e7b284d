#include "tests/support/forward_proxy.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/support/raw_http_server.h"

namespace test_support {

namespace {

constexpr std::string_view kForbidden = "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n";
constexpr std::string_view kAuthenticationRequired =
    "HTTP/1.1 407 Proxy Authentication Required\r\n"
    "Proxy-Authenticate: Basic realm=\"proxy\"\r\nContent-Length: 0\r\n\r\n";

// "host:port" split into its loopback host and port; false for anything else.
bool split_authority(std::string_view authority, std::string* host, std::uint16_t* port) {
  const std::size_t colon = authority.rfind(':');
  if (colon == std::string_view::npos) return false;
  *host = std::string(authority.substr(0, colon));
  const unsigned long number =
      std::strtoul(std::string(authority.substr(colon + 1)).c_str(), nullptr, 10);
  *port = static_cast<std::uint16_t>(number);
  return number > 0 && number < 65536 && is_loopback_address(*host);
}

// Copies bytes both ways between two descriptors until either side closes.
void relay(int a, int b) {
  pollfd ends[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
  char chunk[65536];
  for (;;) {
    if (::poll(ends, 2, -1) <= 0) return;
    for (int i = 0; i < 2; ++i) {
      if (ends[i].revents == 0) continue;
      const ssize_t count = ::recv(ends[i].fd, chunk, sizeof chunk, 0);
      if (count <= 0) return;
      for (ssize_t sent = 0; sent < count;) {
        const ssize_t now = ::send(ends[1 - i].fd, chunk + sent,
                                   static_cast<std::size_t>(count - sent), MSG_NOSIGNAL);
        if (now <= 0) return;
        sent += now;
      }
    }
  }
}

// The head with the proxy's own lines removed and "Connection: close" added, and the request
// line's absolute form made an origin form.
std::string upstream_head(const std::string& head, std::string_view path) {
  const std::size_t line_end = head.find("\r\n");
  const std::string line = head.substr(0, line_end);
  const std::size_t first = line.find(' ');
  const std::size_t last = line.rfind(' ');
  std::string result = line.substr(0, first + 1) + std::string(path) + line.substr(last) + "\r\n";
  std::string_view rest(head);
  rest.remove_prefix(line_end + 2);
  while (rest.size() > 2) {
    const std::size_t end = rest.find("\r\n");
    const std::string_view header = rest.substr(0, end + 2);
    rest.remove_prefix(end + 2);
    if (header.starts_with("Proxy-") || header.starts_with("Connection:")) continue;
    result.append(header);
  }
  return result + "Connection: close\r\n\r\n";
}

}  // namespace

std::string base64(std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
    if (left > 1) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (left > 2) group |= static_cast<unsigned char>(bytes[i + 2]);
    text += kDigits[(group >> 18) & 63];
    text += kDigits[(group >> 12) & 63];
    text += left > 1 ? kDigits[(group >> 6) & 63] : '=';
    text += left > 2 ? kDigits[group & 63] : '=';
  }
  return text;
}

ForwardProxy::ForwardProxy(std::string user_name, std::string password)
    : expected_authorization_(user_name.empty() ? ""
                                                : "Basic " + base64(user_name + ":" + password)),
      listener_([this](Socket& client) { serve(client); }) {}

std::string ForwardProxy::authority() const {
  return listener_.address() + ":" + std::to_string(listener_.port());
}

std::vector<std::string> ForwardProxy::request_heads() const {
  std::lock_guard lock(mutex_);
  return heads_;
}

void ForwardProxy::serve(Socket& client) {
  std::string pending;
  ReceivedRequest request;
  while (client.is_open() && read_request(client, &pending, &request)) {
    {
      std::lock_guard lock(mutex_);
      heads_.push_back(request.head);
    }
    if (!authorized(request.head)) {
      client.send(kAuthenticationRequired);
      continue;
    }
    const std::string line = request.request_line();
    if (line.starts_with("CONNECT ")) {
      tunnel(client, request.target());
    } else {
      forward(client, request.head, request.body);
    }
    client.close();
  }
}

bool ForwardProxy::authorized(const std::string& head) const {
  if (expected_authorization_.empty()) return true;
  ReceivedRequest parsed{head, {}};
  return parsed.header("Proxy-Authorization") == expected_authorization_;
}

void ForwardProxy::forward(Socket& client, const std::string& head, const std::string& body) {
  const std::string target = ReceivedRequest{head, {}}.target();
  constexpr std::string_view kScheme = "http://";
  std::string host;
  std::uint16_t port = 0;
  const std::size_t path_begin = target.find('/', kScheme.size());
  if (!target.starts_with(kScheme) || path_begin == std::string::npos ||
      !split_authority(std::string_view(target).substr(kScheme.size(), path_begin - kScheme.size()),
                       &host, &port)) {
    client.send(kForbidden);
    return;
  }
  const int upstream = connect_to_loopback(host, port);
  if (upstream < 0) {
    client.send("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
    return;
  }
  const std::string request = upstream_head(head, target.substr(path_begin)) + body;
  if (::send(upstream, request.data(), request.size(), MSG_NOSIGNAL) ==
      static_cast<ssize_t>(request.size()))
    relay(upstream, client.descriptor());
  ::close(upstream);
}

void ForwardProxy::tunnel(Socket& client, const std::string& target) {
  std::string host;
  std::uint16_t port = 0;
  if (!split_authority(target, &host, &port)) {
    client.send(kForbidden);
    return;
  }
  const int upstream = connect_to_loopback(host, port);
  if (upstream < 0) {
    client.send("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
    return;
  }
  if (client.send("HTTP/1.1 200 Connection established\r\n\r\n"))
    relay(upstream, client.descriptor());
  ::close(upstream);
}

}  // namespace test_support
