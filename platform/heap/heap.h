// Stand-ins for the process heap and memory probes of kernel32.
//
// HeapAlloc, HeapReAlloc and HeapFree keep the Windows contracts over the C library's allocator:
// one process heap, HEAP_ZERO_MEMORY honoured, a zero-size request gives a distinct block, failure
// is a null result. IsBadReadPtr answers without touching the memory, so it is safe under any
// sanitizer. GetModuleImage replaces GetModuleHandleA(NULL) with the optional header's SizeOfImage:
// the address range that the main program's loaded segments cover.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/base/types.h"

inline constexpr std::uint32_t HEAP_ZERO_MEMORY = 0x00000008;

// HeapAlloc: a new block of `size` bytes, zero-filled with HEAP_ZERO_MEMORY; null on failure.
// HeapReAlloc: the block moved or resized; the grown part is zero-filled only with
// HEAP_ZERO_MEMORY (not supported here: the flag is refused with a null result); null on failure,
// leaving the old block valid. HeapFree: true when the block was released.
HANDLE GetProcessHeap();
void* HeapAlloc(HANDLE heap, std::uint32_t flags, std::size_t size);
void* HeapReAlloc(HANDLE heap, std::uint32_t flags, void* block, std::size_t size);
bool HeapFree(HANDLE heap, std::uint32_t flags, void* block);

// IsBadReadPtr: true when any of the `size` bytes at `address` cannot be read by this process.
bool IsBadReadPtr(const void* address, std::size_t size);

// The main program's loaded image: the lowest and highest address of its loaded segments.
struct ModuleImage {
  std::uintptr_t base = 0;
  std::uintptr_t size = 0;
};
ModuleImage GetModuleImage();
