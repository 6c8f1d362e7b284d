// The body of an answer as it is read: bytes appended where the next read lands, in one block
// that grows by doubling and becomes the body's ByteSet without being copied.
//
//   AnswerBody body;
//   std::span<std::uint8_t> room = body.room_for(available);  // empty: the cap is reached
//   ... read up to room.size() bytes into room.data() ...
//   body.commit(count_read);
//   ByteSet bytes = std::move(body).finish();
#pragma once

#include <cstdint>
#include <span>
#include <utility>

#include "runtime/runtime.h"

class AnswerBody {
 public:
  // The most a body may hold: a larger answer stops there, as a failed read would.
  static constexpr std::uint32_t kCap = 256u * 1024 * 1024;

  AnswerBody() = default;
  AnswerBody(const AnswerBody&) = delete;
  AnswerBody& operator=(const AnswerBody&) = delete;
  ~AnswerBody() { mem_free(block_); }

  // Room for up to `count` more bytes after those committed, fewer when the cap is near; empty
  // when `count` is 0 or the cap is reached.
  [[nodiscard]] std::span<std::uint8_t> room_for(std::uint32_t count);
  // Keeps `count` bytes of the room last given (at most its size).
  void commit(std::uint32_t count);

  [[nodiscard]] std::uint32_t size() const { return used_; }

  // The committed bytes as a ByteSet (null when there are none); the buffer is then empty.
  [[nodiscard]] ByteSet finish() &&;

 private:
  static constexpr std::uint32_t kFirstCapacity = 16 * 1024;

  void grow_to_hold(std::uint32_t needed);

  std::uint8_t* block_ = nullptr;  // a ByteSet block: dimension count, length, then the bytes
  std::uint32_t capacity_ = 0;     // bytes the block holds after its header
  std::uint32_t used_ = 0;
  std::uint32_t room_ = 0;  // the size of the room last given
};
