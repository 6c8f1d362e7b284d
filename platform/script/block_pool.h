// BlockPool: the small blocks of one script engine's heap, carved from large chunks.
//
// An engine makes and frees thousands of small blocks (objects, strings, property tables) as it
// starts and ends, which the C allocator serves one at a time. The pool hands them out from
// 64 KB chunks by size class (multiples of 16 bytes up to kLargestPooled), keeps freed blocks on
// a list per class for reuse, and hands its chunks back all at once when it ends, after the heap
// has freed everything. Up to kReservedChunks chunks stay in a reserve of the process for the
// next engine: returned to the C allocator, they would be given back to the system and every
// new engine would fault its pages in again. Larger blocks go to the C allocator directly.
// Under AddressSanitizer, free and unused pool memory is poisoned, so the heap's use of a freed
// block is still caught.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

class BlockPool {
 public:
  static constexpr std::size_t kGranule = 16;
  static constexpr std::size_t kLargestPooled = 1024;
  static constexpr std::size_t kChunkSize = 64 * 1024;
  static constexpr std::size_t kReservedChunks = 64;  // 4 MB

  BlockPool() = default;
  BlockPool(const BlockPool&) = delete;
  BlockPool& operator=(const BlockPool&) = delete;
  ~BlockPool();

  // A block of at least `size` bytes (1 to kLargestPooled), aligned to kGranule; null when no
  // chunk can be had.
  [[nodiscard]] void* take(std::size_t size);
  // Returns a block of `size` bytes (as given to take) to its class.
  void give_back(void* block, std::size_t size);
  // Whether two sizes share a class, so a block of one serves the other.
  [[nodiscard]] static bool same_class(std::size_t a, std::size_t b) {
    return class_of(a) == class_of(b);
  }

 private:
  static constexpr std::size_t kClasses = kLargestPooled / kGranule;

  struct FreeBlock {
    FreeBlock* next;
  };

  [[nodiscard]] static std::size_t class_of(std::size_t size) { return (size - 1) / kGranule; }
  [[nodiscard]] void* carve(std::size_t bytes);

  std::array<FreeBlock*, kClasses> free_{};
  std::vector<void*> chunks_;
  char* cursor_ = nullptr;  // the unused rest of the newest chunk
  char* limit_ = nullptr;
};
