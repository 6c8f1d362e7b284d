#include "runtime/memory.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>

#include <cstring>

#include "platform/com/apartment.h"

namespace {

struct ConstantArray {
  std::int32_t dimensions = 1;
  std::int32_t size = 3;
  std::int32_t elements[3] = {7, 8, 9};
};
const ConstantArray kConstantArray;

TEST(MemoryTest, AllocationsAreZeroFilledAndDistinct) {
  auto* a = static_cast<unsigned char*>(mem_alloc(64));
  void* empty1 = mem_alloc(0);
  void* empty2 = mem_alloc(0);
  for (int i = 0; i < 64; ++i)
    ASSERT_EQ(a[i], 0);
  EXPECT_NE(empty1, nullptr);
  EXPECT_NE(empty1, empty2);
  mem_free(a);
  mem_free(empty1);
  mem_free(empty2);
}

TEST(MemoryTest, ReallocationKeepsContentAndNullAllocates) {
  auto* fresh = static_cast<unsigned char*>(mem_realloc(nullptr, 16));
  for (int i = 0; i < 16; ++i)
    ASSERT_EQ(fresh[i], 0);
  std::memcpy(fresh, "0123456789abcdef", 16);
  auto* grown = static_cast<char*>(mem_realloc(fresh, 4096));
  EXPECT_EQ(std::memcmp(grown, "0123456789abcdef", 16), 0);
  mem_free(grown);
}

TEST(MemoryTest, FreeIgnoresWhatIsNotAHeapBlock) {
  mem_free(nullptr);
  mem_free(reinterpret_cast<void*>(1));
  mem_free(reinterpret_cast<void*>(0xFFFF));
  mem_free(const_cast<char*>("a text literal"));
  mem_free(const_cast<ConstantArray*>(&kConstantArray));
  void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(page, MAP_FAILED);
  mem_free(page);  // mapped but unreadable
  munmap(page, 4096);
  mem_free(page);  // unmapped
}

// A large block gets pages of its own, which go back to the system when it is freed; the same
// addresses may then be mapped again as memory that cannot be read.
TEST(MemoryTest, FreeIgnoresUnreadableMemoryWhereALargeBlockWas) {
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);  // no raising of the threshold as large blocks go
  for (bool shrunk : {false, true}) {
    void* large = mem_alloc(1u << 20);
    if (shrunk) large = mem_realloc(large, 64);  // a shrunk large block keeps pages of its own
    const auto page = reinterpret_cast<std::uintptr_t>(large) & ~std::uintptr_t{0xFFF};
    mem_free(large);
    void* remapped = mmap(reinterpret_cast<void*>(page), 4096, PROT_NONE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (remapped == MAP_FAILED) GTEST_SKIP() << "the allocator kept the pages";
    mem_free(large);
    munmap(remapped, 4096);
  }
}

TEST(MemoryTest, EnsurePrivateArrayCopiesOnlyConstants) {
  void* variable = const_cast<ConstantArray*>(&kConstantArray);
  void* copy = ensure_private_array(4, &variable);
  ASSERT_EQ(copy, variable);
  ASSERT_NE(variable, &kConstantArray);
  EXPECT_EQ(std::memcmp(variable, &kConstantArray, sizeof kConstantArray), 0);

  static_cast<ConstantArray*>(variable)->elements[0] = 42;
  EXPECT_EQ(kConstantArray.elements[0], 7) << "the constant is untouched";
  EXPECT_EQ(ensure_private_array(4, &variable), reinterpret_cast<void*>(1))
      << "already on the heap";
  mem_free(variable);
}

TEST(MemoryTest, RuntimeInitEntersTheApartment) {
  const std::uint32_t before = apartment_entries();
  runtime_init();
  EXPECT_EQ(apartment_entries(), before + 1);
  CoUninitialize();
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

void allocate_beyond_the_address_space_limit() {
  const rlimit limit{256u << 20, 256u << 20};
  setrlimit(RLIMIT_AS, &limit);
  [[maybe_unused]] void* block = mem_alloc(1u << 30);
}

TEST(MemoryDeathTest, ExhaustedHeapReportsOutOfMemoryAndExitsWithZero) {
  if (kSanitized) GTEST_SKIP() << "the sanitizer's allocator reserves more than any limit allows";
  EXPECT_EXIT(allocate_beyond_the_address_space_limit(), testing::ExitedWithCode(0),
              "error: \xE5\x86\x85\xE5\xAD\x98\xE4\xB8\x8D\xE8\xB6\xB3");
}

}  // namespace
