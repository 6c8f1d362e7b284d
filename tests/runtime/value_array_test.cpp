#include <gtest/gtest.h>

#include <cstring>

#include "runtime/runtime.h"

namespace {

// A text array block of `count` elements, each a copy of `text` (null for an empty text).
ValueArray text_array(std::uint32_t count, const char* text) {
  auto* block = static_cast<std::uint8_t*>(mem_alloc(8 + 8 * count));
  std::int32_t header[2] = {1, static_cast<std::int32_t>(count)};
  std::memcpy(block, header, sizeof header);
  for (std::uint32_t i = 0; i < count; ++i) {
    char* element = nullptr;
    if (text != nullptr) {
      element = static_cast<char*>(mem_alloc(static_cast<std::uint32_t>(std::strlen(text)) + 1));
      std::strcpy(element, text);
    }
    std::memcpy(block + 8 + 8 * i, &element, sizeof element);
  }
  return ValueArray::adopt(TypeCode::text, block);
}

TEST(ValueArrayTest, ElementsAreCountedOverAllDimensions) {
  const std::int32_t two_by_three[] = {2, 2, 3, 0, 0, 0, 0, 0, 0};
  const ArrayElements elements = array_elements(two_by_three);
  EXPECT_EQ(elements.count, 6u);
  EXPECT_EQ(elements.start, reinterpret_cast<const std::uint8_t*>(two_by_three + 3));
  EXPECT_EQ(array_elements(nullptr).count, 0u);
  const std::int32_t byte_set[] = {1, 5, 0};
  EXPECT_EQ(array_elements(byte_set).count, 5u) << "a byte set reads as a one-dimensional array";
}

TEST(ValueArrayTest, TextElementsAreOwnedAndReadOneBased) {
  ValueArray array = text_array(3, "abc");
  EXPECT_EQ(array.count(), 3u);
  EXPECT_EQ(array.text_at(1), "abc");
  EXPECT_EQ(array.text_at(3), "abc");
  ValueArray nulls = text_array(2, nullptr);
  EXPECT_EQ(nulls.text_at(2), "");
  ValueArray moved = std::move(array);
  EXPECT_EQ(moved.count(), 3u);
  EXPECT_EQ(array.count(), 0u);  // NOLINT(bugprone-use-after-move): a moved-from array is empty
}

TEST(ValueArrayTest, EmptyArrayHandsOutTheStaticConstant) {
  ValueArray empty;
  EXPECT_EQ(empty.count(), 0u);
  EXPECT_EQ(array_elements(empty.block_or_empty()).count, 0u);
  EXPECT_TRUE(is_static_storage(empty.block_or_empty()));
}

TEST(ValueArrayDeathTest, IndexOutsideTheElementsIsFatal) {
  ValueArray array = text_array(2, "x");
  EXPECT_EXIT((void)array.element(0), testing::ExitedWithCode(0), "error number is 4\\.");
  EXPECT_EXIT((void)array.element(3), testing::ExitedWithCode(0), "error number is 1\\.");
}

}  // namespace
