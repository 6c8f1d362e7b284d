// A stand-in music service for end-to-end tests, scripted by each test: it listens on the two
// hosts a test build of the program talks to, answers each endpoint as the test says (a handler,
// a canned answer, or raw bytes that are no HTTP answer at all), and records every request exactly
// as it arrived, in order.
//
//   ScriptedMusicService service(kSearchHost, kPlayInfoHost);
//   ASSERT_TRUE(service.listening()) << service.failure();
//   service.answer(Endpoint::search, {200, R"({"data":{"info":[]}})"});
//   ... run the program ...
//   EXPECT_EQ(service.requests()[0].target, "/api/v3/search/song?keyword=a&page=1&pagesize=5");
//
// Bodies go out as the bytes given: write Chinese text in them as u8"" literals, since the tests'
// narrow literals are GBK.
#pragma once

#include <httplib.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace test_support {

enum class Endpoint { search, play_info };

// A request as the service received it.
struct ReceivedRequest {
  Endpoint endpoint;  // the host it came to
  std::string head;   // the request line and header lines as received, up to the empty line
  std::string method, target, version;
  std::vector<std::pair<std::string, std::string>> headers;  // in the order received
};

// A canned HTTP answer.
struct Answer {
  int status = 200;
  std::string body;
  std::string content_type = "application/json; charset=utf-8";
  std::vector<std::pair<std::string, std::string>> headers = {};  // further header lines
};

class ScriptedMusicService {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  // Listens on `search_host` and `play_info_host`, each "address:port", where port 0 takes a free
  // one. Until told otherwise the search answers a page without hits and the play information an
  // empty object, on any path.
  ScriptedMusicService(std::string_view search_host, std::string_view play_info_host);
  ~ScriptedMusicService();
  ScriptedMusicService(const ScriptedMusicService&) = delete;
  ScriptedMusicService& operator=(const ScriptedMusicService&) = delete;

  // Whether both hosts are listening; failure() says which could not, and why.
  [[nodiscard]] bool listening() const { return failure_.empty(); }
  [[nodiscard]] const std::string& failure() const { return failure_; }

  // The "address:port" where `endpoint` listens.
  [[nodiscard]] std::string host(Endpoint endpoint) const;

  // What `endpoint` does with every request from now on, whatever its path and method: run a
  // handler, give a canned answer, or send `bytes` as they stand (no status line, no headers) and
  // close the connection; empty bytes close it at once.
  void handle(Endpoint endpoint, Handler handler);
  void answer(Endpoint endpoint, Answer answer);
  void answer_raw(Endpoint endpoint, std::string bytes);

  // Every request received so far, in the order of arrival.
  [[nodiscard]] std::vector<ReceivedRequest> requests() const;
  void forget_requests();

  // The per-host server; defined in scripted_music_service.cpp.
  class HostServer;

 private:
  friend class HostServer;
  struct Script {
    Handler handler;
    std::shared_ptr<const std::string> raw;  // null: answer through the handler
  };
  [[nodiscard]] Script script_of(Endpoint endpoint) const;
  void record(Endpoint endpoint, std::string head);

  mutable std::mutex mutex_;
  Script scripts_[2];
  std::vector<ReceivedRequest> requests_;
  std::vector<std::unique_ptr<HostServer>> servers_;
  std::string failure_;
};

}  // namespace test_support
