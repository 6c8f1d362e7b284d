// The cookie store of a session: libcurl's cookie engine shared by the session's requests, so
// that a cookie one answer sets (a redirect's included) goes out with the next request.
#pragma once

#include <curl/curl.h>

#include <array>
#include <mutex>

class CookieStore {
 public:
  CookieStore();
  ~CookieStore();
  CookieStore(const CookieStore&) = delete;
  CookieStore& operator=(const CookieStore&) = delete;

  // The share handle a transfer joins to use the store; null when libcurl could not make one.
  [[nodiscard]] CURLSH* share() const { return share_; }

 private:
  static void lock(CURL*, curl_lock_data data, curl_lock_access, void* store);
  static void unlock(CURL*, curl_lock_data data, void* store);

  CURLSH* share_ = nullptr;
  std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;  // requests may run on several threads
};
