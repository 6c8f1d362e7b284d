#include "platform/winhttp/handles.h"

#include <mutex>
#include <unordered_map>

#include "platform/winhttp/transfer.h"

namespace {

std::mutex table_mutex;
std::unordered_map<HINTERNET, std::shared_ptr<WinHttpHandle>> open_handles;  // by table_mutex

std::shared_ptr<WinHttpHandle> find_open(HINTERNET handle) {
  std::lock_guard lock(table_mutex);
  const auto found = open_handles.find(handle);
  return found == open_handles.end() ? nullptr : found->second;
}

template <class T>
constexpr WinHttpHandle::Kind kind_of();
template <>
constexpr WinHttpHandle::Kind kind_of<Session>() {
  return WinHttpHandle::Kind::kSession;
}
template <>
constexpr WinHttpHandle::Kind kind_of<Connection>() {
  return WinHttpHandle::Kind::kConnection;
}
template <>
constexpr WinHttpHandle::Kind kind_of<Request>() {
  return WinHttpHandle::Kind::kRequest;
}

}  // namespace

Request::Request() : WinHttpHandle(Kind::kRequest) {}
Request::~Request() = default;

HINTERNET open_handle(std::shared_ptr<WinHttpHandle> handle) {
  const HINTERNET address = handle.get();
  std::lock_guard lock(table_mutex);
  open_handles.emplace(address, std::move(handle));
  return address;
}

template <class T>
std::shared_ptr<T> find_handle(HINTERNET handle) {
  std::shared_ptr<WinHttpHandle> found = find_open(handle);
  if (found == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (found->kind != kind_of<T>()) {
    SetLastError(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  return std::static_pointer_cast<T>(std::move(found));
}
template std::shared_ptr<Session> find_handle<Session>(HINTERNET);
template std::shared_ptr<Connection> find_handle<Connection>(HINTERNET);
template std::shared_ptr<Request> find_handle<Request>(HINTERNET);

bool close_handle(HINTERNET handle) {
  std::shared_ptr<WinHttpHandle> closed;  // released after the lock, as it may free a transfer
  std::lock_guard lock(table_mutex);
  const auto found = open_handles.find(handle);
  if (found == open_handles.end()) return false;
  closed = std::move(found->second);
  open_handles.erase(found);
  return true;
}
