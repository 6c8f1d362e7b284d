#include "tests/support/scripted_music_service.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstring>
#include <thread>

namespace test_support {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeadEnd = "\r\n\r\n";
constexpr std::size_t kLargestHead = 64 * 1024;
constexpr int kPatienceMs = 5000;  // how long a connection may stay silent

// A connection's socket as cpp-httplib's stream. It keeps every byte it hands over, so that the
// request head can be recorded exactly as it came.
class RecordingStream final : public httplib::Stream {
 public:
  explicit RecordingStream(int socket) : socket_(socket) {}

  bool is_readable() const override { return next_ < buffered_.size() || ready(POLLIN); }
  bool is_writable() const override { return ready(POLLOUT); }

  ssize_t read(char* into, std::size_t size) override {
    if (next_ == buffered_.size() && !fill()) return next_ == buffered_.size() ? 0 : -1;
    const std::size_t count = std::min(size, buffered_.size() - next_);
    std::memcpy(into, buffered_.data() + next_, count);
    received_.append(into, count);
    next_ += count;
    return static_cast<ssize_t>(count);
  }

  // Never raises SIGPIPE: a client may hang up before it has read the whole answer.
  ssize_t write(const char* bytes, std::size_t size) override {
    if (!ready(POLLOUT)) return -1;
    return ::send(socket_, bytes, size, MSG_NOSIGNAL);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    address_of(::getpeername, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    address_of(::getsockname, ip, port);
  }
  socket_t socket() const override { return socket_; }

  // Every byte handed over so far.
  [[nodiscard]] const std::string& received() const { return received_; }

  // Reads the request head: up to the empty line that ends it, or whatever came before the peer
  // stopped sending.
  std::string read_head() {
    char byte;
    while (received_.size() < kLargestHead && !received_.ends_with(kHeadEnd) && read(&byte, 1) == 1)
      ;
    return received_;
  }

  bool write_all(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t sent = write(bytes.data(), bytes.size());
      if (sent <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }

 private:
  bool ready(short events) const {
    pollfd descriptor{socket_, events, 0};
    return ::poll(&descriptor, 1, kPatienceMs) > 0 && (descriptor.revents & events) != 0;
  }

  bool fill() {
    buffered_.resize(4096);
    next_ = 0;
    const ssize_t count =
        ready(POLLIN) ? ::recv(socket_, buffered_.data(), buffered_.size(), 0) : -1;
    buffered_.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    return count > 0;
  }

  template <class Query>
  void address_of(Query query, std::string& ip, int& port) const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    char text[INET_ADDRSTRLEN] = {};
    if (query(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
    ip = ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) ? text : "";
    port = ntohs(address.sin_port);
  }

  int socket_;
  std::string buffered_;
  std::size_t next_ = 0;
  std::string received_;
};

ReceivedRequest parse_head(Endpoint endpoint, std::string head) {
  ReceivedRequest request{endpoint, std::move(head), {}, {}, {}, {}};
  std::string_view rest = request.head;
  const std::string_view request_line = rest.substr(0, rest.find(kLineEnd));
  rest.remove_prefix(std::min(rest.size(), request_line.size() + kLineEnd.size()));
  const std::size_t method_end = request_line.find(' ');
  const std::size_t version_start = request_line.rfind(' ');
  if (method_end != std::string_view::npos && version_start > method_end) {
    request.method = request_line.substr(0, method_end);
    request.target = request_line.substr(method_end + 1, version_start - method_end - 1);
    request.version = request_line.substr(version_start + 1);
  }
  for (std::size_t end; (end = rest.find(kLineEnd)) != std::string_view::npos && end > 0;
       rest.remove_prefix(end + kLineEnd.size())) {
    const std::string_view line = rest.substr(0, end);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view value = line.substr(colon + 1);
    value.remove_prefix(std::min(value.size(), value.find_first_not_of(' ')));
    request.headers.emplace_back(line.substr(0, colon), value);
  }
  return request;
}

}  // namespace

// One of the two hosts: a cpp-httplib server that hands each connection's one request to the
// service's script for its endpoint, recording the request before it is answered.
class ScriptedMusicService::HostServer final : public httplib::Server {
 public:
  HostServer(ScriptedMusicService& service, Endpoint endpoint)
      : service_(service), endpoint_(endpoint) {
    const auto route = [this](const httplib::Request& request, httplib::Response& response) {
      if (const Script script = service_.script_of(endpoint_); script.handler) {
        script.handler(request, response);
      }
    };
    Get(".*", route);
    Post(".*", route);
    Put(".*", route);
    Delete(".*", route);
    Options(".*", route);
  }

  ~HostServer() override {
    if (!listener_.joinable()) return;
    stop();
    listener_.join();
  }

  // Listens on `host` ("address:port"; port 0 takes a free one); false with `failure` saying
  // why when it cannot.
  bool start(std::string_view host, std::string& failure) {
    const std::size_t colon = host.rfind(':');
    const std::string_view digits = host.substr(colon + 1);
    int port = -1;
    if (colon == std::string_view::npos ||
        std::from_chars(digits.data(), digits.data() + digits.size(), port).ec != std::errc{}) {
      failure += "'" + std::string(host) + "' is not address:port; ";
      return false;
    }
    address_ = host.substr(0, colon);
    if (port == 0) {
      port = bind_to_any_port(address_);
    } else if (!bind_to_port(address_, port)) {
      port = -1;
    }
    if (port <= 0) {
      failure += "cannot listen on " + std::string(host) + "; ";
      return false;
    }
    port_ = port;
    listener_ = std::thread([this] { listen_after_bind(); });
    for (int waited = 0; !is_running() && waited < kPatienceMs; ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  // "address:port" as listening.
  [[nodiscard]] std::string host() const { return address_ + ":" + std::to_string(port_); }

 private:
  // One request per connection, as the program makes them.
  bool process_and_close_socket(socket_t socket) override {
    RecordingStream stream(socket);
    const Script script = service_.script_of(endpoint_);
    if (script.raw) {
      service_.record(endpoint_, stream.read_head());
      stream.write_all(*script.raw);
    } else {
      bool recorded = false, closed = false;
      process_request(stream, true, closed, [&](httplib::Request&) {
        service_.record(endpoint_, stream.received());
        recorded = true;
      });
      // A request that HTTP refused is recorded all the same, with the rest of its head.
      if (!recorded && !stream.received().empty()) service_.record(endpoint_, stream.read_head());
    }
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
    return true;
  }

  ScriptedMusicService& service_;
  Endpoint endpoint_;
  std::string address_;
  int port_ = 0;
  std::thread listener_;
};

ScriptedMusicService::ScriptedMusicService(std::string_view search_host,
                                           std::string_view play_info_host) {
  answer(Endpoint::search, {200, R"({"data":{"info":[]}})"});
  answer(Endpoint::play_info, {200, "{}"});
  const std::pair<Endpoint, std::string_view> hosts[] = {{Endpoint::search, search_host},
                                                         {Endpoint::play_info, play_info_host}};
  for (const auto& [endpoint, host] : hosts) {
    servers_.push_back(std::make_unique<HostServer>(*this, endpoint));
    servers_.back()->start(host, failure_);
  }
}

ScriptedMusicService::~ScriptedMusicService() {
  servers_.clear();  // stops both hosts while the scripts they use still exist
}

std::string ScriptedMusicService::host(Endpoint endpoint) const {
  return servers_[static_cast<int>(endpoint)]->host();
}

void ScriptedMusicService::handle(Endpoint endpoint, Handler handler) {
  const std::lock_guard lock(mutex_);
  scripts_[static_cast<int>(endpoint)] = {std::move(handler), nullptr};
}

void ScriptedMusicService::answer(Endpoint endpoint, Answer answer) {
  handle(endpoint, [answer = std::move(answer)](const httplib::Request&, httplib::Response& out) {
    out.status = answer.status;
    for (const auto& [name, value] : answer.headers)
      out.set_header(name, value);
    out.set_content(answer.body, answer.content_type);
  });
}

void ScriptedMusicService::answer_raw(Endpoint endpoint, std::string bytes) {
  const std::lock_guard lock(mutex_);
  scripts_[static_cast<int>(endpoint)] = {nullptr,
                                          std::make_shared<const std::string>(std::move(bytes))};
}

std::vector<ReceivedRequest> ScriptedMusicService::requests() const {
  const std::lock_guard lock(mutex_);
  return requests_;
}

void ScriptedMusicService::forget_requests() {
  const std::lock_guard lock(mutex_);
  requests_.clear();
}

ScriptedMusicService::Script ScriptedMusicService::script_of(Endpoint endpoint) const {
  const std::lock_guard lock(mutex_);
  return scripts_[static_cast<int>(endpoint)];
}

void ScriptedMusicService::record(Endpoint endpoint, std::string head) {
  ReceivedRequest request = parse_head(endpoint, std::move(head));
  const std::lock_guard lock(mutex_);
  requests_.push_back(std::move(request));
}

}  // namespace test_support
