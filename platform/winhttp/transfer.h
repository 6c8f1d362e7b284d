// One request's libcurl transfer, driven step by step by the calls that wait on it.
//
// WinHttpSendRequest runs it until the request is out, WinHttpReceiveResponse until the final
// answer's head is complete, the body calls until body bytes are ready; nothing runs between
// them, except that transfers sharing a multi handle (kept_connections.h) move each other on
// while one of them waits. Body bytes wait in a buffer of about 1 MiB at most: when it is full
// the transfer pauses until the reader empties it, so the body is never held whole.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/winhttp/body_buffer.h"
#include "platform/winhttp/handles.h"
#include "platform/winhttp/kept_connections.h"
#include "platform/winhttp/response_head.h"
#include "platform/winhttp/transfer_bounds.h"

// Initialises libcurl once for the process; false when it cannot be used.
[[nodiscard]] bool libcurl_ready();

// The platform's error for a transfer that ended with `code`; `redirected` says whether a
// redirect was being followed (a refused or broken redirect is ERROR_WINHTTP_REDIRECT_FAILED).
[[nodiscard]] DWORD winhttp_error(CURLcode code, bool redirected);

class Transfer {
 public:
  // A transfer for `request` (which must outlive it) carrying `body`, not started yet.
  // ERROR_SUCCESS with `*transfer` set, ERROR_WINHTTP_NAME_NOT_RESOLVED for a server name that
  // cannot stand in a URL, ERROR_NOT_ENOUGH_MEMORY when libcurl cannot be set up.
  [[nodiscard]] static DWORD create(const Request& request, std::string_view body,
                                    std::unique_ptr<Transfer>* transfer);
  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // Resolves, connects and sends the request. ERROR_SUCCESS once it is out (or an answer began),
  // else the failure of resolving, connecting or setting up the secure channel.
  [[nodiscard]] DWORD send();

  // Waits for the final answer's head. ERROR_SUCCESS once head() holds it, else the failure.
  [[nodiscard]] DWORD receive();
  [[nodiscard]] std::string_view head() const { return head_.block(); }

  // Waits for body bytes and stores how many are ready: 0 at the end of the body, 1 when the
  // body broke off and the failure is still to be read. Fails once read() reported the failure.
  [[nodiscard]] DWORD wait_for_body(std::size_t* ready);

  // Copies up to `buffer.size()` ready body bytes, waiting for some, and stores the count: 0 at
  // the end of the body. Fails, storing nothing, when the body broke off before more arrived.
  [[nodiscard]] DWORD read(std::span<std::byte> buffer, std::size_t* count);

 private:
  enum class Stop { kNone, kIdle, kDeadline, kTooSlow, kHeadTooLarge };

  Transfer(const Request& request, std::size_t body_size);
  [[nodiscard]] bool configure(const Request& request, std::string_view body);
  void configure_method(const Request& request, std::string_view body);
  void configure_headers(const Request& request);
  void configure_proxy(const Request& request);
  void configure_credentials(const Request& request);
  void configure_connection_use(const Request& request);
  void configure_callbacks();
  void configure_trust();
  template <class Value>
  void set(CURLoption option, Value value);

  template <class Reached>
  void run_until(const Reached& reached);
  void step();
  void note_upload_progress();
  void finish(CURLcode result);
  void stop(Stop reason);
  void note_activity() { last_activity_ = std::chrono::steady_clock::now(); }
  void note_received(std::size_t bytes);
  [[nodiscard]] int idle_limit() const;
  [[nodiscard]] bool watching_idle() const;
  [[nodiscard]] std::chrono::milliseconds idle_left(
      std::chrono::steady_clock::time_point now) const;
  [[nodiscard]] Stop bound_passed();
  [[nodiscard]] int poll_wait() const;
  [[nodiscard]] DWORD failure() const;
  [[nodiscard]] DWORD body_failure() const;
  std::size_t take_body(std::span<std::byte> buffer);

  static std::size_t on_header_line(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t on_body_bytes(char* data, std::size_t size, std::size_t count, void* self);
  static int on_connected(void* self, char*, char*, int, int);
  static int on_socket(void* self, curl_socket_t, curlsocktype purpose);

  const Timeouts& timeouts_;
  const curl_off_t body_size_;
  std::shared_ptr<MultiHandle> multi_handle_;  // released after the easy handle's cleanup
  CURLM* multi_ = nullptr;
  CURL* easy_ = nullptr;
  curl_slist* server_headers_ = nullptr;
  curl_slist* proxy_headers_ = nullptr;
  bool configured_ = true;
  bool running_ = false;           // in the multi handle
  bool connection_ready_ = false;  // connected (and tunnelled, and secured) for the current hop
  bool connected_once_ = false;
  bool dispatched_ = false;  // the request and its body are out
  bool paused_ = false;      // stopped until the reader empties the body buffer
  bool finished_ = false;
  bool failure_reported_ = false;
  CURLcode result_ = CURLE_OK;
  Stop stop_ = Stop::kNone;
  curl_off_t uploaded_ = 0;
  std::chrono::steady_clock::time_point last_activity_;
  TransferBounds bounds_;
  ResponseHead head_;
  BodyBuffer body_;
};
