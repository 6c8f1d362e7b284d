#include "platform/heap/heap.h"

#include <link.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>

namespace {
// Any non-null value names the one process heap.
int process_heap_tag;
}  // namespace

HANDLE GetProcessHeap() {
  return &process_heap_tag;
}

void* HeapAlloc(HANDLE, std::uint32_t flags, std::size_t size) {
  const std::size_t bytes = std::max<std::size_t>(size, 1);  // size 0 still gives a distinct block
  return (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, bytes) : std::malloc(bytes);
}

void* HeapReAlloc(HANDLE, std::uint32_t flags, void* block, std::size_t size) {
  if (flags & HEAP_ZERO_MEMORY) return nullptr;  // the C allocator cannot zero the grown part
  return std::realloc(block, std::max<std::size_t>(size, 1));
}

bool HeapFree(HANDLE, std::uint32_t, void* block) {
  std::free(block);
  return true;
}

// Reading through process_vm_readv reports EFAULT for an unmapped or unreadable range instead of
// raising a signal.
bool IsBadReadPtr(const void* address, std::size_t size) {
  if (size == 0) return false;
  if (address == nullptr) return true;
  char probe[64];
  const auto* at = static_cast<const char*>(address);
  while (size > 0) {
    const std::size_t piece = std::min(size, sizeof probe);
    iovec local{probe, piece};
    iovec remote{const_cast<char*>(at), piece};
    const ssize_t read = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
    if (read != static_cast<ssize_t>(piece)) return true;
    at += piece;
    size -= piece;
  }
  return false;
}

ModuleImage GetModuleImage() {
  struct Range {
    std::uintptr_t low = std::numeric_limits<std::uintptr_t>::max();
    std::uintptr_t high = 0;
  } range;
  // The first object that dl_iterate_phdr reports is the main program.
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) {
        auto* found = static_cast<Range*>(data);
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          const auto& segment = info->dlpi_phdr[i];
          if (segment.p_type != PT_LOAD) continue;
          const std::uintptr_t start = info->dlpi_addr + segment.p_vaddr;
          found->low = std::min(found->low, start);
          found->high = std::max(found->high, start + segment.p_memsz);
        }
        return 1;
      },
      &range);
  if (range.high <= range.low) return {};
  return {range.low, range.high - range.low};
}
