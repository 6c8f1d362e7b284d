// The bounds on a request as a whole (WINHTTP_OPTION_DEADLINE, WINHTTP_OPTION_MINIMUM_RATE),
// measured on the time the caller spends waiting for the server.
//
// A transfer runs only while one of the caller's calls waits on it, so only that time is the
// server's: a caller that stops reading for a while, with the answer waiting in the socket, is
// not counted as a slow server. The deadline counts the waits from the send on; the floor on the
// rate counts the waits from the first connection on, in spans of its `seconds`, each of which
// must bring at least `bytes_per_second` times that many bytes.
#pragma once

#include <chrono>
#include <cstdint>

#include "platform/winhttp/winhttp.h"

class TransferBounds {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Passed { kNone, kDeadline, kMinimumRate };

  // Zero for the deadline, or a rate with zeros, sets no such bound.
  TransferBounds(std::chrono::milliseconds deadline, WINHTTP_MINIMUM_RATE minimum_rate);

  // One wait of the caller runs from start_waiting to stop_waiting.
  void start_waiting(Clock::time_point now);
  void stop_waiting(Clock::time_point now);
  // The connection is up: the floor on the rate applies from here (the first time only).
  void note_connected(Clock::time_point now);
  void note_received(std::size_t bytes) { received_ += bytes; }

  // Which bound, if any, is passed at `now`, during a wait. A span that brought enough bytes
  // starts the next one.
  [[nodiscard]] Passed check(Clock::time_point now);
  // How long the current wait may go on before check() must look again; `longest` when no bound
  // is set.
  [[nodiscard]] std::chrono::milliseconds time_left(Clock::time_point now,
                                                    std::chrono::milliseconds longest) const;

 private:
  [[nodiscard]] Clock::duration waited(Clock::time_point now) const;
  [[nodiscard]] bool rate_applies() const { return rate_span_.count() > 0 && rate_started_; }

  const Clock::duration deadline_;
  const Clock::duration rate_span_;
  const std::uint64_t bytes_per_span_;
  Clock::duration waited_before_{};  // the waits that ended
  Clock::time_point wait_started_;
  bool waiting_ = false;
  bool rate_started_ = false;
  Clock::duration span_start_{};  // on the waited time
  std::uint64_t span_start_bytes_ = 0;
  std::uint64_t received_ = 0;
};
