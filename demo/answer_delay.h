// Delays that make a service on loopback look far away: every answer waits `answer`, and the
// first answer on each new connection waits `connection` more (the round trips of setting the
// connection up). A connection is known by the client's address and port.
#pragma once

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>

class AnswerDelay {
 public:
  using milliseconds = std::chrono::milliseconds;

  void set(milliseconds answer, milliseconds connection) {
    answer_ms_ = answer.count();
    connection_ms_ = connection.count();
  }

  // Waits as long as the answer to `request` is delayed.
  void before_answer(const httplib::Request& request) {
    const long long answer = answer_ms_;
    const long long connection = connection_ms_;
    if (answer == 0 && connection == 0) return;
    const bool new_connection = first_on_connection(request);
    std::this_thread::sleep_for(milliseconds(answer + (new_connection ? connection : 0)));
  }

 private:
  bool first_on_connection(const httplib::Request& request) {
    const std::lock_guard lock(mutex_);
    return seen_
        .emplace(request.local_addr, request.local_port, request.remote_addr, request.remote_port)
        .second;
  }

  std::atomic<long long> answer_ms_{0};
  std::atomic<long long> connection_ms_{0};
  std::mutex mutex_;
  std::set<std::tuple<std::string, int, std::string, int>> seen_;  // guarded by mutex_
};

// Makes `server` send each write at once (TCP_NODELAY, which accepted connections inherit from
// the listening socket). cpp-httplib writes an answer's head and body apart, and on a kept
// connection the body would otherwise wait for the client's delayed acknowledgement of the head
// (some 40 ms), which would swamp the delays being measured.
inline void send_writes_at_once(httplib::Server& server) {
  server.set_socket_options([](socket_t socket) {
    httplib::default_socket_options(socket);
    const int yes = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  });
}
