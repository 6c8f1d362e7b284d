#include "platform/winhttp/kept_connections.h"

#include <atomic>

namespace {

// Enough for the hosts of a search and a few more; the oldest idle one goes first.
constexpr long kKeptConnectionsLimit = 8;

std::atomic<bool> connections_kept{true};
thread_local std::shared_ptr<MultiHandle> shared_multi_handle;

}  // namespace

MultiHandle::MultiHandle() : multi_(curl_multi_init()) {
  if (multi_ != nullptr) curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, kKeptConnectionsLimit);
}

MultiHandle::~MultiHandle() {
  if (multi_ != nullptr) curl_multi_cleanup(multi_);
}

std::shared_ptr<MultiHandle> multi_handle_for_transfer() {
  if (!connections_kept) return std::make_shared<MultiHandle>();
  if (shared_multi_handle == nullptr || shared_multi_handle->get() == nullptr)
    shared_multi_handle = std::make_shared<MultiHandle>();
  return shared_multi_handle;
}

void keep_connections(bool enabled) {
  connections_kept = enabled;
  drop_kept_connections();
}

void drop_kept_connections() {
  shared_multi_handle.reset();
}
