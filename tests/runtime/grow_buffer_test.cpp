#include "runtime/grow_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/memory.h"

namespace {

std::string_view content(const GrowBuffer& buffer) {
  return {reinterpret_cast<const char*>(buffer.data()), buffer.size()};
}

TEST(GrowBufferTest, GrowsToNeededPlusSlackAndShrinksWhenFarTooLarge) {
  GrowBuffer buffer;
  ASSERT_TRUE(buffer.grow_to(10));
  EXPECT_EQ(buffer.capacity(), 138u);
  const std::uint8_t* block = buffer.data();
  ASSERT_TRUE(buffer.grow_to(100));
  EXPECT_EQ(buffer.data(), block) << "kept: large enough and at most 256 bytes over";
  ASSERT_TRUE(buffer.grow_to(139));
  EXPECT_EQ(buffer.capacity(), 267u);
  ASSERT_TRUE(buffer.grow_to(11));
  EXPECT_EQ(buffer.capacity(), 267u) << "exactly 256 over still fits";
  ASSERT_TRUE(buffer.grow_to(10));
  EXPECT_EQ(buffer.capacity(), 138u) << "257 over shrinks";
  ASSERT_TRUE(buffer.grow_to(0));
  EXPECT_EQ(buffer.data(), nullptr);
}

TEST(GrowBufferTest, AppendsGrowOnlyWhenTheBytesDoNotFit) {
  GrowBuffer buffer;
  ASSERT_TRUE(buffer.grow_to(1000));
  EXPECT_TRUE(buffer.append("abc"));
  EXPECT_EQ(buffer.capacity(), 1128u) << "a small append keeps a block grown in advance";
  const std::string long_piece(1200, 'x');
  EXPECT_TRUE(buffer.append(long_piece));
  EXPECT_EQ(buffer.capacity(), 1203u + 128u);
  EXPECT_EQ(content(buffer), "abc" + long_piece);
  ASSERT_TRUE(buffer.grow_to(2));
  EXPECT_EQ(content(buffer), "ab") << "a smaller need drops the content beyond it";
}

TEST(GrowBufferTest, ReleaseHandsOverAHeapBlockTrimmedToItsContent) {
  GrowBuffer buffer;
  ASSERT_TRUE(buffer.grow_to(100000));
  ASSERT_TRUE(buffer.append(std::string_view("abc", 4)));
  void* block = buffer.release();
  EXPECT_EQ(buffer.data(), nullptr);
  EXPECT_STREQ(static_cast<const char*>(block), "abc");
  mem_free(block);  // a process-heap block like any from mem_alloc
}

TEST(GrowBufferTest, TakeBlockCopiesSmallContentsAndHandsOverLargeOnes) {
  GrowBuffer small;
  ASSERT_TRUE(small.append(std::string_view("xy", 3)));
  const std::uint8_t* own = small.data();
  void* copied = small.take_block();
  EXPECT_NE(copied, own);
  EXPECT_STREQ(static_cast<const char*>(copied), "xy");
  EXPECT_EQ(small.data(), nullptr);
  mem_free(copied);

  GrowBuffer large;
  ASSERT_TRUE(large.append(std::string(GrowBuffer::kCopyOutLimit, 'z')));
  own = large.data();
  void* handed = large.take_block();
  EXPECT_EQ(handed, own);
  mem_free(handed);
}

TEST(GrowBufferTest, FailedGrowthLeavesTheBufferAsItWas) {
  GrowBuffer buffer;
  ASSERT_TRUE(buffer.append("keep"));
  const std::uint32_t capacity = buffer.capacity();
  EXPECT_FALSE(buffer.grow_to(UINT32_MAX - 100));
  EXPECT_FALSE(buffer.append(buffer.data(), UINT32_MAX - 2));
  EXPECT_EQ(buffer.capacity(), capacity);
  EXPECT_EQ(content(buffer), "keep");
}

}  // namespace
