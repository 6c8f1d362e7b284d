#include "platform/winhttp/cookie_store.h"

CookieStore::CookieStore() : share_(curl_share_init()) {
  if (share_ == nullptr) return;
  const bool ready = curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CookieStore::lock) == 0 &&
                     curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CookieStore::unlock) == 0 &&
                     curl_share_setopt(share_, CURLSHOPT_USERDATA, this) == 0 &&
                     curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) == 0;
  if (!ready) {
    curl_share_cleanup(share_);
    share_ = nullptr;
  }
}

CookieStore::~CookieStore() {
  if (share_ != nullptr) curl_share_cleanup(share_);
}

void CookieStore::lock(CURL*, curl_lock_data data, curl_lock_access, void* store) {
  static_cast<CookieStore*>(store)->locks_[data].lock();
}

void CookieStore::unlock(CURL*, curl_lock_data data, void* store) {
  static_cast<CookieStore*>(store)->locks_[data].unlock();
}
