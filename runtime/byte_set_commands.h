// Byte-set commands: measuring, cutting, joining and making byte sets, and converting values to
// and from their raw bytes.
//
// Byte sets arrive as views of their bytes (byte_set_bytes gives them for a raw block; a null or
// empty set views as empty) and results are new ByteSet blocks owned by the caller; null is the
// empty result. Values are stored little-endian, as the runtime keeps them.
//
//   ByteSet header = bytes_concat({length_bytes.bytes(), body.bytes()});
//   ReadValue first = bytes_read(std::array{body.arg(), TypedArg::integer(3)});
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "runtime/runtime.h"

inline constexpr std::uint32_t kBytesLenCommand = 0x194;
inline constexpr std::uint32_t kToBytesCommand = 0x198;
inline constexpr std::uint32_t kBytesReadCommand = 0x19C;
inline constexpr std::uint32_t kBytesLeftCommand = 0x1A0;
inline constexpr std::uint32_t kBytesBlankCommand = 0x1BC;
inline constexpr std::uint32_t kBytesFromAddressCommand = 0x910;

using ByteView = std::span<const std::uint8_t>;

// The bytes of a raw ByteSet block; none for null or the static empty set.
[[nodiscard]] ByteView byte_set_bytes(const void* block);

// The number of bytes; 0 for an empty set.
[[nodiscard]] std::int32_t bytes_len(ByteView bytes);

// The first `n` bytes (all of them when `n` exceeds the length); null when the set is empty or
// `n` < 1.
[[nodiscard]] ByteSet bytes_left(ByteView bytes, std::int32_t n);

// `n` zero bytes; null when `n` < 1.
[[nodiscard]] ByteSet bytes_blank(std::int32_t n);

// A copy of the `n` bytes at `address`; null when `n` < 1 or any of them cannot be read.
[[nodiscard]] ByteSet bytes_from_address(const void* address, std::int32_t n);

// The pieces' bytes in order; null when there are none at all.
[[nodiscard]] ByteSet bytes_concat(std::span<const ByteView> pieces);
[[nodiscard]] inline ByteSet bytes_concat(std::initializer_list<ByteView> pieces) {
  return bytes_concat(std::span<const ByteView>(pieces.begin(), pieces.size()));
}

// The raw bytes of `value`:
//   - an array (TypeCode with kArrayOrReferenceBit) of byte, short, integer, long, float or
//     double: its whole element storage; an array of any other type gives null;
//   - a text: its bytes without the terminator; a byte set: a copy of its bytes;
//   - logical, integer, float and dword: 4 bytes; date-time, long and double: 8; byte: 1;
//     short: 2, as stored;
//   - anything else (automation types, omitted, unknown codes): null.
[[nodiscard]] ByteSet to_bytes(const TypedArg& value);

// A value read by bytes_read, owning its text when it is one. arg() of a text points at this
// value's own block (or the static empty text) and lives as long as the ReadValue.
class ReadValue {
 public:
  explicit ReadValue(const TypedArg& scalar) : arg_(scalar) {}
  explicit ReadValue(Text text) : arg_(text.arg()), text_(std::move(text)) {}

  [[nodiscard]] const TypedArg& arg() const& { return arg_; }
  [[nodiscard]] TypeCode type() const { return arg_.type; }
  // The 32-bit word (byte, short, integer, dword and logical values are widened into it).
  [[nodiscard]] std::int32_t int32() const { return arg_.int32(); }
  [[nodiscard]] std::int64_t int64() const { return arg_.value.int64; }
  [[nodiscard]] double real() const { return arg_.value.real; }  // double and date-time
  [[nodiscard]] float float32() const;
  [[nodiscard]] bool logical() const { return arg_.word1() != 0; }
  [[nodiscard]] std::string_view text() const& { return text_.view(); }
  // Hands the text over; arg() is then the empty text, no longer the handed-over block.
  [[nodiscard]] Text release_text() {
    arg_ = TypedArg::text(nullptr);
    return std::move(text_);
  }

 private:
  TypedArg arg_;
  Text text_;
};

// Typed read from a byte set. Arguments: the byte set; the type number (integer 1 to 10: byte,
// short, integer, long, float, double, logical, date-time, dword, text); the position (optional,
// 1-based), either an integer or a position variable (reference_to(TypeCode::integer), the value
// being the address of an int32 variable).
//   - a type number outside 1 to 10 (or omitted) raises fatal error 100;
//   - a null byte set gives the zero value of the type, leaving a position variable alone;
//   - a position before the first byte or after the last gives the zero value and sets a position
//     variable to -1;
//   - a text runs to the first zero byte or the end of the data; other values read as many bytes
//     as remain, up to their size, into a zeroed value; a logical is true when non-zero;
//   - a position variable moves past what was read (a text and its terminator), and becomes -1
//     when that passes the last byte.
[[nodiscard]] ReadValue bytes_read(TypedArgs args);
