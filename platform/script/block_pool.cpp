#include "platform/script/block_pool.h"

#include <cstdlib>
#include <mutex>

#if defined(__SANITIZE_ADDRESS__)
#define BLOCK_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BLOCK_POOL_ASAN 1
#endif
#endif

#if defined(BLOCK_POOL_ASAN)
#include <sanitizer/asan_interface.h>
#define POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define POISON(address, size) ((void)(address), (void)(size))
#define UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace {

// Chunks kept for the next engine, poisoned while they wait. The reserve is never destroyed, so
// an engine that ends while the process exits still finds it.
struct ChunkReserve {
  std::mutex mutex;
  std::vector<void*> chunks;
};

ChunkReserve& reserve() {
  static ChunkReserve& kept = *new ChunkReserve;
  return kept;
}

void* reserved_or_new_chunk() {
  {
    ChunkReserve& kept = reserve();
    const std::lock_guard lock(kept.mutex);
    if (!kept.chunks.empty()) {
      void* chunk = kept.chunks.back();
      kept.chunks.pop_back();
      return chunk;
    }
  }
  void* chunk = std::malloc(BlockPool::kChunkSize);
  if (chunk != nullptr) POISON(chunk, BlockPool::kChunkSize);
  return chunk;
}

}  // namespace

BlockPool::~BlockPool() {
  ChunkReserve& kept = reserve();
  const std::lock_guard lock(kept.mutex);
  for (void* chunk : chunks_) {
    if (kept.chunks.size() < kReservedChunks) {
      POISON(chunk, kChunkSize);
      kept.chunks.push_back(chunk);
    } else {
      UNPOISON(chunk, kChunkSize);
      std::free(chunk);
    }
  }
}

void* BlockPool::take(std::size_t size) {
  const std::size_t index = class_of(size);
  const std::size_t bytes = (index + 1) * kGranule;
  if (FreeBlock* block = free_[index]) {
    UNPOISON(block, bytes);
    free_[index] = block->next;
    return block;
  }
  return carve(bytes);
}

void BlockPool::give_back(void* block, std::size_t size) {
  const std::size_t index = class_of(size);
  auto* freed = static_cast<FreeBlock*>(block);
  freed->next = free_[index];
  free_[index] = freed;
  POISON(block, (index + 1) * kGranule);
}

void* BlockPool::carve(std::size_t bytes) {
  if (static_cast<std::size_t>(limit_ - cursor_) < bytes) {
    void* chunk = reserved_or_new_chunk();
    if (chunk == nullptr) return nullptr;
    chunks_.push_back(chunk);
    cursor_ = static_cast<char*>(chunk);
    limit_ = cursor_ + kChunkSize;
  }
  void* block = cursor_;
  cursor_ += bytes;
  UNPOISON(block, bytes);
  return block;
}
