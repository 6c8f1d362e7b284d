// A download's progress on standard error: on a terminal, one line redrawn at most ten times a
// second; elsewhere, one summary line when the file is saved.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

// How progress is shown.
enum class ProgressDisplay {
  automatic,  // a redrawn line when standard error is a terminal, else a summary
  line,       // a redrawn line
  summary,    // one line per saved file
  none,       // nothing but failures
};

// "12.3 MiB", "512 B": a byte count as people read it.
[[nodiscard]] std::string readable_size(std::uint64_t bytes);

// The redrawn line's text: the name, the bytes so far, then with a known `total` the percent and
// the time left, and the rate (bytes a second over this transfer; 0 when not yet known).
//   progress_text("a.mp3", 1048576, 4194304, 1048576.0) -> "a.mp3  1.0 MiB of 4.0 MiB  25%  0:03
//   left  1.0 MiB/s"
[[nodiscard]] std::string progress_text(std::string_view name, std::uint64_t received,
                                        std::optional<std::uint64_t> total, double rate);

class ProgressReport {
 public:
  using Clock = std::chrono::steady_clock;

  // For the file `name`, of `total` bytes when known, continued from `resumed_from` bytes.
  ProgressReport(std::FILE* stream, ProgressDisplay display, std::string name,
                 std::optional<std::uint64_t> total, std::uint64_t resumed_from);

  // `received` bytes of the file are there now (the resumed ones included).
  void update(std::uint64_t received);
  // The file is saved with `received` bytes: the line's last drawing, or the summary.
  void saved(std::uint64_t received);
  // The transfer ended without a saved file: ends a drawn line, so a message can follow.
  void abandoned();

 private:
  void draw(std::uint64_t received);
  [[nodiscard]] double rate(std::uint64_t received) const;

  std::FILE* stream_;
  ProgressDisplay display_;
  std::string name_;
  std::optional<std::uint64_t> total_;
  std::uint64_t resumed_from_;
  Clock::time_point started_ = Clock::now();
  Clock::time_point drawn_at_{};
  bool drawn_ = false;
};
