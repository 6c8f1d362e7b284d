#include "runtime/memory.h"

#include <atomic>
#include <cstring>

#include "platform/com/apartment.h"
#include "platform/console/message_box.h"
#include "platform/heap/heap.h"
#include "platform/installed_components.h"

namespace {

HANDLE heap = nullptr;
ModuleImage image;  // size 0 until found

// Pages on which mem_alloc has handed out blocks, in a direct-mapped table that covers 256 MiB of
// contiguous heap. The first 8 bytes of an aligned block on such a page are readable, so releasing
// it needs no readability probe, which costs a system call. Only small blocks are remembered: the
// allocator maps a large block on pages of its own and unmaps them when it is freed, after which
// the same addresses may be mapped again as anything, unreadable memory included. Small blocks
// live in the allocator's arena, whose pages stay mapped. Relaxed atomics keep a stray allocation
// from another thread harmless.
class HeapPages {
 public:
  static constexpr std::uint32_t kSmallBlockLimit = 64 * 1024;

  void remember(const void* block, std::uint32_t size) {
    if (size >= kSmallBlockLimit) return;
    const std::uintptr_t page = page_of(block);
    slots_[page % kSlots].store(page, std::memory_order_relaxed);
  }
  [[nodiscard]] bool holds(const void* block) const {
    const std::uintptr_t page = page_of(block);
    return slots_[page % kSlots].load(std::memory_order_relaxed) == page &&
           reinterpret_cast<std::uintptr_t>(block) % 8 == 0;
  }

 private:
  static constexpr std::size_t kSlots = 1 << 16;
  static std::uintptr_t page_of(const void* block) {
    return reinterpret_cast<std::uintptr_t>(block) >> 12;
  }
  std::atomic<std::uintptr_t> slots_[kSlots] = {};
};
HeapPages heap_pages;

HANDLE process_heap() {
  if (heap == nullptr) heap = GetProcessHeap();
  return heap;
}

const ModuleImage& module_image() {
  if (image.size == 0) image = GetModuleImage();
  return image;
}

}  // namespace

void report_out_of_memory() {
  MessageBoxA(nullptr, "内存不足", "error", MB_ICONERROR);
  exit_program(0);
}

void runtime_init() {
  process_heap();
  register_installed_components();
  CoInitialize(nullptr);
}

void* mem_alloc(std::uint32_t size) {
  void* block = HeapAlloc(process_heap(), HEAP_ZERO_MEMORY, size);
  if (block == nullptr) report_out_of_memory();
  heap_pages.remember(block, size);
  return block;
}

// A failed reallocation ends in the out-of-memory report, like a failed allocation: its callers
// do not test for null.
void* mem_realloc(void* block, std::uint32_t size) {
  if (block == nullptr) return mem_alloc(size);
  // A large block shrunk to a small size may keep its own pages, so only a block that came from
  // the arena is remembered again.
  const bool from_arena = heap_pages.holds(block);
  void* moved = HeapReAlloc(process_heap(), 0, block, size);
  if (moved == nullptr) report_out_of_memory();
  if (from_arena) heap_pages.remember(moved, size);
  return moved;
}

bool is_static_storage(const void* address) {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  const ModuleImage& range = module_image();
  return at >= range.base && at <= range.base + range.size;
}

void mem_free(void* block) {
  if (reinterpret_cast<std::uintptr_t>(block) < 0x10000) return;
  if (is_static_storage(block)) return;
  if (!heap_pages.holds(block) && IsBadReadPtr(block, 8)) return;
  HeapFree(process_heap(), 0, block);
}

void* ensure_private_array(std::uint32_t element_size, void** array_variable) {
  void* array = *array_variable;
  if (!is_static_storage(array)) return reinterpret_cast<void*>(1);
  std::int32_t dimensions;
  std::memcpy(&dimensions, array, sizeof dimensions);
  std::uint32_t elements = 1;
  for (std::int32_t d = 0; d < dimensions; ++d) {
    std::uint32_t size;
    std::memcpy(&size, static_cast<const char*>(array) + 4 + 4 * d, sizeof size);
    elements *= size;
  }
  const std::uint32_t header = 4 + 4 * static_cast<std::uint32_t>(dimensions > 0 ? dimensions : 0);
  const std::uint32_t length = element_size * elements + header;
  void* copy = mem_alloc(length);
  std::memcpy(copy, array, length);
  *array_variable = copy;
  return copy;
}
