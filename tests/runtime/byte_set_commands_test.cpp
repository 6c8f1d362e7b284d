#include "runtime/byte_set_commands.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "runtime/text_blocks.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(const ByteSet& set) {
  return {set.bytes().begin(), set.bytes().end()};
}

ByteSet byte_set(const Bytes& bytes) {
  return bytes_from_buffer(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

TEST(ByteSetTest, LengthLeftBlankAndAddress) {
  const ByteSet set = byte_set({1, 2, 3});
  EXPECT_EQ(bytes_len(set.bytes()), 3);
  EXPECT_EQ(bytes_len(byte_set_bytes(&kEmptyByteSet)), 0);
  EXPECT_EQ(bytes_of(bytes_left(set.bytes(), 2)), (Bytes{1, 2}));
  EXPECT_EQ(bytes_of(bytes_left(set.bytes(), 9)), (Bytes{1, 2, 3}));
  EXPECT_TRUE(bytes_left(set.bytes(), 0).get() == nullptr);
  EXPECT_EQ(bytes_of(bytes_blank(3)), (Bytes{0, 0, 0}));
  EXPECT_TRUE(bytes_blank(0).get() == nullptr);

  const std::uint8_t readable[] = {7, 8, 9};
  EXPECT_EQ(bytes_of(bytes_from_address(readable, 3)), (Bytes{7, 8, 9}));
  EXPECT_TRUE(bytes_from_address(nullptr, 4).get() == nullptr);
  EXPECT_TRUE(bytes_from_address(reinterpret_cast<const void*>(0x10), 4).get() == nullptr);
}

TEST(ByteSetTest, ConcatOfOnlyEmptySetsIsNull) {
  const ByteSet a = byte_set({1, 2});
  const ByteSet b = byte_set({3});
  EXPECT_EQ(bytes_of(bytes_concat({a.bytes(), {}, b.bytes()})), (Bytes{1, 2, 3}));
  EXPECT_TRUE(bytes_concat({ByteView(), byte_set_bytes(&kEmptyByteSet)}).get() == nullptr);
}

TEST(ByteSetDeathTest, LengthBeyondTheLimitReportsOutOfMemory) {
  // The length is checked before anything is read, so a buffer that only claims it is enough.
  const std::uint8_t byte = 1;
  EXPECT_EXIT((void)bytes_from_buffer(&byte, 0xFFFFFFF8), testing::ExitedWithCode(0),
              "error: \xE5\x86\x85\xE5\xAD\x98\xE4\xB8\x8D\xE8\xB6\xB3");
}

TEST(ToBytesTest, ScalarsGiveTheirStoredBytes) {
  EXPECT_EQ(bytes_of(to_bytes(TypedArg::integer(0x04030201))), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(bytes_of(to_bytes(TypedArg::short_int(-2))), (Bytes{0xFE, 0xFF}));
  EXPECT_EQ(bytes_of(to_bytes(TypedArg::long_int(-1))), Bytes(8, 0xFF));
}

TEST(ToBytesTest, TextsByteSetsArraysAndTheRest) {
  EXPECT_EQ(bytes_of(to_bytes(TypedArg::text("ab"))), (Bytes{'a', 'b'}));
  EXPECT_TRUE(to_bytes(TypedArg::text(nullptr)).get() == nullptr);
  const ByteSet set = byte_set({5, 6});
  ByteSet copy = to_bytes(set.arg());
  EXPECT_EQ(bytes_of(copy), (Bytes{5, 6}));
  EXPECT_NE(copy.get(), set.get());

  const std::int32_t numbers[] = {1, 2, 0x01020304};  // dimension count 1, size 2, two shorts
  EXPECT_EQ(bytes_of(to_bytes(TypedArg::array(TypeCode::short_int, numbers))), (Bytes{4, 3, 2, 1}));
  EXPECT_TRUE(to_bytes(TypedArg::array(TypeCode::text, numbers)).get() == nullptr);
  EXPECT_TRUE(to_bytes(TypedArg::with_words(TypeCode::object, 1)).get() == nullptr);
  EXPECT_TRUE(to_bytes(TypedArg{}).get() == nullptr);
  EXPECT_TRUE(to_bytes(TypedArg::with_words(TypeCode{0x80000007}, 1)).get() == nullptr);
}

ReadValue read(const ByteSet& set, std::int32_t type, TypedArg position = {}) {
  const std::array args = {set.arg(), TypedArg::integer(type), position};
  return bytes_read(args);
}

TEST(BytesReadTest, TypesAtPositions) {
  const ByteSet set = byte_set({'h', 'i', 0, 'x', 0x01, 0x02, 0x03, 0x04});
  const ReadValue text = read(set, 10);
  EXPECT_EQ(text.type(), TypeCode::text);
  EXPECT_EQ(text.text(), "hi");
  EXPECT_EQ(std::string_view(text.arg().pointer_as<const char>()), "hi");
  ReadValue handed_over = read(set, 10);
  const Text owned = handed_over.release_text();
  EXPECT_EQ(owned.view(), "hi");
  EXPECT_NE(handed_over.arg().pointer_as<const char>(), owned.get())
      << "no view of a block it gave away";
  EXPECT_EQ(read(set, 3, TypedArg::integer(5)).int32(), 0x04030201);
  EXPECT_EQ(read(set, 2, TypedArg::integer(5)).int32(), 0x0201);
  EXPECT_EQ(read(set, 1, TypedArg::integer(8)).int32(), 4);
  EXPECT_EQ(read(set, 3, TypedArg::integer(7)).int32(), 0x0403) << "what remains, zero-extended";
  EXPECT_EQ(read(set, 4, TypedArg::integer(5)).int64(), 0x04030201);
  EXPECT_TRUE(read(set, 7, TypedArg::integer(8)).logical());
  EXPECT_EQ(read(set, 3, TypedArg::integer(9)).int32(), 0) << "past the end";
  EXPECT_EQ(read(set, 3, TypedArg::integer(0)).int32(), 0) << "before the start";
  EXPECT_TRUE(read(set, 10, TypedArg::integer(3)).text().empty());

  const ByteSet real = bytes_from_buffer("\0\0\0\0\0\0\xF8\x3F", 8);
  EXPECT_EQ(read(real, 6).real(), 1.5);
  EXPECT_EQ(read(real, 5, TypedArg::integer(5)).float32(), 1.9375f);
}

TEST(BytesReadTest, PositionVariableMovesAndEndsAtMinusOne) {
  const ByteSet set = byte_set({'a', 'b', 0, 0, 7, 0, 0, 0});
  std::int32_t position = 1;
  const TypedArg variable = TypedArg::reference(TypeCode::integer, &position);
  EXPECT_EQ(read(set, 10, variable).text(), "ab");
  EXPECT_EQ(position, 4);
  EXPECT_TRUE(read(set, 10, variable).text().empty());
  EXPECT_EQ(position, 5) << "an empty text moves past its terminator";
  EXPECT_EQ(read(set, 3, variable).int32(), 7);
  EXPECT_EQ(position, -1) << "the read ended on the last byte";
  EXPECT_EQ(read(set, 3, variable).int32(), 0);
  EXPECT_EQ(position, -1);

  position = 0x7FFFFFFF;
  EXPECT_EQ(read(set, 4, variable).int64(), 0);
  EXPECT_EQ(position, -1);
}

TEST(BytesReadTest, NullByteSetGivesZeroAndLeavesThePositionAlone) {
  std::int32_t position = 3;
  const std::array args = {TypedArg::with_pointer(TypeCode::byte_set, nullptr),
                           TypedArg::integer(3), TypedArg::reference(TypeCode::integer, &position)};
  EXPECT_EQ(bytes_read(args).int32(), 0);
  EXPECT_EQ(position, 3);
  // The static empty set is a set without bytes: the position falls off it.
  EXPECT_EQ(read(ByteSet(), 3, TypedArg::reference(TypeCode::integer, &position)).int32(), 0);
  EXPECT_EQ(position, -1);
}

TEST(BytesReadDeathTest, TypeOutsideOneToTenIsFatal) {
  const ByteSet set = byte_set({1});
  EXPECT_EXIT((void)read(set, 0), testing::ExitedWithCode(0), "error number is 100\\.");
  EXPECT_EXIT((void)read(set, 11), testing::ExitedWithCode(0), "error number is 100\\.");
}

}  // namespace
