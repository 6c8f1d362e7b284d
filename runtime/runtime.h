// The runtime's shared types: TypeCode, TypedArg, and the owners Text, ByteSet and ValueArray.
//
// Every owner is a move-only RAII value over one block from mem_alloc, laid out as the rest of the
// system reads it raw:
//   Text        the bytes and a terminating NUL (GBK, code page 936);
//   ByteSet     int32 dimension count (1), int32 length, then the bytes;
//   ValueArray  int32 dimension count d, d int32 sizes, then the elements.
// Null is the empty value of each. Borrowed data travels as views (std::string_view, std::span).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <utility>

#include "runtime/memory.h"

// ---------------------------------------------------------------------------------------------
// TypeCode: the type of a runtime value.

enum class TypeCode : std::uint32_t {
  omitted = 0,  // an omitted argument
  logical = 0x80000002,
  date_time = 0x80000003,  // days since 30 December 1899 as a double; the fraction is the time
  text = 0x80000004,
  byte_set = 0x80000005,
  dword = 0x80000006,  // a further 4-byte value, printed as a signed 32-bit integer
  byte = 0x80000101,
  short_int = 0x80000201,
  integer = 0x80000301,
  long_int = 0x80000401,
  float32 = 0x80000501,
  float64 = 0x80000601,
  object = 0x00010030,   // pointer to an AutomationObject
  variant = 0x00010031,  // pointer to a VARIANT
};

// Added to a TypeCode, this bit marks an array of that type (the value is a ValueArray) or, in the
// arguments of the member calls and of bytes_read's position, a variable passed by reference (the
// value is the variable's address).
inline constexpr std::uint32_t kArrayOrReferenceBit = 0x20000000;

[[nodiscard]] constexpr TypeCode array_of(TypeCode element) {
  return TypeCode{static_cast<std::uint32_t>(element) | kArrayOrReferenceBit};
}
[[nodiscard]] constexpr TypeCode reference_to(TypeCode base) {
  return array_of(base);
}
[[nodiscard]] constexpr bool is_array_or_reference(TypeCode code) {
  return (static_cast<std::uint32_t>(code) & kArrayOrReferenceBit) != 0;
}
[[nodiscard]] constexpr TypeCode base_type(TypeCode code) {
  return TypeCode{static_cast<std::uint32_t>(code) & ~kArrayOrReferenceBit};
}

// ---------------------------------------------------------------------------------------------
// Static empty values. Commands read their text and byte-set arguments without a null test, so
// callers hand these over instead of null; mem_free ignores them as static storage.

inline constexpr char kEmptyText[1] = {};
struct alignas(8) EmptyByteSetBlock {
  std::int32_t dimensions = 1;
  std::int32_t length = 0;
};
inline constexpr EmptyByteSetBlock kEmptyByteSet{};
inline constexpr EmptyByteSetBlock kEmptyArray{};  // one dimension of size 0

// ---------------------------------------------------------------------------------------------
// TypedArg: one argument of a runtime command.

struct TypedArg {
  union Value {
    std::uint32_t words[2];  // word 1, word 2
    void* pointer;
    std::int64_t int64;
    double real;
  };
  Value value{};
  TypeCode type = TypeCode::omitted;

  [[nodiscard]] bool omitted() const { return type == TypeCode::omitted; }
  [[nodiscard]] std::uint32_t word1() const { return value.words[0]; }
  [[nodiscard]] std::uint32_t word2() const { return value.words[1]; }
  [[nodiscard]] std::int32_t int32() const { return static_cast<std::int32_t>(value.words[0]); }
  template <class T>
  [[nodiscard]] T* pointer_as() const {
    return static_cast<T*>(value.pointer);
  }

  [[nodiscard]] static TypedArg with_words(TypeCode type, std::uint32_t word1,
                                           std::uint32_t word2 = 0) {
    TypedArg arg;
    arg.value.words[0] = word1;
    arg.value.words[1] = word2;
    arg.type = type;
    return arg;
  }
  [[nodiscard]] static TypedArg with_pointer(TypeCode type, const void* pointer) {
    TypedArg arg;
    arg.value.pointer = const_cast<void*>(pointer);
    arg.type = type;
    return arg;
  }
  [[nodiscard]] static TypedArg logical(bool value) {
    return with_words(TypeCode::logical, value ? 1 : 0);
  }
  [[nodiscard]] static TypedArg integer(std::int32_t value) {
    return with_words(TypeCode::integer, static_cast<std::uint32_t>(value));
  }
  [[nodiscard]] static TypedArg dword(std::uint32_t value) {
    return with_words(TypeCode::dword, value);
  }
  [[nodiscard]] static TypedArg byte(std::uint8_t value) {
    return with_words(TypeCode::byte, value);
  }
  [[nodiscard]] static TypedArg short_int(std::int16_t value) {
    return with_words(TypeCode::short_int, static_cast<std::uint16_t>(value));
  }
  [[nodiscard]] static TypedArg long_int(std::int64_t value) {
    TypedArg arg;
    arg.value.int64 = value;
    arg.type = TypeCode::long_int;
    return arg;
  }
  [[nodiscard]] static TypedArg float32(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return with_words(TypeCode::float32, bits);
  }
  [[nodiscard]] static TypedArg float64(double value) { return real_of(TypeCode::float64, value); }
  [[nodiscard]] static TypedArg date_time(double days) {
    return real_of(TypeCode::date_time, days);
  }
  // A text argument; null becomes the static empty text.
  [[nodiscard]] static TypedArg text(const char* text) {
    return with_pointer(TypeCode::text, text ? text : kEmptyText);
  }
  // A byte-set argument (the raw block); null becomes the static empty byte set.
  [[nodiscard]] static TypedArg byte_set(const void* block) {
    return with_pointer(TypeCode::byte_set, block ? block : &kEmptyByteSet);
  }
  // A variable of type `base` passed by reference: the value is the variable's address.
  [[nodiscard]] static TypedArg reference(TypeCode base, void* variable) {
    return with_pointer(reference_to(base), variable);
  }
  // A ValueArray block whose elements have the type `element`.
  [[nodiscard]] static TypedArg array(TypeCode element, const void* block) {
    return with_pointer(array_of(element), block ? block : &kEmptyArray);
  }

 private:
  [[nodiscard]] static TypedArg real_of(TypeCode type, double value) {
    TypedArg arg;
    arg.value.real = value;
    arg.type = type;
    return arg;
  }
};
static_assert(sizeof(TypedArg::Value) == 8);

using TypedArgs = std::span<const TypedArg>;

// ---------------------------------------------------------------------------------------------
// Text: an owned GBK string block, or null for the empty text.

class Text {
 public:
  Text() noexcept = default;
  Text(Text&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
  Text& operator=(Text&& other) noexcept {
    reset(other.release());
    return *this;
  }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  ~Text() { mem_free(block_); }

  // Takes ownership of a block from mem_alloc (or a static text, which mem_free ignores).
  [[nodiscard]] static Text adopt(char* block) noexcept {
    Text text;
    text.block_ = block;
    return text;
  }

  // The block itself; null for the empty text.
  [[nodiscard]] const char* get() const noexcept { return block_; }
  // Never null: the static empty text stands in for null.
  [[nodiscard]] const char* c_str() const noexcept { return block_ ? block_ : kEmptyText; }
  [[nodiscard]] std::string_view view() const& noexcept { return c_str(); }
  std::string_view view() const&& = delete;  // a view must not outlive its text
  [[nodiscard]] std::uint32_t size() const noexcept {
    return block_ ? static_cast<std::uint32_t>(std::strlen(block_)) : 0;
  }
  [[nodiscard]] bool is_null() const noexcept { return block_ == nullptr; }
  [[nodiscard]] bool empty() const noexcept { return block_ == nullptr || *block_ == '\0'; }

  // The variable itself, for commands that replace a text passed by reference.
  [[nodiscard]] char** variable() noexcept { return &block_; }
  [[nodiscard]] char* release() noexcept { return std::exchange(block_, nullptr); }
  void reset(char* block = nullptr) noexcept { mem_free(std::exchange(block_, block)); }

  [[nodiscard]] TypedArg arg() const { return TypedArg::text(block_); }

 private:
  char* block_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// ByteSet: an owned byte block (dimension count 1, length, bytes), or null for the empty set.

class ByteSet {
 public:
  static constexpr std::uint32_t kHeaderSize = 8;

  ByteSet() noexcept = default;
  ByteSet(ByteSet&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
  ByteSet& operator=(ByteSet&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ByteSet(const ByteSet&) = delete;
  ByteSet& operator=(const ByteSet&) = delete;
  ~ByteSet() { mem_free(block_); }

  [[nodiscard]] static ByteSet adopt(void* block) noexcept {
    ByteSet set;
    set.block_ = static_cast<std::uint8_t*>(block);
    return set;
  }

  // The raw block, null for the empty set; block_or_empty() gives the static empty set instead.
  [[nodiscard]] const void* get() const noexcept { return block_; }
  [[nodiscard]] const void* block_or_empty() const noexcept {
    return block_ ? static_cast<const void*>(block_) : &kEmptyByteSet;
  }
  [[nodiscard]] std::uint32_t size() const noexcept { return block_ ? length_of(block_) : 0; }
  [[nodiscard]] bool empty() const noexcept { return size() == 0; }
  [[nodiscard]] std::span<const std::uint8_t> bytes() const& noexcept {
    return {block_ ? block_ + kHeaderSize : nullptr, size()};
  }
  std::span<const std::uint8_t> bytes() const&& = delete;
  [[nodiscard]] std::span<std::uint8_t> mutable_bytes() noexcept {
    return {block_ ? block_ + kHeaderSize : nullptr, size()};
  }

  [[nodiscard]] void** variable() noexcept { return reinterpret_cast<void**>(&block_); }
  [[nodiscard]] void* release() noexcept { return std::exchange(block_, nullptr); }
  void reset(void* block = nullptr) noexcept {
    mem_free(std::exchange(block_, static_cast<std::uint8_t*>(block)));
  }

  [[nodiscard]] TypedArg arg() const { return TypedArg::byte_set(block_); }

  // The length word of a raw byte-set block.
  [[nodiscard]] static std::uint32_t length_of(const void* block) noexcept {
    std::uint32_t length;
    std::memcpy(&length, static_cast<const std::uint8_t*>(block) + 4, sizeof length);
    return length;
  }

 private:
  std::uint8_t* block_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// ValueArray: an owned array block whose elements have one TypeCode. Elements that are texts or
// byte sets are owning pointers (8 bytes wide) and are freed with the array.

// The size in bytes of a value of `type`: 1 for byte, 2 for short, 4 for logical, integer, float
// and dword, 8 for date-time, 64-bit integer and double; for text and byte set the width of their
// owning pointer (8 in this build); 0 for omitted, arrays and every other code.
[[nodiscard]] std::uint32_t type_size(TypeCode type);

// Width in bytes of one array element of type `element`: type_size, and the pointer width for
// objects and variants; 0 for a type that cannot be an element.
[[nodiscard]] std::uint32_t element_width(TypeCode element);

class ValueArray {
 public:
  explicit ValueArray(TypeCode element = TypeCode::text) noexcept : element_(element) {}
  ValueArray(ValueArray&& other) noexcept
      : block_(std::exchange(other.block_, nullptr)), element_(other.element_) {}
  ValueArray& operator=(ValueArray&& other) noexcept {
    reset(other.release());
    element_ = other.element_;
    return *this;
  }
  ValueArray(const ValueArray&) = delete;
  ValueArray& operator=(const ValueArray&) = delete;
  ~ValueArray() { reset(); }

  [[nodiscard]] static ValueArray adopt(TypeCode element, void* block) noexcept {
    ValueArray array(element);
    array.block_ = static_cast<std::uint8_t*>(block);
    return array;
  }

  [[nodiscard]] TypeCode element_type() const noexcept { return element_; }
  [[nodiscard]] const void* get() const noexcept { return block_; }
  [[nodiscard]] const void* block_or_empty() const noexcept {
    return block_ ? static_cast<const void*>(block_) : &kEmptyArray;
  }
  // The element count: the product of the dimension sizes (0 for null).
  [[nodiscard]] std::uint32_t count() const noexcept;

  // The address of element `index` (1-based, over the flat element sequence). An index below 1
  // raises fatal error 4, one above the count fatal error 1.
  [[nodiscard]] std::uint8_t* element(std::int32_t index) const;
  // Element `index` of a text array, as a view (empty for a null element).
  [[nodiscard]] std::string_view text_at(std::int32_t index) const&;
  std::string_view text_at(std::int32_t index) const&& = delete;

  [[nodiscard]] void** variable() noexcept { return reinterpret_cast<void**>(&block_); }
  [[nodiscard]] void* release() noexcept { return std::exchange(block_, nullptr); }
  // Frees the held array (and its text or byte-set elements) and holds `block` instead.
  void reset(void* block = nullptr) noexcept;

  [[nodiscard]] TypedArg arg() const { return TypedArg::array(element_, block_); }

 private:
  std::uint8_t* block_ = nullptr;
  TypeCode element_;
};

// The elements of a ValueArray block, or of a ByteSet block read the same way: the first word is
// the dimension count d, then d sizes; the count is their product (1 when d <= 0) and the elements
// start after the sizes. A null block has no elements.
struct ArrayElements {
  std::uint8_t* start = nullptr;
  std::uint32_t count = 0;
};
[[nodiscard]] ArrayElements array_elements(const void* block) noexcept;
