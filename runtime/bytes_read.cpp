// bytes_read: a typed value read from a byte set.
#include <array>
#include <cstring>

#include "runtime/byte_set_commands.h"
#include "runtime/text_blocks.h"

namespace {

struct ReadType {
  TypeCode code;
  std::uint32_t size;  // 0 for a text, which runs to a zero byte
};

// By type number 1 to 10.
constexpr std::array<ReadType, 10> kReadTypes = {{
    {TypeCode::byte, 1},
    {TypeCode::short_int, 2},
    {TypeCode::integer, 4},
    {TypeCode::long_int, 8},
    {TypeCode::float32, 4},
    {TypeCode::float64, 8},
    {TypeCode::logical, 4},
    {TypeCode::date_time, 8},
    {TypeCode::dword, 4},
    {TypeCode::text, 0},
}};

struct Position {
  std::int64_t offset = 0;           // 0-based; may lie outside the data
  std::int32_t* variable = nullptr;  // the caller's position variable, when one was passed
};

Position position_of(const TypedArg& argument) {
  if (argument.omitted()) return {};
  if (argument.type == reference_to(TypeCode::integer)) {
    auto* variable = argument.pointer_as<std::int32_t>();
    return {std::int64_t{*variable} - 1, variable};
  }
  return {std::int64_t{argument.int32()} - 1, nullptr};
}

ReadValue zero_value(const ReadType& type) {
  if (type.code == TypeCode::text) return ReadValue(Text());
  TypedArg zero;
  zero.type = type.code;
  return ReadValue(zero);
}

// The scalar at the start of `bytes`, from as many bytes as there are up to its size.
ReadValue scalar_from(const ReadType& type, ByteView bytes) {
  std::uint64_t raw = 0;
  std::memcpy(&raw, bytes.data(), std::min<std::size_t>(type.size, bytes.size()));
  if (type.code == TypeCode::logical) return ReadValue(TypedArg::logical(raw != 0));
  TypedArg value;
  std::memcpy(&value.value, &raw, sizeof raw);
  value.type = type.code;
  return ReadValue(value);
}

std::size_t text_length_in(ByteView bytes) {
  const void* zero = std::memchr(bytes.data(), 0, bytes.size());
  return zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - bytes.data())
              : bytes.size();
}

}  // namespace

float ReadValue::float32() const {
  float value;
  const std::uint32_t bits = arg_.word1();
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

ReadValue bytes_read(TypedArgs args) {
  const std::int32_t type_number = args.size() > 1 ? args[1].int32() : 0;
  if (type_number < 1 || type_number > static_cast<std::int32_t>(kReadTypes.size())) {
    fatal_error(kBadReadType);
  }
  const ReadType& type = kReadTypes[static_cast<std::size_t>(type_number) - 1];
  if (args.empty() || args[0].type != TypeCode::byte_set || args[0].value.pointer == nullptr) {
    return zero_value(type);
  }
  const ByteView bytes = byte_set_bytes(args[0].value.pointer);
  const Position position = position_of(args.size() > 2 ? args[2] : TypedArg{});
  if (position.offset < 0 || static_cast<std::uint64_t>(position.offset) >= bytes.size()) {
    if (position.variable) *position.variable = -1;
    return zero_value(type);
  }
  const ByteView rest = bytes.subspan(static_cast<std::size_t>(position.offset));
  std::size_t consumed = type.size;
  ReadValue value = zero_value(type);
  if (type.code == TypeCode::text) {
    const std::size_t length = text_length_in(rest);
    value = ReadValue(text_from_buffer(rest.data(), static_cast<std::int32_t>(length)));
    consumed = length + 1;
  } else {
    value = scalar_from(type, rest);
  }
  if (position.variable) {
    const std::int64_t next = position.offset + 1 + static_cast<std::int64_t>(consumed);
    *position.variable =
        next > static_cast<std::int64_t>(bytes.size()) ? -1 : static_cast<std::int32_t>(next);
  }
  return value;
}
