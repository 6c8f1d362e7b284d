#include "platform/heap/heap.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>

namespace {

const char kLiteral[] = "static storage";

TEST(HeapTest, ZeroSizeAllocationsAreDistinctBlocks) {
  void* a = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 0);
  void* b = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 0);
  ASSERT_NE(a, nullptr);
  EXPECT_NE(a, b);
  HeapFree(GetProcessHeap(), 0, a);
  HeapFree(GetProcessHeap(), 0, b);
}

TEST(HeapTest, ReallocationRefusesZeroFilling) {
  void* block = HeapAlloc(GetProcessHeap(), 0, 16);
  EXPECT_EQ(HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, 32), nullptr);
  HeapFree(GetProcessHeap(), 0, block);
}

TEST(HeapTest, IsBadReadPtrTellsMappedFromUnmappedMemory) {
  EXPECT_FALSE(IsBadReadPtr(kLiteral, sizeof kLiteral));
  EXPECT_TRUE(IsBadReadPtr(nullptr, 1));
  EXPECT_FALSE(IsBadReadPtr(nullptr, 0));

  const long page = 4096;
  void* pages = mmap(nullptr, 2 * page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(pages, MAP_FAILED);
  auto* second = static_cast<char*>(pages) + page;
  ASSERT_EQ(munmap(second, page), 0);
  EXPECT_FALSE(IsBadReadPtr(pages, page));
  EXPECT_TRUE(IsBadReadPtr(second, 8));
  EXPECT_TRUE(IsBadReadPtr(second - 4, 8)) << "a range that runs into an unmapped page";
  munmap(pages, page);
}

TEST(HeapTest, ModuleImageCoversStaticDataButNotTheHeap) {
  const ModuleImage image = GetModuleImage();
  ASSERT_GT(image.size, 0u);
  const auto inside = [&](const void* p) {
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    return at >= image.base && at <= image.base + image.size;
  };
  static int zeroed_global;
  EXPECT_TRUE(inside(kLiteral));
  EXPECT_TRUE(inside(&zeroed_global));
  void* block = HeapAlloc(GetProcessHeap(), 0, 64);
  EXPECT_FALSE(inside(block));
  HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace
