// The libcurl multi handle a transfer runs in, and with it the connections and name look-ups
// that outlive a request.
//
// A multi handle keeps the connections its transfers leave open and the names they resolved.
// Transfers share one, so that a request to a host and port that an earlier request reached
// goes over the connection that one left open, and the name is resolved once. libcurl keeps a
// connection only when its answer was read to the end and did not ask to close it; a request
// closed before its body's end takes its connection with it; a kept connection that the server
// dropped is noticed before it is used again, or the request is retried once on a fresh one
// when the server drops it on receiving the request.
//
// The shared handle is the thread's (this system makes its requests on one thread), since a
// multi handle must not be driven from two threads at once. It goes when the thread ends and
// the last transfer that runs in it is gone, closing the kept connections.
#pragma once

#include <curl/curl.h>

#include <memory>

class MultiHandle {
 public:
  MultiHandle();
  ~MultiHandle();
  MultiHandle(const MultiHandle&) = delete;
  MultiHandle& operator=(const MultiHandle&) = delete;

  // Null when libcurl could not make one.
  [[nodiscard]] CURLM* get() const { return multi_; }

 private:
  CURLM* multi_;
};

// The multi handle for a new transfer: the thread's shared one while connections are kept,
// otherwise one of its own, which keeps nothing beyond the transfer.
[[nodiscard]] std::shared_ptr<MultiHandle> multi_handle_for_transfer();

// Whether new transfers share the thread's multi handle (the default) or each has its own.
// Either way the calling thread's kept connections are dropped.
void keep_connections(bool enabled);

// Later transfers of the calling thread start a new shared multi handle; the old one, with its
// kept connections, goes once no transfer uses it.
void drop_kept_connections();
