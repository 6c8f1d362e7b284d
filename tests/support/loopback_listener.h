// A TCP listener on 127.0.0.1 at a free port that runs a handler for each accepted connection on
// a thread of its own; the building block of the raw HTTP server and the forward proxy.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace test_support {

class LoopbackListener;

// One accepted connection as its handler sees it. Reads and writes are plain blocking calls;
// when the listener stops, they fail, so handlers end.
class Socket {
 public:
  Socket(LoopbackListener& listener, int descriptor) : listener_(listener), fd_(descriptor) {}
  ~Socket();
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  [[nodiscard]] int descriptor() const { return fd_; }
  [[nodiscard]] bool is_open() const { return fd_ >= 0; }

  // Sends all of `bytes`; false once the peer is gone or the socket is closed.
  bool send(std::string_view bytes);
  // Reads what is there, waiting for it, and appends it to `*into`; false at the end or an error.
  bool receive_some(std::string* into);
  // Waits until the peer closes, the listener stops or `milliseconds` pass (what arrives in the
  // meantime is read and dropped); true when the peer closed.
  bool wait_for_close(int milliseconds);
  // Closes the connection with a FIN, or with a RST.
  void close();
  void reset();

 private:
  LoopbackListener& listener_;
  int fd_;
};

class LoopbackListener {
 public:
  using Handler = std::function<void(Socket&)>;

  // Listens on `address` (127.0.0.1 unless told; any 127.x address) at a free port.
  explicit LoopbackListener(Handler handler, std::string address = "127.0.0.1");
  // Stops accepting, ends every open connection and waits for the handlers to return.
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  [[nodiscard]] std::uint16_t port() const { return port_; }
  [[nodiscard]] const std::string& address() const { return address_; }
  // How many connections were accepted so far.
  [[nodiscard]] int accepted() const;

 private:
  friend class Socket;
  void accept_loop();
  void forget(int descriptor);

  Handler handler_;
  std::string address_;
  int listen_fd_ = -1;
  std::uint16_t port_ = 0;
  std::thread acceptor_;
  mutable std::mutex mutex_;
  bool stopping_ = false;              // guarded by mutex_
  int accepted_ = 0;                   // guarded by mutex_
  std::set<int> open_;                 // guarded by mutex_
  std::vector<std::thread> handlers_;  // guarded by mutex_
};

// Opens a TCP connection to 127.x `address`:`port`; -1 on failure.
int connect_to_loopback(const std::string& address, std::uint16_t port);

// A port on 127.0.0.1 that nobody listens on: one the system just handed out and took back.
[[nodiscard]] std::uint16_t closed_loopback_port();

// True for a dotted IPv4 address in 127.0.0.0/8: the only addresses the test servers contact.
bool is_loopback_address(std::string_view host);

}  // namespace test_support
