#include "runtime/value_to_text.h"

#include <cstdio>
#include <cstring>

#include "runtime/date_time.h"
#include "runtime/text_blocks.h"

namespace {

using WorkBuffer = char[kWorkBufferSize];

// Writes `value` in exponent form with six decimals, the mantissa trimmed like a fixed-point text.
void format_exponent(WorkBuffer& buffer, double value) {
  std::snprintf(buffer, kWorkBufferSize, "%.6e", value);
  char* exponent = std::strchr(buffer, 'e');
  if (exponent == nullptr) return;
  char* mantissa_end = exponent;
  while (mantissa_end[-1] == '0')
    --mantissa_end;
  if (mantissa_end[-1] == '.') --mantissa_end;
  std::memmove(mantissa_end, exponent, std::strlen(exponent) + 1);
}

// "%lf" and trimmed; a form too long for the buffer falls back to the exponent form.
void format_real(WorkBuffer& buffer, double value) {
  const int length = std::snprintf(buffer, kWorkBufferSize, "%lf", value);
  if (length < 0 || static_cast<std::size_t>(length) >= kWorkBufferSize) {
    format_exponent(buffer, value);
    return;
  }
  trim_fraction_zeros(buffer);  // "inf" and "nan" have no point and stay as they are
}

std::int32_t low_short(const TypedArg& value) {
  return static_cast<std::int16_t>(value.word1() & 0xFFFF);
}

// Builds the text of a logical, date-time or numeric value. False for every other TypeCode.
bool format_scalar(WorkBuffer& buffer, const TypedArg& value) {
  switch (value.type) {
    case TypeCode::logical:
      std::snprintf(buffer, kWorkBufferSize, "%s", value.word1() != 0 ? "真" : "假");
      return true;
    case TypeCode::date_time:
      date_time_to_text(buffer, value.value.real);
      return true;
    case TypeCode::dword:
    case TypeCode::integer:
      std::snprintf(buffer, kWorkBufferSize, "%d", value.int32());
      return true;
    case TypeCode::byte:
      std::snprintf(buffer, kWorkBufferSize, "%u", value.word1() & 0xFF);
      return true;
    case TypeCode::short_int:
      std::snprintf(buffer, kWorkBufferSize, "%d", low_short(value));
      return true;
    case TypeCode::long_int:
      std::snprintf(buffer, kWorkBufferSize, "%lld", static_cast<long long>(value.value.int64));
      return true;
    case TypeCode::float32: {
      float single;
      std::memcpy(&single, &value.value.words[0], sizeof single);
      format_real(buffer, single);
      return true;
    }
    case TypeCode::float64:
      format_real(buffer, value.value.real);
      return true;
    default:
      return false;
  }
}

// The element size that an array of `element` is read with as characters; 0 when not converted.
std::uint32_t character_element_size(TypeCode element) {
  switch (element) {
    case TypeCode::byte:
      return 1;
    case TypeCode::short_int:
      return 2;
    case TypeCode::integer:
    case TypeCode::dword:
      return 4;
    case TypeCode::long_int:
      return 8;
    default:
      return 0;
  }
}

}  // namespace

Text value_to_text(const TypedArg& value) {
  if (is_array_or_reference(value.type)) {
    const std::uint32_t size = character_element_size(base_type(value.type));
    return size == 0 ? Text() : bytes_to_text(value.value.pointer, size);
  }
  if (value.type == TypeCode::text) return text_copy(value.pointer_as<const char>());
  if (value.type == TypeCode::byte_set) return bytes_to_text(value.value.pointer, 1);
  WorkBuffer buffer;
  if (!format_scalar(buffer, value)) return {};
  return text_copy(buffer);
}

std::string format_for_output(const TypedArg& value) {
  WorkBuffer buffer;
  if (is_array_or_reference(value.type) || !format_scalar(buffer, value)) return {};
  return buffer;
}

void trim_fraction_zeros(char* buffer) {
  if (std::strchr(buffer, '.') == nullptr) return;
  std::size_t length = std::strlen(buffer);
  while (buffer[length - 1] == '0')
    --length;
  if (buffer[length - 1] == '.') --length;
  buffer[length] = '\0';
}

Text bytes_to_text(const void* block, std::uint32_t element_size) {
  const ArrayElements elements = array_elements(block);
  if (elements.count == 0) return {};
  const std::size_t total = std::size_t{elements.count} * element_size;
  const void* zero = std::memchr(elements.start, 0, total);
  const std::size_t length =
      zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - elements.start)
           : total;
  return text_from_buffer(elements.start, static_cast<std::int32_t>(length));
}
