// The size limit of the blocks that the text and byte-set commands build.
#pragma once

#include <cstdint>

#include "runtime/memory.h"

// Lengths inside the system are 32-bit signed, so no Text or ByteSet can hold 2 GiB or more.
inline constexpr std::uint64_t kMaxResultLength = 0x7FFFFFFF - 16;

// `length` as a 32-bit length when it is at most kMaxResultLength. A longer result cannot be
// built: the process ends through the out-of-memory report, as it does when the heap is
// exhausted, rather than building a truncated block.
[[nodiscard]] std::uint32_t checked_result_length(std::uint64_t length);
