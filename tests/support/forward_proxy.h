// A small HTTP forward proxy on loopback: it forwards absolute-form requests ("GET http://...")
// and tunnels CONNECT requests, to 127.x addresses only, and records the head of every request
// it receives. With credentials set it demands Basic proxy authentication (407 without it).
//
//   ForwardProxy proxy("user", "secret");
//   ... request through proxy.authority() ...
//   EXPECT_EQ(proxy.request_heads().at(0), "GET http://127.0.0.1:.../ HTTP/1.1\r\n...");
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/loopback_listener.h"

namespace test_support {

class ForwardProxy {
 public:
  // Without a user name no authentication is asked for.
  explicit ForwardProxy(std::string user_name = {}, std::string password = {});

  [[nodiscard]] std::uint16_t port() const { return listener_.port(); }
  // "127.0.0.1:<port>".
  [[nodiscard]] std::string authority() const;
  // The head of every request received, in order, exactly as it arrived.
  [[nodiscard]] std::vector<std::string> request_heads() const;

 private:
  void serve(Socket& client);
  bool authorized(const std::string& head) const;
  void forward(Socket& client, const std::string& head, const std::string& body);
  void tunnel(Socket& client, const std::string& target);

  std::string expected_authorization_;  // "Basic ..." or empty
  mutable std::mutex mutex_;
  std::vector<std::string> heads_;  // guarded by mutex_
  LoopbackListener listener_;       // last: its threads use the members above
};

// The Base64 form of `bytes`, as Basic authentication writes "user:password".
[[nodiscard]] std::string base64(std::string_view bytes);

}  // namespace test_support
