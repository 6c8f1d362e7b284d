#include "platform/winhttp/transfer_bounds.h"

#include <algorithm>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// Rounded up, so that a wait never ends just before a bound and spins.
milliseconds whole_milliseconds(TransferBounds::Clock::duration left) {
  return std::chrono::ceil<milliseconds>(left);
}

}  // namespace

TransferBounds::TransferBounds(milliseconds deadline, WINHTTP_MINIMUM_RATE minimum_rate)
    : deadline_(deadline),
      rate_span_(minimum_rate.bytes_per_second == 0 ? seconds(0) : seconds(minimum_rate.seconds)),
      bytes_per_span_(std::uint64_t{minimum_rate.bytes_per_second} * minimum_rate.seconds) {}

void TransferBounds::start_waiting(Clock::time_point now) {
  if (waiting_) return;
  wait_started_ = now;
  waiting_ = true;
}

void TransferBounds::stop_waiting(Clock::time_point now) {
  if (!waiting_) return;
  waited_before_ += now - wait_started_;
  waiting_ = false;
}

void TransferBounds::note_connected(Clock::time_point now) {
  if (rate_started_) return;
  rate_started_ = true;
  span_start_ = waited(now);
  span_start_bytes_ = received_;
}

TransferBounds::Passed TransferBounds::check(Clock::time_point now) {
  const Clock::duration so_far = waited(now);
  if (deadline_.count() > 0 && so_far >= deadline_) return Passed::kDeadline;
  if (!rate_applies() || so_far - span_start_ < rate_span_) return Passed::kNone;
  if (received_ - span_start_bytes_ < bytes_per_span_) return Passed::kMinimumRate;
  span_start_ = so_far;
  span_start_bytes_ = received_;
  return Passed::kNone;
}

milliseconds TransferBounds::time_left(Clock::time_point now, milliseconds longest) const {
  const Clock::duration so_far = waited(now);
  Clock::duration left = longest;
  if (deadline_.count() > 0) left = std::min(left, deadline_ - so_far);
  if (rate_applies()) left = std::min(left, span_start_ + rate_span_ - so_far);
  return std::max(whole_milliseconds(left), milliseconds(0));
}

TransferBounds::Clock::duration TransferBounds::waited(Clock::time_point now) const {
  return waiting_ ? waited_before_ + (now - wait_started_) : waited_before_;
}
