// array_count and array_append.
#include "runtime/array_commands.h"

#include <cstring>

#include "runtime/result_size.h"
#include "runtime/text_blocks.h"

namespace {

constexpr std::uint32_t kOneDimensionHeader = 8;  // dimension count 1, one size

}  // namespace

std::uint32_t array_count(const void* block) {
  return array_elements(block).count;
}

void array_append(void** array_variable, std::uint32_t width, const void* element) {
  (void)ensure_private_array(width, array_variable);
  auto* block = static_cast<std::uint8_t*>(*array_variable);
  const ArrayElements old = array_elements(block);
  const std::size_t old_header = block ? static_cast<std::size_t>(old.start - block) : 0;
  const std::size_t stored = std::size_t{old.count} * width;
  const std::uint32_t size =
      checked_result_length(kOneDimensionHeader + (std::uint64_t{old.count} + 1) * width);
  // The elements move to just after a one-dimensional header: down before the block shrinks,
  // up after it grows.
  if (old_header > kOneDimensionHeader) {
    std::memmove(block + kOneDimensionHeader, block + old_header, stored);
  }
  block = static_cast<std::uint8_t*>(mem_realloc(block, size));
  if (old_header < kOneDimensionHeader && stored != 0) {
    std::memmove(block + kOneDimensionHeader, block + old_header, stored);
  }
  const std::int32_t header[2] = {1, static_cast<std::int32_t>(old.count + 1)};
  std::memcpy(block, header, sizeof header);
  std::memcpy(block + kOneDimensionHeader + stored, element, width);
  *array_variable = block;
}

void array_append(ValueArray& array, std::string_view text) {
  if (array.element_type() != TypeCode::text) fatal_error(kTypeMismatch);
  char* copy = text_from_buffer(text).release();
  array_append(array.variable(), sizeof copy, &copy);
}
