// The bounds on a request as a whole, on a clock of the test's own: only the caller's waits count.
#include "platform/winhttp/transfer_bounds.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;
using Passed = TransferBounds::Passed;

// A clock the test moves: waits, and pauses of the caller between them.
class Timeline {
 public:
  explicit Timeline(TransferBounds& bounds) : bounds_(bounds) {}

  void wait(milliseconds span) {
    if (!waiting_) bounds_.start_waiting(now_);
    waiting_ = true;
    now_ += span;
  }
  void pause(milliseconds span) {
    if (waiting_) bounds_.stop_waiting(now_);
    waiting_ = false;
    now_ += span;
  }
  [[nodiscard]] Passed check() { return bounds_.check(now_); }
  [[nodiscard]] milliseconds left() const { return bounds_.time_left(now_, milliseconds(1000)); }
  [[nodiscard]] TransferBounds::Clock::time_point now() const { return now_; }

 private:
  TransferBounds& bounds_;
  TransferBounds::Clock::time_point now_{};
  bool waiting_ = false;
};

TEST(TransferBoundsTest, TheDeadlineCountsOnlyTheCallersWaitsAndNoBoundsSetNothing) {
  TransferBounds none(milliseconds(0), {});
  Timeline idle(none);
  none.note_connected(idle.now());
  idle.wait(milliseconds(3'600'000));
  EXPECT_EQ(idle.check(), Passed::kNone);
  EXPECT_EQ(idle.left(), milliseconds(1000));

  TransferBounds bounds(milliseconds(500), {});
  Timeline time(bounds);
  time.wait(milliseconds(300));
  EXPECT_EQ(time.check(), Passed::kNone);
  EXPECT_EQ(time.left(), milliseconds(200));
  time.pause(milliseconds(10'000));
  time.wait(milliseconds(150));
  EXPECT_EQ(time.check(), Passed::kNone) << "the caller's pause is not the server's";
  EXPECT_EQ(time.left(), milliseconds(50));
  time.wait(milliseconds(50));
  EXPECT_EQ(time.check(), Passed::kDeadline);
  EXPECT_EQ(time.left(), milliseconds(0));
}

TEST(TransferBoundsTest, TheRateIsCheckedSpanBySpanFromTheFirstConnectionOn) {
  TransferBounds bounds(milliseconds(0), {100, 2});
  Timeline time(bounds);
  time.wait(milliseconds(5000));
  EXPECT_EQ(time.check(), Passed::kNone) << "connecting is the connect time-out's";
  EXPECT_EQ(time.left(), milliseconds(1000)) << "no bound yet: the longest wait";
  bounds.note_connected(time.now());
  bounds.note_received(150);
  time.wait(milliseconds(1999));
  EXPECT_EQ(time.check(), Passed::kNone);
  EXPECT_EQ(time.left(), milliseconds(1));
  bounds.note_received(50);
  time.wait(milliseconds(1));
  EXPECT_EQ(time.check(), Passed::kNone) << "200 bytes in 2 s: enough, a new span starts";
  EXPECT_EQ(time.left(), milliseconds(1000));
  bounds.note_received(199);
  time.pause(milliseconds(60'000));
  time.wait(milliseconds(2000));
  EXPECT_EQ(time.check(), Passed::kMinimumRate) << "199 bytes in 2 s of waiting";

  TransferBounds rate(milliseconds(0), {1, 1});
  Timeline later(rate);
  rate.note_connected(later.now());
  rate.note_received(1);
  later.wait(milliseconds(900));
  rate.note_connected(later.now());  // a redirect's connection does not start the span again
  later.wait(milliseconds(100));
  EXPECT_EQ(later.check(), Passed::kNone);
  later.wait(milliseconds(1000));
  EXPECT_EQ(later.check(), Passed::kMinimumRate);
}
}  // namespace
