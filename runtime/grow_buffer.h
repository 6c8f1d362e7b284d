// GrowBuffer: the scratch buffer in which text_replace and text_split assemble their results.
// It takes its memory from the process heap directly, not through mem_alloc, and frees it when
// it goes out of scope unless the finished block is handed over with release().
//
// Growth policy of grow_to(needed):
//   - needed 0 frees the block;
//   - a block whose capacity is at least `needed` and exceeds it by at most 256 bytes stays;
//   - otherwise the block is reallocated to needed + 128 bytes, so a much larger block shrinks.
// A failed growth leaves the buffer as it was. Appends grow the buffer only when their bytes do
// not fit, so a caller that knows its total grows once and then appends without reallocating.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

class GrowBuffer {
 public:
  static constexpr std::uint32_t kSlack = 128;
  static constexpr std::uint32_t kMaxExcess = 256;

  GrowBuffer() = default;
  GrowBuffer(const GrowBuffer&) = delete;
  GrowBuffer& operator=(const GrowBuffer&) = delete;
  ~GrowBuffer();

  // Applies the growth policy for a content of `needed` bytes. False when the block could not be
  // (re)allocated; the buffer is then unchanged. Content beyond a smaller `needed` is dropped.
  [[nodiscard]] bool grow_to(std::uint32_t needed);

  // Appends `count` bytes, growing to size() + count when they do not fit. When the buffer cannot
  // grow, nothing is appended and the result is false.
  bool append(const void* bytes, std::uint32_t count) {
    if (count > capacity_ - used_) return append_growing(bytes, count);
    if (count != 0) std::memcpy(data_ + used_, bytes, count);
    used_ += count;
    return true;
  }
  bool append(std::string_view bytes) {
    return append(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  }

  [[nodiscard]] const std::uint8_t* data() const { return data_; }
  [[nodiscard]] std::uint32_t size() const { return used_; }
  [[nodiscard]] std::uint32_t capacity() const { return capacity_; }
  [[nodiscard]] std::span<const std::uint8_t> bytes() const { return {data_, used_}; }

  // Hands the block (null when there is none) to the caller, who frees it with mem_free, and
  // leaves the buffer empty. The block is first trimmed by the growth policy to its content.
  [[nodiscard]] void* release();

  // The content as a block that mem_free releases, leaving the buffer empty: a content below
  // kCopyOutLimit is copied out into a new block from mem_alloc, whose release is cheapest; a
  // larger one hands over the buffer's own block (release()), which saves copying it.
  static constexpr std::uint32_t kCopyOutLimit = 64 * 1024;
  [[nodiscard]] void* take_block();

 private:
  bool append_growing(const void* bytes, std::uint32_t count);

  std::uint8_t* data_ = nullptr;
  std::uint32_t capacity_ = 0;
  std::uint32_t used_ = 0;
};
