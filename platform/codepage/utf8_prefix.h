// The well-formed start of a UTF-8 text, decoded by hand: the common case, which
// MultiByteToWideChar takes before it hands any ill-formed rest to ICU.
#pragma once

#include <cstddef>
#include <cstdint>

struct Utf8Prefix {
  std::size_t bytes_read = 0;  // the length of the well-formed start that was decoded
  std::size_t units = 0;       // the UTF-16 units it gave, written or counted
};

// Decodes `source` up to its first ill-formed sequence (a sequence cut off by the end counts as
// ill-formed). With a null `destination` it only counts; otherwise it also stops before a
// character whose units would not fit in `capacity`.
[[nodiscard]] Utf8Prefix decode_utf8_prefix(const std::uint8_t* source, std::size_t length,
                                            char16_t* destination, std::size_t capacity);
