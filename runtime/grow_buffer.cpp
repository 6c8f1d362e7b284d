#include "runtime/grow_buffer.h"

#include <cstdlib>
#include <cstring>
#include <limits>

GrowBuffer::~GrowBuffer() {
  std::free(data_);
}

bool GrowBuffer::grow_to(std::uint32_t needed) {
  if (needed == 0) {
    std::free(data_);
    data_ = nullptr;
    capacity_ = used_ = 0;
    return true;
  }
  if (data_ != nullptr && capacity_ >= needed && capacity_ - needed <= kMaxExcess) return true;
  if (needed > std::numeric_limits<std::uint32_t>::max() - kSlack) return false;
  const std::uint32_t capacity = needed + kSlack;
  void* block = std::realloc(data_, capacity);
  if (block == nullptr) return false;
  data_ = static_cast<std::uint8_t*>(block);
  capacity_ = capacity;
  if (used_ > needed) used_ = needed;
  return true;
}

bool GrowBuffer::append(const void* bytes, std::uint32_t count) {
  if (count == 0) return true;
  if (count > capacity_ - used_) {
    if (count > std::numeric_limits<std::uint32_t>::max() - used_) return false;
    if (!grow_to(used_ + count)) return false;
  }
  std::memcpy(data_ + used_, bytes, count);
  used_ += count;
  return true;
}
