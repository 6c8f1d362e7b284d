#include "tests/support/loopback_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace test_support {

Socket::~Socket() {
  close();
}

bool Socket::send(std::string_view bytes) {
  while (fd_ >= 0 && !bytes.empty()) {
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return fd_ >= 0;
}

bool Socket::receive_some(std::string* into) {
  if (fd_ < 0) return false;
  char chunk[16384];
  const ssize_t count = ::recv(fd_, chunk, sizeof chunk, 0);
  if (count <= 0) return false;
  into->append(chunk, static_cast<std::size_t>(count));
  return true;
}

bool Socket::wait_for_close(int milliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (fd_ >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd waiting{fd_, POLLIN, 0};
    if (::poll(&waiting, 1, static_cast<int>(left.count())) <= 0) continue;
    std::string dropped;
    if (!receive_some(&dropped)) return true;
  }
  return false;
}

void Socket::close() {
  if (fd_ < 0) return;
  listener_.forget(fd_);
  ::close(fd_);
  fd_ = -1;
}

void Socket::reset() {
  if (fd_ < 0) return;
  const linger abort_on_close{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof abort_on_close);
  close();
}

LoopbackListener::LoopbackListener(Handler handler, std::string address)
    : handler_(std::move(handler)), address_(std::move(address)) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in socket_address{};
  socket_address.sin_family = AF_INET;
  socket_address.sin_port = 0;
  if (listen_fd_ < 0 || !is_loopback_address(address_) ||
      ::inet_pton(AF_INET, address_.c_str(), &socket_address.sin_addr) != 1 ||
      ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&socket_address), sizeof socket_address) !=
          0 ||
      ::listen(listen_fd_, 64) != 0)
    std::abort();  // a test machine without loopback cannot run these tests at all
  socklen_t length = sizeof socket_address;
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&socket_address), &length);
  port_ = ntohs(socket_address.sin_port);
  acceptor_ = std::thread([this] { accept_loop(); });
}

LoopbackListener::~LoopbackListener() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (const int descriptor : open_)
      ::shutdown(descriptor, SHUT_RDWR);
  }
  ::shutdown(listen_fd_, SHUT_RDWR);
  acceptor_.join();
  ::close(listen_fd_);
  std::vector<std::thread> handlers;
  {
    std::lock_guard lock(mutex_);
    handlers.swap(handlers_);
  }
  for (std::thread& handler : handlers)
    handler.join();
}

int LoopbackListener::accepted() const {
  std::lock_guard lock(mutex_);
  return accepted_;
}

void LoopbackListener::accept_loop() {
  for (;;) {
    const int descriptor = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (descriptor < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;  // shut down
    }
    std::lock_guard lock(mutex_);
    if (stopping_) {
      ::close(descriptor);
      return;
    }
    ++accepted_;
    open_.insert(descriptor);
    handlers_.emplace_back([this, descriptor] {
      Socket socket(*this, descriptor);
      handler_(socket);
    });
  }
}

void LoopbackListener::forget(int descriptor) {
  std::lock_guard lock(mutex_);
  open_.erase(descriptor);
}

int connect_to_loopback(const std::string& address, std::uint16_t port) {
  if (!is_loopback_address(address)) return -1;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &target.sin_addr) != 1) return -1;
  const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (descriptor < 0) return -1;
  if (::connect(descriptor, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
    ::close(descriptor);
    return -1;
  }
  return descriptor;
}

bool is_loopback_address(std::string_view host) {
  in_addr parsed{};
  const std::string text(host);
  return ::inet_pton(AF_INET, text.c_str(), &parsed) == 1 && (ntohl(parsed.s_addr) >> 24) == 127;
}

std::uint16_t closed_loopback_port() {
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(probe);
  return ntohs(address.sin_port);
}

}  // namespace test_support
