#include <cstring>

#include "runtime/runtime.h"

namespace {

std::int32_t read_word(const std::uint8_t* at) {
  std::int32_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

bool holds_owned_blocks(TypeCode element) {
  return element == TypeCode::text || element == TypeCode::byte_set;
}

}  // namespace

ArrayElements array_elements(const void* block) noexcept {
  if (block == nullptr) return {};
  auto* at = static_cast<std::uint8_t*>(const_cast<void*>(block));
  const std::int32_t dimensions = read_word(at);
  std::uint32_t count = 1;
  for (std::int32_t d = 0; d < dimensions; ++d) {
    count *= static_cast<std::uint32_t>(read_word(at + 4 + 4 * d));
  }
  return {at + 4 + 4 * (dimensions > 0 ? dimensions : 0), count};
}

std::uint32_t ValueArray::count() const noexcept {
  return array_elements(block_).count;
}

std::uint8_t* ValueArray::element(std::int32_t index) const {
  if (index < 1) fatal_error(kIndexBelowOne);
  const ArrayElements elements = array_elements(block_);
  if (static_cast<std::uint32_t>(index) > elements.count) fatal_error(kIndexAboveCount);
  return elements.start + static_cast<std::size_t>(index - 1) * element_width(element_);
}

std::string_view ValueArray::text_at(std::int32_t index) const& {
  const char* text;
  std::memcpy(&text, element(index), sizeof text);
  return text ? std::string_view(text) : std::string_view();
}

void ValueArray::reset(void* block) noexcept {
  std::uint8_t* old = std::exchange(block_, static_cast<std::uint8_t*>(block));
  if (old == nullptr || is_static_storage(old)) return;
  if (holds_owned_blocks(element_)) {
    const ArrayElements elements = array_elements(old);
    for (std::uint32_t i = 0; i < elements.count; ++i) {
      void* owned;
      std::memcpy(&owned, elements.start + i * sizeof owned, sizeof owned);
      mem_free(owned);
    }
  }
  mem_free(old);
}
