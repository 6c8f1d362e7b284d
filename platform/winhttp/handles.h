// The objects behind the stand-in's handles, and the table of open handles.
//
// A handle is the address of its object. The table holds one reference to each open object and
// every child holds one to its parent, so closing a session before its requests is safe.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/winhttp/cookie_store.h"
#include "platform/winhttp/proxy_list.h"
#include "platform/winhttp/request_headers.h"
#include "platform/winhttp/winhttp.h"

class Transfer;

// Time-outs in milliseconds; 0 or less waits without end.
struct Timeouts {
  int resolve = 0;
  int connect = 60000;
  int send = 30000;
  int receive = 30000;
};

struct WinHttpHandle {
  enum class Kind { kSession, kConnection, kRequest };
  explicit WinHttpHandle(Kind handle_kind) : kind(handle_kind) {}
  virtual ~WinHttpHandle() = default;
  WinHttpHandle(const WinHttpHandle&) = delete;
  WinHttpHandle& operator=(const WinHttpHandle&) = delete;

  const Kind kind;
};

struct Session final : WinHttpHandle {
  Session() : WinHttpHandle(Kind::kSession) {}

  std::optional<std::string> agent;  // the User-Agent value, in the system ANSI code page
  ProxyList proxies;
  Timeouts timeouts;
  CookieStore cookies;
};

struct Connection final : WinHttpHandle {
  Connection() : WinHttpHandle(Kind::kConnection) {}

  std::shared_ptr<Session> session;
  std::string server;  // UTF-8
  INTERNET_PORT port = INTERNET_DEFAULT_PORT;
};

struct Credentials {
  std::string user_name;  // UTF-8
  std::string password;   // UTF-8
  bool set = false;
};

struct Request final : WinHttpHandle {
  Request();
  ~Request() override;

  std::shared_ptr<Connection> connection;
  std::string verb;
  std::string target;  // the escaped object name
  bool secure = false;
  Timeouts timeouts;
  std::chrono::milliseconds deadline{0};  // 0: none
  WINHTTP_MINIMUM_RATE minimum_rate;      // zeros: none
  RequestHeaders headers;
  Credentials server_credentials;
  Credentials proxy_credentials;
  bool cookies_enabled = true;
  bool redirects_enabled = true;
  bool keep_alive = true;
  std::unique_ptr<Transfer> transfer;  // from WinHttpSendRequest on
  std::u16string head;                 // the final answer's head, once received
};

// Enters `handle` in the table; its address is the handle.
[[nodiscard]] HINTERNET open_handle(std::shared_ptr<WinHttpHandle> handle);

// The open object of `handle` when it is a `T`; otherwise null, with ERROR_INVALID_HANDLE (not
// open) or ERROR_WINHTTP_INCORRECT_HANDLE_TYPE (another kind) as the last error.
template <class T>
[[nodiscard]] std::shared_ptr<T> find_handle(HINTERNET handle);

// Removes `handle` from the table; false when it was not open.
[[nodiscard]] bool close_handle(HINTERNET handle);
