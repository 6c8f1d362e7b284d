#include "platform/codepage/utf8_prefix.h"

#include <cstring>

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080;

[[nodiscard]] bool is_continuation(std::uint8_t byte) {
  return (byte & 0xC0) == 0x80;
}

// One character: its code point and byte length; a length of 0 marks an ill-formed sequence.
struct Decoded {
  char32_t code_point = 0;
  std::size_t length = 0;
};

// The well-formed sequences of Unicode's table 3-7, for a lead byte of 0x80 or more.
Decoded decode_sequence(const std::uint8_t* at, std::size_t left) {
  const std::uint8_t lead = at[0];
  if (lead < 0xC2 || lead > 0xF4) return {};
  if (lead < 0xE0) {
    if (left < 2 || !is_continuation(at[1])) return {};
    return {static_cast<char32_t>((lead & 0x1F) << 6 | (at[1] & 0x3F)), 2};
  }
  // The second byte's range is narrower after E0 and ED (no overlong forms, no surrogates) and
  // after F0 and F4 (no overlong forms, nothing above U+10FFFF).
  const std::uint8_t low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  const std::uint8_t high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  if (lead < 0xF0) {
    if (left < 3 || at[1] < low || at[1] > high || !is_continuation(at[2])) return {};
    return {static_cast<char32_t>((lead & 0x0F) << 12 | (at[1] & 0x3F) << 6 | (at[2] & 0x3F)), 3};
  }
  if (left < 4 || at[1] < low || at[1] > high || !is_continuation(at[2]) ||
      !is_continuation(at[3])) {
    return {};
  }
  return {static_cast<char32_t>((lead & 0x07) << 18 | (at[1] & 0x3F) << 12 | (at[2] & 0x3F) << 6 |
                                (at[3] & 0x3F)),
          4};
}

template <bool kWrite>
Utf8Prefix decode(const std::uint8_t* source, std::size_t length, char16_t* destination,
                  std::size_t capacity) {
  std::size_t read = 0;
  std::size_t units = 0;
  while (read < length) {
    // Eight ASCII bytes at a time.
    if (length - read >= 8 && (!kWrite || capacity - units >= 8)) {
      std::uint64_t word;
      std::memcpy(&word, source + read, sizeof word);
      if ((word & kHighBits) == 0) {
        if constexpr (kWrite) {
          for (std::size_t k = 0; k < 8; ++k)
            destination[units + k] = source[read + k];
        }
        read += 8;
        units += 8;
        continue;
      }
    }
    Decoded next{source[read], 1};
    if (source[read] >= 0x80) next = decode_sequence(source + read, length - read);
    if (next.length == 0) break;
    const std::size_t needed = next.code_point >= 0x10000 ? 2 : 1;
    if constexpr (kWrite) {
      if (capacity - units < needed) break;
      if (needed == 1) {
        destination[units] = static_cast<char16_t>(next.code_point);
      } else {
        const char32_t above = next.code_point - 0x10000;
        destination[units] = static_cast<char16_t>(0xD800 + (above >> 10));
        destination[units + 1] = static_cast<char16_t>(0xDC00 + (above & 0x3FF));
      }
    }
    read += next.length;
    units += needed;
  }
  return {read, units};
}

}  // namespace

Utf8Prefix decode_utf8_prefix(const std::uint8_t* source, std::size_t length, char16_t* destination,
                              std::size_t capacity) {
  if (destination == nullptr) return decode<false>(source, length, nullptr, 0);
  return decode<true>(source, length, destination, capacity);
}
