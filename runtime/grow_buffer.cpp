#include "runtime/grow_buffer.h"

#include <cstring>
#include <limits>
#include <utility>

#include "platform/heap/heap.h"
#include "runtime/memory.h"

GrowBuffer::~GrowBuffer() {
  if (data_ != nullptr) HeapFree(GetProcessHeap(), 0, data_);
}

bool GrowBuffer::grow_to(std::uint32_t needed) {
  if (needed == 0) {
    if (data_ != nullptr) HeapFree(GetProcessHeap(), 0, data_);
    data_ = nullptr;
    capacity_ = used_ = 0;
    return true;
  }
  if (data_ != nullptr && capacity_ >= needed && capacity_ - needed <= kMaxExcess) return true;
  if (needed > std::numeric_limits<std::uint32_t>::max() - kSlack) return false;
  const std::uint32_t capacity = needed + kSlack;
  void* block = data_ ? HeapReAlloc(GetProcessHeap(), 0, data_, capacity)
                      : HeapAlloc(GetProcessHeap(), 0, capacity);
  if (block == nullptr) return false;
  data_ = static_cast<std::uint8_t*>(block);
  capacity_ = capacity;
  if (used_ > needed) used_ = needed;
  return true;
}

bool GrowBuffer::append_growing(const void* bytes, std::uint32_t count) {
  if (count > std::numeric_limits<std::uint32_t>::max() - used_) return false;
  if (!grow_to(used_ + count)) return false;
  std::memcpy(data_ + used_, bytes, count);
  used_ += count;
  return true;
}

void* GrowBuffer::release() {
  if (used_ != 0) (void)grow_to(used_);  // a failed trim keeps the larger block, which is fine
  capacity_ = used_ = 0;
  return std::exchange(data_, nullptr);
}

void* GrowBuffer::take_block() {
  if (used_ >= kCopyOutLimit) return release();
  void* block = mem_alloc(used_);
  if (used_ != 0) std::memcpy(block, data_, used_);
  (void)grow_to(0);
  return block;
}
