// The stand-in's calls in the order a client makes them, with the stage at which a request
// failed, so that each test states only what differs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/winhttp/winhttp.h"

namespace winhttp_test {

// The calls in order; a request that fails stops at one of them.
enum class Stage {
  kCrackUrl,
  kOpen,
  kConnect,
  kOpenRequest,
  kSetup,  // time-outs, credentials, options, headers
  kSend,
  kReceive,
  kQueryDataAvailable,
  kReadData,
  kQueryHeaders,
  kDone,
};

struct Options {
  std::u16string verb = u"GET";
  std::u16string headers;  // for WinHttpAddRequestHeaders with ADD | REPLACE; empty: not called
  std::string body;
  const char16_t* agent = nullptr;
  std::u16string proxy;                            // WINHTTP_ACCESS_TYPE_NAMED_PROXY when not empty
  int timeout = 5000;                              // for all four time-outs
  std::u16string user_name, password;              // server credentials when not empty
  std::u16string proxy_user_name, proxy_password;  // proxy credentials when not empty
  DWORD disabled_features = 0;                     // WINHTTP_DISABLE_*
  DWORD deadline = 0;                              // WINHTTP_OPTION_DEADLINE when not 0
  WINHTTP_MINIMUM_RATE minimum_rate;               // WINHTTP_OPTION_MINIMUM_RATE when not zeros
  std::size_t read_size = 0;  // the size of each WinHttpReadData; 0: what is available
};

struct Result {
  Stage stage = Stage::kDone;   // where it stopped
  DWORD error = ERROR_SUCCESS;  // the last error there
  std::string head;             // the raw header block, each UTF-16 unit narrowed to a byte
  std::string body;             // every body byte read, also those before a failed read
  bool handles_closed = false;
};

// Makes the request for `url` with `options`, reading the whole body, and closes every handle.
[[nodiscard]] Result fetch(std::u16string_view url, const Options& options = {});

// A session, connection and request for `object` on 127.0.0.1:`port`, each step in the caller's
// hands; closed when it goes out of scope (a handle already closed is set to null by the caller).
struct OpenedRequest {
  explicit OpenedRequest(std::uint16_t port, const char16_t* object = u"/");
  ~OpenedRequest();
  OpenedRequest(const OpenedRequest&) = delete;
  OpenedRequest& operator=(const OpenedRequest&) = delete;

  // WinHttpSendRequest without a body, then WinHttpReceiveResponse.
  [[nodiscard]] bool send_and_receive() const;
  // The raw header block as WinHttpQueryHeaders gives it; empty when it fails.
  [[nodiscard]] std::u16string head() const;

  HINTERNET session = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;
};

// The ASCII `text` as UTF-16.
[[nodiscard]] std::u16string wide(std::string_view text);

// The UTF-16 `text` with each unit narrowed to a byte (for heads of ASCII text).
[[nodiscard]] std::string narrow(std::u16string_view text);

}  // namespace winhttp_test
