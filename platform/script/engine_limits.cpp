#include "platform/script/engine_limits.h"

#include <cstdlib>
#include <cstring>

namespace {

// Each block carries its size in a header, so that frees and reallocations can be counted. The
// header keeps the alignment that malloc gives.
constexpr std::size_t kHeaderSize = alignof(std::max_align_t);

EngineLimits& limits_of(void* udata) {
  return *static_cast<EngineLimits*>(udata);
}

std::size_t size_of(void* block) {
  std::size_t size;
  std::memcpy(&size, static_cast<char*>(block) - kHeaderSize, sizeof size);
  return size;
}

void* header_of(void* block) {
  return static_cast<char*>(block) - kHeaderSize;
}

void* block_after(void* header, std::size_t size) {
  std::memcpy(header, &size, sizeof size);
  return static_cast<char*>(header) + kHeaderSize;
}

// Whether the heap may grow from `old_size` to `new_size` bytes; a refusal is remembered.
bool admit(EngineLimits& limits, std::size_t old_size, std::size_t new_size) {
  if (new_size <= old_size) return true;
  if (new_size - old_size > limits.cap - limits.used) {
    limits.refused = true;
    return false;
  }
  return true;
}

}  // namespace

void EngineLimits::start_call(std::chrono::milliseconds timeout) {
  deadline = Clock::now() + timeout;
  refused = false;
  timed_out = false;
}

void* engine_alloc(void* udata, std::size_t size) {
  EngineLimits& limits = limits_of(udata);
  if (!admit(limits, 0, size)) return nullptr;
  const std::size_t bytes = kHeaderSize + size;
  const bool pooled = bytes <= BlockPool::kLargestPooled;
  void* header = pooled ? limits.pool.take(bytes) : std::malloc(bytes);
  if (header == nullptr) return nullptr;
  if (!pooled) limits.large_blocks.insert(header);
  limits.used += size;
  return block_after(header, size);
}

void* engine_realloc(void* udata, void* block, std::size_t size) {
  if (block == nullptr) return engine_alloc(udata, size);
  if (size == 0) {
    engine_free(udata, block);
    return nullptr;
  }
  EngineLimits& limits = limits_of(udata);
  const std::size_t old_size = size_of(block);
  if (!admit(limits, old_size, size)) return nullptr;
  const std::size_t old_bytes = kHeaderSize + old_size;
  const std::size_t bytes = kHeaderSize + size;
  const bool was_pooled = old_bytes <= BlockPool::kLargestPooled;
  const bool pooled = bytes <= BlockPool::kLargestPooled;
  void* header = nullptr;
  if (!was_pooled && !pooled) {
    void* const old_header = header_of(block);
    limits.large_blocks.erase(old_header);
    header = std::realloc(old_header, bytes);
    limits.large_blocks.insert(header == nullptr ? old_header : header);
    if (header == nullptr) return nullptr;
  } else if (was_pooled && pooled && BlockPool::same_class(old_bytes, bytes)) {
    header = header_of(block);
  } else {
    void* moved = engine_alloc(udata, size);
    if (moved == nullptr) return nullptr;
    std::memcpy(moved, block, old_size < size ? old_size : size);
    engine_free(udata, block);
    return moved;
  }
  limits.used = limits.used - old_size + size;
  return block_after(header, size);
}

void engine_free(void* udata, void* block) {
  if (block == nullptr) return;
  EngineLimits& limits = limits_of(udata);
  const std::size_t size = size_of(block);
  limits.used -= size;
  const std::size_t bytes = kHeaderSize + size;
  if (bytes <= BlockPool::kLargestPooled) {
    limits.pool.give_back(header_of(block), bytes);
  } else {
    limits.large_blocks.erase(header_of(block));
    std::free(header_of(block));
  }
}

void EngineLimits::release_heap() {
  for (void* header : large_blocks)
    std::free(header);
  large_blocks.clear();
  used = 0;
}

extern "C" int script_engine_timed_out(void* heap_udata) {
  if (heap_udata == nullptr) return 0;  // a heap made without limits (duk_create_heap_default)
  EngineLimits& limits = limits_of(heap_udata);
  if (limits.deadline == EngineLimits::Clock::time_point::max()) return 0;
  if (!limits.timed_out && EngineLimits::Clock::now() >= limits.deadline) limits.timed_out = true;
  return limits.timed_out ? 1 : 0;
}
