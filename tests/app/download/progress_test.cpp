#include "app/download/progress.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressTest, TheLineShowsPercentAndTimeLeftOnlyWhenTheLengthIsKnown) {
  constexpr std::uint64_t kMiB = 1024 * 1024;
  EXPECT_EQ(progress_text("a.mp3", kMiB, 4 * kMiB, kMiB),
            "a.mp3  1.0 MiB of 4.0 MiB  25%  0:03 left  1.0 MiB/s");
  EXPECT_EQ(progress_text("a.mp3", 1500, std::nullopt, 300), "a.mp3  1.5 KiB  300 B/s");
  EXPECT_EQ(progress_text("a.mp3", 0, 100, 0), "a.mp3  0 B of 100 B  0%");
  EXPECT_EQ(progress_text("a", 7200 * kMiB, 10800 * kMiB, kMiB),
            "a  7.0 GiB of 10.5 GiB  66%  1:00:00 left  1.0 MiB/s");
  EXPECT_EQ(progress_text("a", 200, 100, 10), "a  200 B of 100 B  100%  0:00 left  10 B/s");
}

TEST(ProgressTest, ReadableSizesStepByPowersOf1024) {
  EXPECT_EQ(readable_size(0), "0 B");
  EXPECT_EQ(readable_size(1023), "1023 B");
  EXPECT_EQ(readable_size(1024), "1.0 KiB");
  EXPECT_EQ(readable_size(1536 * 1024), "1.5 MiB");
  EXPECT_EQ(readable_size(UINT64_MAX), "16384.0 PiB");
}

}  // namespace
