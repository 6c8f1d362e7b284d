#include "http/encodings.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/result_size.h"
#include "runtime/text_blocks.h"

namespace {

// The UTF-16 units of a byte view, an odd last byte dropped: borrowed where the bytes are
// aligned for char16_t, as every byte set's are, and copied where they are not.
class Utf16Units {
 public:
  explicit Utf16Units(ByteView bytes) {
    const std::size_t count = bytes.size() / 2;
    if (count == 0) return;
    if (reinterpret_cast<std::uintptr_t>(bytes.data()) % alignof(char16_t) == 0) {
      units_ = {reinterpret_cast<const char16_t*>(bytes.data()), count};
      return;
    }
    copy_.resize(count);
    std::memcpy(copy_.data(), bytes.data(), count * sizeof(char16_t));
    units_ = copy_;
  }
  Utf16Units(const Utf16Units&) = delete;
  Utf16Units& operator=(const Utf16Units&) = delete;

  [[nodiscard]] std::u16string_view view() const { return units_; }

 private:
  std::u16string copy_;
  std::u16string_view units_;
};

[[nodiscard]] char16_t* units_of(ByteSet& wide) {
  return reinterpret_cast<char16_t*>(wide.mutable_bytes().data());
}

// The UTF-16 units of the zero-terminated `text` with its terminator, measured and then
// converted.
ByteSet measured_utf16(const char* text, std::uint32_t code_page) {
  const int units = MultiByteToWideChar(code_page, 0, text, -1, nullptr, 0);
  if (units <= 0) return {};
  ByteSet wide = bytes_of_length(2 * static_cast<std::uint64_t>(units));
  if (MultiByteToWideChar(code_page, 0, text, -1, units_of(wide), units) <= 0) return {};
  return wide;
}

// How many bytes of `flags` have bit 7 set, where no other bit is: a multiply adds the bytes up
// in the top one. std::popcount would be a library call without -mpopcnt.
constexpr std::uint64_t high_bits_set(std::uint64_t flags) {
  return ((flags >> 7) * 0x0101010101010101) >> 56;
}

// The UTF-16 length of a UTF-8 text if it is well-formed: one unit for each byte that is not a
// continuation byte (10xxxxxx), and one more for each lead of a four-byte sequence (11110xxx).
// Eight bytes at a time: in each byte, bit 7 of `w & ~(w << 1)` is set for a continuation byte,
// and bit 7 of `w & w << 1 & w << 2 & w << 3` for a byte of 0xF0 or more.
std::uint64_t utf16_length_if_well_formed(std::string_view utf8) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080;
  std::uint64_t units = utf8.size();
  std::size_t at = 0;
  for (; utf8.size() - at >= 8; at += 8) {
    std::uint64_t w;
    std::memcpy(&w, utf8.data() + at, sizeof w);
    units -= high_bits_set(w & ~(w << 1) & kHighBits);
    units += high_bits_set(w & w << 1 & w << 2 & w << 3 & kHighBits);
  }
  for (; at < utf8.size(); ++at) {
    const auto byte = static_cast<std::uint8_t>(utf8[at]);
    units -= (byte & 0xC0) == 0x80 ? 1 : 0;
    units += byte >= 0xF0 ? 1 : 0;
  }
  return units;
}

// The UTF-16 units of a UTF-8 text with its terminator, converted once into a set of the length
// the text has if it is well-formed; empty when the conversion gives another length.
ByteSet estimated_utf16(const char* text) {
  const std::size_t length = std::strlen(text) + 1;  // with the terminator
  const std::uint64_t units = utf16_length_if_well_formed(std::string_view(text, length));
  if (units > kMaxResultLength / 2) return {};
  ByteSet wide = bytes_of_length(2 * units);
  const int converted =
      MultiByteToWideChar(CP_UTF8, 0, text, -1, units_of(wide), static_cast<int>(units));
  return static_cast<std::uint64_t>(converted) == units ? std::move(wide) : ByteSet();
}

}  // namespace

ByteSet ansi_to_utf16(const char* text, Terminator terminator) {
  if (text == nullptr || *text == '\0') return {};
  ByteSet wide = measured_utf16(text, CP_GBK);
  if (terminator == Terminator::keep || wide.empty()) return wide;
  return bytes_left(wide.bytes(), bytes_len(wide.bytes()) - 2);
}

Text utf16_to_ansi(ByteView bytes) {
  const Utf16Units units(bytes);
  const std::u16string_view source = units.view();
  if (source.empty()) return {};
  const int count = static_cast<int>(source.size());
  const int needed = WideCharToMultiByte(CP_GBK, WC_COMPOSITECHECK, source.data(), count, nullptr,
                                         0, nullptr, nullptr);
  if (needed <= 0) return {};
  ByteSet converted = bytes_of_length(static_cast<std::uint32_t>(needed));
  auto* out = reinterpret_cast<char*>(converted.mutable_bytes().data());
  if (WideCharToMultiByte(CP_GBK, WC_COMPOSITECHECK, source.data(), count, out, needed, nullptr,
                          nullptr) <= 0) {
    return {};
  }
  // A converted terminator ends the text.
  return text_from_buffer(std::string_view(out, strnlen(out, static_cast<std::size_t>(needed))));
}

// Converted straight into a block of the text's length, which the result never exceeds, then
// shrunk to the result: the whole text's UTF-16 units would take twice the room of the text.
Text utf8_to_ansi(const char* text) {
  if (text == nullptr || *text == '\0') return {};
  const std::string_view source(text);
  if (source.size() >= kMaxResultLength) return {};
  auto* block = static_cast<char*>(mem_alloc(static_cast<std::uint32_t>(source.size()) + 1));
  const std::int64_t written = convert_utf8_to_gbk(source, block, source.size());
  if (written <= 0) {
    mem_free(block);
    return {};
  }
  const auto length = static_cast<std::uint32_t>(written);
  if (length < source.size()) block = static_cast<char*>(mem_realloc(block, length + 1));
  return Text::adopt(block);
}

// UTF-8 is converted once where it is well-formed: measuring first would decode it twice.
ByteSet multibyte_to_utf16(const char* text, std::uint32_t code_page) {
  if (text == nullptr) return {};
  if (code_page == CP_UTF8) {
    ByteSet wide = estimated_utf16(text);
    if (!wide.empty()) return wide;
  }
  return measured_utf16(text, code_page);
}

// Converts once into a block sized for the most bytes the units can become, then shrinks the
// block to the text: measuring first would convert everything twice.
Text utf16_to_multibyte(ByteView bytes, std::uint32_t code_page) {
  const Utf16Units units(bytes);
  std::u16string_view source = units.view();
  const std::size_t terminator = source.find(u'\0');
  if (terminator != std::u16string_view::npos) source = source.substr(0, terminator + 1);
  if (source.empty()) return {};
  const std::uint64_t capacity =
      std::min<std::uint64_t>(source.size() * (code_page == CP_UTF8 ? 3 : 2), kMaxResultLength);
  auto* block = static_cast<char*>(mem_alloc(static_cast<std::uint32_t>(capacity) + 1));
  const int written =
      WideCharToMultiByte(code_page, 0, source.data(), static_cast<int>(source.size()), block,
                          static_cast<int>(capacity), nullptr, nullptr);
  // A converted terminator is the text's own; without one the block's zero fill ends the text.
  const std::size_t length = written > 0 ? std::strlen(block) : 0;
  if (length == 0) {
    mem_free(block);
    return {};
  }
  return Text::adopt(
      static_cast<char*>(mem_realloc(block, static_cast<std::uint32_t>(length) + 1)));
}
