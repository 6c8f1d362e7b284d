#include "runtime/result_size.h"

std::uint32_t checked_result_length(std::uint64_t length) {
  if (length > kMaxResultLength) report_out_of_memory();
  return static_cast<std::uint32_t>(length);
}
