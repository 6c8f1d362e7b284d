// bytes_len, bytes_left, bytes_blank, bytes_from_address, bytes_concat, to_bytes.
#include "runtime/byte_set_commands.h"

#include <algorithm>
#include <cstring>

#include "platform/heap/heap.h"
#include "runtime/result_size.h"
#include "runtime/text_blocks.h"

namespace {

bool is_numeric(TypeCode element) {
  switch (element) {
    case TypeCode::byte:
    case TypeCode::short_int:
    case TypeCode::integer:
    case TypeCode::long_int:
    case TypeCode::float32:
    case TypeCode::float64:
      return true;
    default:
      return false;
  }
}

bool is_builtin(TypeCode type) {
  return (static_cast<std::uint32_t>(type) & 0xC0000000) == 0x80000000;
}

ByteSet array_storage_bytes(const TypedArg& value) {
  const TypeCode element = base_type(value.type);
  if (!is_numeric(element)) return {};
  const ArrayElements elements = array_elements(value.value.pointer);
  const std::uint64_t length = std::uint64_t{elements.count} * element_width(element);
  return bytes_from_buffer(elements.start, checked_result_length(length));
}

}  // namespace

ByteView byte_set_bytes(const void* block) {
  if (block == nullptr) return {};
  return {static_cast<const std::uint8_t*>(block) + ByteSet::kHeaderSize,
          ByteSet::length_of(block)};
}

std::int32_t bytes_len(ByteView bytes) {
  return static_cast<std::int32_t>(bytes.size());
}

ByteSet bytes_left(ByteView bytes, std::int32_t n) {
  if (bytes.empty() || n < 1) return {};
  const std::size_t length = std::min(bytes.size(), static_cast<std::size_t>(n));
  return bytes_from_buffer(bytes.data(), static_cast<std::uint32_t>(length));
}

ByteSet bytes_blank(std::int32_t n) {
  if (n < 1) return {};
  return bytes_of_length(static_cast<std::uint64_t>(n));
}

ByteSet bytes_from_address(const void* address, std::int32_t n) {
  if (n < 1 || IsBadReadPtr(address, static_cast<std::size_t>(n))) return {};
  return bytes_from_buffer(address, static_cast<std::uint32_t>(n));
}

ByteSet bytes_concat(std::span<const ByteView> pieces) {
  std::uint64_t total = 0;
  for (ByteView piece : pieces)
    total += piece.size();
  if (total == 0) return {};
  ByteSet set = bytes_of_length(total);
  std::uint8_t* at = set.mutable_bytes().data();
  for (ByteView piece : pieces) {
    if (!piece.empty()) std::memcpy(at, piece.data(), piece.size());
    at += piece.size();
  }
  return set;
}

ByteSet to_bytes(const TypedArg& value) {
  if (is_array_or_reference(value.type)) return array_storage_bytes(value);
  if (!is_builtin(value.type)) return {};
  switch (value.type) {
    case TypeCode::text: {
      const char* text = value.pointer_as<const char>();
      return text ? bytes_from_buffer(text, text_size(text)) : ByteSet();
    }
    case TypeCode::byte_set: {
      const ByteView bytes = byte_set_bytes(value.value.pointer);
      return bytes_from_buffer(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }
    default:
      return bytes_from_buffer(&value.value, type_size(value.type));
  }
}
