#include "app/download/progress.h"

#include <unistd.h>

#include <array>
#include <cinttypes>

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr char kClearToEnd[] = "\x1b[K";

ProgressDisplay resolved(ProgressDisplay display, std::FILE* stream) {
  if (display != ProgressDisplay::automatic) return display;
  return isatty(fileno(stream)) ? ProgressDisplay::line : ProgressDisplay::summary;
}

std::string formatted(const char* format, double value, const char* unit) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), format, value, unit);
  return text.data();
}

std::string clock_time(std::uint64_t seconds) {
  std::array<char, 32> text{};
  if (seconds >= 3600) {
    std::snprintf(text.data(), text.size(), "%" PRIu64 ":%02" PRIu64 ":%02" PRIu64, seconds / 3600,
                  seconds / 60 % 60, seconds % 60);
  } else {
    std::snprintf(text.data(), text.size(), "%" PRIu64 ":%02" PRIu64, seconds / 60, seconds % 60);
  }
  return text.data();
}

}  // namespace

std::string readable_size(std::uint64_t bytes) {
  static constexpr std::array<const char*, 5> kUnits = {"KiB", "MiB", "GiB", "TiB", "PiB"};
  if (bytes < 1024) return formatted("%.0f %s", static_cast<double>(bytes), "B");
  double value = static_cast<double>(bytes) / 1024.0;
  std::size_t unit = 0;
  while (value >= 1024.0 && unit + 1 < kUnits.size()) {
    value /= 1024.0;
    ++unit;
  }
  return formatted("%.1f %s", value, kUnits[unit]);
}

std::string progress_text(std::string_view name, std::uint64_t received,
                          std::optional<std::uint64_t> total, double rate) {
  std::string text(name);
  text.append("  ").append(readable_size(received));
  if (total && *total > 0) {
    const std::uint64_t shown = std::min(received, *total);
    text.append(" of ").append(readable_size(*total));
    text.append("  ").append(std::to_string(shown * 100 / *total)).append("%");
    if (rate > 0) {
      const auto left = static_cast<std::uint64_t>(static_cast<double>(*total - shown) / rate);
      text.append("  ").append(clock_time(left)).append(" left");
    }
  }
  if (rate > 0) {
    text.append("  ").append(readable_size(static_cast<std::uint64_t>(rate))).append("/s");
  }
  return text;
}

ProgressReport::ProgressReport(std::FILE* stream, ProgressDisplay display, std::string name,
                               std::optional<std::uint64_t> total, std::uint64_t resumed_from)
    : stream_(stream),
      display_(resolved(display, stream)),
      name_(std::move(name)),
      total_(total),
      resumed_from_(resumed_from) {}

void ProgressReport::update(std::uint64_t received) {
  if (display_ != ProgressDisplay::line) return;
  const Clock::time_point now = Clock::now();
  if (drawn_ && now - drawn_at_ < kRedrawInterval) return;
  drawn_at_ = now;
  draw(received);
}

void ProgressReport::saved(std::uint64_t received) {
  if (display_ == ProgressDisplay::line) {
    draw(received);
    std::fputc('\n', stream_);
  } else if (display_ == ProgressDisplay::summary) {
    const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    std::string line = "songsearch: saved " + name_ + " (" + readable_size(received);
    line.append(formatted(" in %.1f %s", seconds, "s"));
    if (const double bytes_per_second = rate(received); bytes_per_second > 0) {
      line.append(", ").append(readable_size(static_cast<std::uint64_t>(bytes_per_second)));
      line.append("/s");
    }
    line.append(")\n");
    std::fputs(line.c_str(), stream_);
  }
  std::fflush(stream_);
  drawn_ = false;
}

void ProgressReport::abandoned() {
  if (drawn_) std::fputc('\n', stream_);
  drawn_ = false;
  std::fflush(stream_);
}

void ProgressReport::draw(std::uint64_t received) {
  const std::string line =
      "\r" + progress_text(name_, received, total_, rate(received)) + kClearToEnd;
  std::fputs(line.c_str(), stream_);
  std::fflush(stream_);
  drawn_ = true;
}

double ProgressReport::rate(std::uint64_t received) const {
  const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
  if (seconds <= 0 || received < resumed_from_) return 0;
  return static_cast<double>(received - resumed_from_) / seconds;
}
