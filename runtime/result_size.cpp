#include "runtime/result_size.h"

#include "platform/console/message_box.h"
#include "runtime/memory.h"

std::uint32_t checked_result_length(std::uint64_t length) {
  if (length > kMaxResultLength) exit_out_of_memory();
  return static_cast<std::uint32_t>(length);
}

void exit_out_of_memory() {
  MessageBoxA(nullptr, "内存不足", "error", MB_ICONERROR);
  exit_program(0);
}
