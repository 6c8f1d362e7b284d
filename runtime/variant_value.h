// Variant values: heap VARIANT blocks and the commands that fill, read, copy and clear them.
//
// A variant value is a pointer to a 16-byte VARIANT block from mem_alloc that owns what it holds.
// In C++ the block is owned by a move-only VariantValue, which clears and frees it when it ends.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "platform/com/variant.h"
#include "runtime/runtime.h"

class VariantValue {
 public:
  // A declared variant: a zero-filled block set to VT_I4 with value 0.
  VariantValue();
  // A zero-filled block, VT_EMPTY: what the variant-result member calls start from.
  [[nodiscard]] static VariantValue empty();
  VariantValue(VariantValue&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
  VariantValue& operator=(VariantValue&& other) noexcept;
  VariantValue(const VariantValue&) = delete;
  VariantValue& operator=(const VariantValue&) = delete;
  ~VariantValue();

  // The block; null only after a move.
  [[nodiscard]] VARIANT* get() const noexcept { return block_; }
  [[nodiscard]] VARIANT& operator*() const noexcept { return *block_; }
  [[nodiscard]] VARIANT* operator->() const noexcept { return block_; }

  // The value as a variant argument, and its variable as a by-reference one.
  [[nodiscard]] TypedArg arg() const { return TypedArg::with_pointer(TypeCode::variant, block_); }
  [[nodiscard]] TypedArg ref() { return TypedArg::reference(TypeCode::variant, &block_); }

 private:
  struct Empty {};
  explicit VariantValue(Empty);
  VARIANT* block_;
};

inline constexpr std::uint32_t kVariantCopyCommand = 0x980;
inline constexpr std::uint32_t kVariantClearCommand = 0x984;
inline constexpr std::uint32_t kVariantToTextCommand = 0x990;
inline constexpr std::uint32_t kVariantAssignCommand = 0x9A8;

// variant_copy: clears `target`, then makes it a deep copy of `source` (new BSTRs and arrays,
// added references). A null `target` does nothing; a null `source` leaves `target` cleared.
// Copying a variant onto itself leaves it unchanged.
void variant_copy(VARIANT* target, const VARIANT* source);

// variant_clear: releases what `v` holds and leaves it VT_EMPTY; harmless when repeated. Null is
// ignored.
void variant_clear(VARIANT* v);

// variant_to_text: the text of `v`, or of its element `index` (1-based, in storage order whatever
// the bounds; omitted, 0 or negative means the first) when it holds an array. VT_BOOL gives
// "真" or "假"; VT_BSTR its text; other types their VariantChangeType text. Empty (null) for a
// null `v`, an index past the last element, an empty array, or a value that does not convert.
[[nodiscard]] Text variant_to_text(const VARIANT* v, std::optional<std::int32_t> index = {});

// variant_assign(variant; value; index): stores a runtime value into the variant.
//   value omitted                      v becomes VT_EMPTY; true.
//   an array (TypeCode with the array  v becomes a one-dimensional, zero-based SAFEARRAY of the
//   bit) or a byte set                 elements (texts as BSTRs, byte sets as VT_UI1); false
//                                      and v unchanged for an empty array or element type
//                                      without a VARIANT form.
//   any other value, v not an array    v is replaced by the value's VARIANT (object: VT_UNKNOWN
//                                      with one reference added; variant: a copy).
//   any other value, v an array        element `index` (as in variant_to_text) is replaced,
//                                      converted to the element type; false for an index past
//                                      the end or a value that does not convert.
// Assigning a variant to itself leaves it unchanged. False for fewer than two arguments, a null
// variant, or a value whose TypeCode has no VARIANT form (v unchanged).
bool variant_assign(TypedArgs args);

// Convenience over variant_assign for C++ callers.
bool variant_assign(VariantValue& v, const TypedArg& value, std::optional<std::int32_t> index = {});

// Steps of the commands above.

// The element of `v` that variant_to_text reads: `v` itself when it is not an array; otherwise a
// borrowed view of element `index`. Empty for a position past the end or an element wider than 8
// bytes (other than VARIANT elements).
[[nodiscard]] std::optional<VARIANT> variant_element(const VARIANT& v,
                                                     std::optional<std::int32_t> index);

// Replaces `*v` by the VARIANT of a single runtime value (built before `*v` is cleared, so the
// value may be `*v` itself). False, `*v` unchanged, for a TypeCode without a VARIANT form.
bool value_to_variant(VARIANT* v, const TypedArg& value);

// Replaces `*v` by a zero-based one-dimensional SAFEARRAY of a ValueArray's or a ByteSet's
// elements. False, `*v` unchanged, for no data, no elements or an element type without a form.
bool array_to_variant(VARIANT* v, const TypedArg& value);
