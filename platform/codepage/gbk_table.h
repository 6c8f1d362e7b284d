// Code page 936 encoded through a table of every UTF-16 unit, read once from ICU's
// windows-936-2000 converter: the same bytes as converting with ICU, at one look-up per unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Encodes `units` into `destination` (with a null destination it only counts), each unit on its
// own: a character the code page lacks, and each unit of a surrogate pair, becomes "?". Returns
// the number of bytes written or needed; -1 when they do not fit in `capacity` or the table
// cannot be built.
[[nodiscard]] std::int64_t encode_gbk(std::u16string_view units, char* destination,
                                      std::size_t capacity);
