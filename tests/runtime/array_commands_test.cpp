#include "runtime/array_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "runtime/number_commands.h"

namespace {

std::int32_t int_at(const ValueArray& array, std::int32_t index) {
  std::int32_t value;
  std::memcpy(&value, array.element(index), sizeof value);
  return value;
}

TEST(ArrayAppendTest, TextElementsAreOwnCopies) {
  ValueArray names(TypeCode::text);
  std::string first = "first";
  array_append(names, first);
  array_append(names, "");
  array_append(names, "\xB0\xA1");
  first[0] = 'F';
  ASSERT_EQ(names.count(), 3u);
  EXPECT_EQ(names.text_at(1), "first");
  EXPECT_EQ(names.text_at(2), "");
  EXPECT_EQ(names.text_at(3), "\xB0\xA1");
}

TEST(ArrayAppendTest, ConstantArrayIsCopiedBeforeItGrows) {
  void* variable = const_cast<EmptyByteSetBlock*>(&kEmptyArray);
  const std::int32_t value = 42;
  array_append(&variable, sizeof value, &value);
  ValueArray array = ValueArray::adopt(TypeCode::integer, variable);
  EXPECT_NE(variable, static_cast<const void*>(&kEmptyArray));
  EXPECT_EQ(kEmptyArray.length, 0);
  ASSERT_EQ(array.count(), 1u);
  EXPECT_EQ(int_at(array, 1), 42);
}

TEST(ArrayAppendTest, SeveralDimensionsBecomeOne) {
  // Two dimensions of 2 and 3, elements 1 to 6.
  const std::int32_t block[] = {2, 2, 3, 1, 2, 3, 4, 5, 6};
  void* heap = mem_alloc(sizeof block);
  std::memcpy(heap, block, sizeof block);
  ValueArray array = ValueArray::adopt(TypeCode::integer, heap);
  array_append(array, std::int32_t{7});
  ASSERT_EQ(array.count(), 7u);
  std::int32_t dimensions;
  std::memcpy(&dimensions, array.get(), sizeof dimensions);
  EXPECT_EQ(dimensions, 1);
  for (std::int32_t i = 1; i <= 7; ++i)
    EXPECT_EQ(int_at(array, i), i);
}

TEST(ArrayAppendDeathTest, WrongElementsAndIndexesAreFatal) {
  ValueArray numbers(TypeCode::integer);
  array_append(numbers, std::int32_t{1});
  EXPECT_EXIT(array_append(numbers, "text"), testing::ExitedWithCode(0), "error number is 5\\.");
  EXPECT_EXIT(array_append(numbers, 1.5), testing::ExitedWithCode(0), "error number is 5\\.");
  // An 8-byte number must not land in an array of owning pointers, which would free it.
  ValueArray texts(TypeCode::text);
  EXPECT_EXIT(array_append(texts, std::int64_t{0x123456789}), testing::ExitedWithCode(0),
              "error number is 5\\.");
  EXPECT_EXIT(array_append(texts, 2.5), testing::ExitedWithCode(0), "error number is 5\\.");
  EXPECT_EXIT((void)numbers.element(0), testing::ExitedWithCode(0), "error number is 4\\.");
  EXPECT_EXIT((void)numbers.element(2), testing::ExitedWithCode(0), "error number is 1\\.");
}

TEST(NumberCommandsTest, BitOrAndTruncation) {
  EXPECT_EQ(bit_or({1, 2, 4, 1}), 7);
  EXPECT_EQ(bit_or({-2147483647 - 1, 1}), -2147483647);
  EXPECT_EQ(double_to_int(-2.7), -2);
  EXPECT_EQ(static_cast<std::int32_t>(double_to_int(4294967297.0)), 1) << "low 32 bits";
  EXPECT_EQ(double_to_int(1e30), INT64_MIN);
  EXPECT_EQ(double_to_int(std::nan("")), INT64_MIN);
}

}  // namespace
