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

// Writes one code point as one or two UTF-16 units.
void put_units(char32_t code_point, char16_t* destination) {
  if (code_point < 0x10000) {
    destination[0] = static_cast<char16_t>(code_point);
    return;
  }
  const char32_t above = code_point - 0x10000;
  destination[0] = static_cast<char16_t>(0xD800 + (above >> 10));
  destination[1] = static_cast<char16_t>(0xDC00 + (above & 0x3FF));
}

template <bool kWrite>
Utf8Prefix decode(const std::uint8_t* source, std::size_t length, char16_t* destination,
                  std::size_t capacity) {
  std::size_t read = 0;
  std::size_t units = 0;
  while (read < length) {
    const std::uint8_t lead = source[read];
    if ((lead & 0xF0) == 0xE0 && length - read >= 3) {
      // Three bytes, the common case of Chinese text, checked in place: two continuation bytes,
      // no overlong form (below U+0800) and no surrogate.
      const unsigned second = source[read + 1];
      const unsigned third = source[read + 2];
      const char32_t code_point = (lead & 0x0Fu) << 12 | (second & 0x3Fu) << 6 | (third & 0x3Fu);
      if (((second ^ 0x80) | (third ^ 0x80)) >= 0x40 || code_point < 0x800 ||
          code_point - 0xD800 < 0x800) {
        break;
      }
      if constexpr (kWrite) {
        if (capacity == units) break;
        destination[units] = static_cast<char16_t>(code_point);
      }
      read += 3;
      units += 1;
      continue;
    }
    if (lead < 0x80) {
      // Eight ASCII bytes at a time where there are eight.
      std::uint64_t word = kHighBits;
      if (length - read >= 8) std::memcpy(&word, source + read, sizeof word);
      const std::size_t run = (word & kHighBits) == 0 ? 8 : 1;
      if constexpr (kWrite) {
        if (capacity - units < run) break;
        for (std::size_t k = 0; k < run; ++k)
          destination[units + k] = source[read + k];
      }
      read += run;
      units += run;
      continue;
    }
    const Decoded next = decode_sequence(source + read, length - read);
    const std::size_t needed = next.code_point >= 0x10000 ? 2 : 1;
    if (next.length == 0) break;
    if constexpr (kWrite) {
      if (capacity - units < needed) break;
      put_units(next.code_point, destination + units);
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
