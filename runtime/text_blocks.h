// Making Text and ByteSet blocks from bytes: the inline operations every command builds its
// results with. Each result is one allocation, measured before it is made.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "runtime/runtime.h"

// A new Text of `count` bytes of `buffer` (copied as they are, NULs included) and a terminating
// NUL; null when `count` is below 1.
[[nodiscard]] Text text_from_buffer(const void* buffer, std::int32_t count);

// A new Text of the bytes of `bytes`; null when it is empty.
[[nodiscard]] inline Text text_from_buffer(std::string_view bytes) {
  return text_from_buffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

// A new copy of `text`; null for a null or empty text.
[[nodiscard]] Text text_copy(const char* text);

// The byte length of `text`; 0 for null.
[[nodiscard]] std::uint32_t text_size(const char* text);

// A new Text of the pieces' bytes in order. Never null: only empty pieces give a one-byte block
// holding the terminator.
//   text_concat({"cmd.exe /c ", command.view()})
[[nodiscard]] Text text_concat(std::span<const std::string_view> pieces);
[[nodiscard]] inline Text text_concat(std::initializer_list<std::string_view> pieces) {
  return text_concat(std::span<const std::string_view>(pieces.begin(), pieces.size()));
}

// A new ByteSet of `length` zero bytes, for the caller to fill through mutable_bytes(); null when
// `length` is 0. A length beyond the system's limit ends in the out-of-memory report.
[[nodiscard]] ByteSet bytes_of_length(std::uint64_t length);

// A new ByteSet of `count` bytes of `buffer`; null when `count` is 0.
[[nodiscard]] ByteSet bytes_from_buffer(const void* buffer, std::uint32_t count);
