// Array commands: counting and growing ValueArrays.
//
//   ValueArray names(TypeCode::text);
//   array_append(names, "first");
#pragma once

#include <concepts>
#include <cstdint>
#include <string_view>

#include "runtime/runtime.h"

// The element count of a ValueArray block: the product of its dimension sizes; 0 for null.
[[nodiscard]] std::uint32_t array_count(const void* block);

// Adds one element of `width` bytes, copied from `element`, at the end of the array held in
// `*array_variable`. A constant array is first copied to the heap; an array of several dimensions
// becomes one-dimensional, keeping its elements in order. For elements that are owning pointers
// (texts, byte sets) the caller hands over the pointer it stores.
void array_append(void** array_variable, std::uint32_t width, const void* element);

// Adds a new copy of `text` (null for an empty text) to a text array. An array of another
// element type raises fatal error 5.
void array_append(ValueArray& array, std::string_view text);

// True for element types whose elements are owning pointers (texts, byte sets, objects, variants).
[[nodiscard]] constexpr bool holds_pointers(TypeCode element) {
  return element == TypeCode::text || element == TypeCode::byte_set ||
         element == TypeCode::object || element == TypeCode::variant;
}

// Adds `value` to an array whose elements have the size of T (integers, floats, logical words).
// An element type of another width, or one whose elements are pointers, raises fatal error 5.
template <class T>
requires std::integral<T> || std::floating_point<T>
void array_append(ValueArray& array, T value) {
  const TypeCode element = array.element_type();
  if (element_width(element) != sizeof value || holds_pointers(element)) {
    fatal_error(kTypeMismatch);
  }
  array_append(array.variable(), sizeof value, &value);
}
