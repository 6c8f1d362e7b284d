#include "http/answer_body.h"

#include <algorithm>
#include <cstring>

std::span<std::uint8_t> AnswerBody::room_for(std::uint32_t count) {
  room_ = std::min(count, kCap - used_);
  if (room_ == 0) return {};
  grow_to_hold(used_ + room_);
  return {block_ + ByteSet::kHeaderSize + used_, room_};
}

void AnswerBody::commit(std::uint32_t count) {
  used_ += std::min(count, room_);
  room_ = 0;
}

ByteSet AnswerBody::finish() && {
  if (used_ == 0) return {};
  const std::uint32_t header[] = {1, used_};
  std::memcpy(block_, header, sizeof header);
  used_ = capacity_ = 0;
  return ByteSet::adopt(std::exchange(block_, nullptr));
}

// Doubles the capacity until `needed` fits, never past the cap. The first block is small, since
// most answers are.
void AnswerBody::grow_to_hold(std::uint32_t needed) {
  if (needed <= capacity_) return;
  std::uint64_t capacity = std::max(capacity_, kFirstCapacity);
  while (capacity < needed)
    capacity *= 2;
  capacity_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(capacity, kCap));
  const std::uint32_t block_size = ByteSet::kHeaderSize + capacity_;
  block_ =
      static_cast<std::uint8_t*>(block_ ? mem_realloc(block_, block_size) : mem_alloc(block_size));
}
