#include "runtime/runtime.h"

std::uint32_t type_size(TypeCode type) {
  switch (type) {
    case TypeCode::byte:
      return 1;
    case TypeCode::short_int:
      return 2;
    case TypeCode::logical:
    case TypeCode::dword:
    case TypeCode::integer:
    case TypeCode::float32:
      return 4;
    case TypeCode::date_time:
    case TypeCode::long_int:
    case TypeCode::float64:
      return 8;
    case TypeCode::text:
    case TypeCode::byte_set:
      return sizeof(void*);  // the owning pointer, as wide as an array element of these types
    default:
      return 0;
  }
}

std::uint32_t element_width(TypeCode element) {
  if (element == TypeCode::object || element == TypeCode::variant) return sizeof(void*);
  return type_size(element);
}
