#include "runtime/text_blocks.h"

#include <cstring>

#include "runtime/result_size.h"

Text text_from_buffer(const void* buffer, std::int32_t count) {
  if (count < 1) return {};
  auto* block = static_cast<char*>(mem_alloc(static_cast<std::uint32_t>(count) + 1));
  std::memcpy(block, buffer, static_cast<std::size_t>(count));
  return Text::adopt(block);  // mem_alloc zero-filled the terminator
}

Text text_copy(const char* text) {
  return text ? text_from_buffer(text, static_cast<std::int32_t>(std::strlen(text))) : Text();
}

std::uint32_t text_size(const char* text) {
  return text ? static_cast<std::uint32_t>(std::strlen(text)) : 0;
}

Text text_concat(std::span<const std::string_view> pieces) {
  std::uint64_t total = 0;
  for (std::string_view piece : pieces)
    total += piece.size();
  auto* block = static_cast<char*>(mem_alloc(checked_result_length(total) + 1));
  char* at = block;
  for (std::string_view piece : pieces) {
    if (!piece.empty()) std::memcpy(at, piece.data(), piece.size());
    at += piece.size();
  }
  return Text::adopt(block);
}

ByteSet bytes_of_length(std::uint64_t length) {
  if (length == 0) return {};
  const std::uint32_t count = checked_result_length(length);
  auto* block = static_cast<std::uint8_t*>(mem_alloc(ByteSet::kHeaderSize + count));
  const std::int32_t header[2] = {1, static_cast<std::int32_t>(count)};
  std::memcpy(block, header, sizeof header);
  return ByteSet::adopt(block);
}

ByteSet bytes_from_buffer(const void* buffer, std::uint32_t count) {
  ByteSet set = bytes_of_length(count);
  if (count != 0) std::memcpy(set.mutable_bytes().data(), buffer, count);
  return set;
}
