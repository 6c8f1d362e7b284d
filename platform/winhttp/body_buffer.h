// The body bytes that arrived and wait for the reader: filled at the back, read from the front.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <span>
#include <vector>

class BodyBuffer {
 public:
  [[nodiscard]] bool empty() const { return read_ == bytes_.size(); }
  [[nodiscard]] std::size_t size() const { return bytes_.size() - read_; }

  // Appends `data`, first moving what is unread to the front so the block never grows past
  // what waits plus what arrives.
  void append(const char* data, std::size_t size) {
    if (read_ > 0) {
      bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(read_));
      read_ = 0;
    }
    const auto* first = reinterpret_cast<const std::byte*>(data);
    bytes_.insert(bytes_.end(), first, first + size);
  }

  // Moves up to `into.size()` bytes from the front into `into`; the count moved.
  std::size_t take(std::span<std::byte> into) {
    const std::size_t count = std::min(into.size(), size());
    if (count > 0) std::memcpy(into.data(), bytes_.data() + read_, count);
    read_ += count;
    if (empty()) {
      bytes_.clear();
      read_ = 0;
    }
    return count;
  }

 private:
  std::vector<std::byte> bytes_;
  std::size_t read_ = 0;
};
