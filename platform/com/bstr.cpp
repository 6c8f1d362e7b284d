#include "platform/com/bstr.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kPrefixSize = sizeof(std::uint32_t);

std::uint32_t byte_length(BSTR text) {
  std::uint32_t length;
  std::memcpy(&length, reinterpret_cast<const char*>(text) - kPrefixSize, sizeof length);
  return length;
}

std::size_t length_of(const OLECHAR* text) {
  std::size_t length = 0;
  while (text[length] != u'\0')
    ++length;
  return length;
}

}  // namespace

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  return SysAllocStringLen(text, static_cast<std::uint32_t>(length_of(text)));
}

BSTR SysAllocStringLen(const OLECHAR* text, std::uint32_t length) {
  const std::size_t bytes = std::size_t{length} * sizeof(OLECHAR);
  if (bytes > 0xFFFFFFF0u) return nullptr;
  auto* block = static_cast<char*>(std::calloc(1, kPrefixSize + bytes + sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  const auto prefix = static_cast<std::uint32_t>(bytes);
  std::memcpy(block, &prefix, sizeof prefix);
  if (text != nullptr) std::memcpy(block + kPrefixSize, text, bytes);
  return reinterpret_cast<BSTR>(block + kPrefixSize);
}

std::uint32_t SysStringLen(BSTR text) {
  return text == nullptr ? 0 : static_cast<std::uint32_t>(byte_length(text) / sizeof(OLECHAR));
}

std::uint32_t SysStringByteLen(BSTR text) {
  return text == nullptr ? 0 : byte_length(text);
}

void SysFreeString(BSTR text) {
  if (text == nullptr) return;
  std::free(reinterpret_cast<char*>(text) - kPrefixSize);
}
