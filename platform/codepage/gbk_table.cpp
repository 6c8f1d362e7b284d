#include "platform/codepage/gbk_table.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// A table entry holds a unit's bytes in memory order (the first byte in the low half), so one
// two-byte store writes either kind of code: a double-byte code's first byte is a lead byte
// (0x81 to 0xFE), which no single-byte code is. A unit the code page lacks has the entry "?".
static_assert(std::endian::native == std::endian::little);

constexpr std::uint16_t kUnmappable = '?';
constexpr std::size_t kUnits = 0x10000;

[[nodiscard]] std::uint16_t double_byte_entry(std::uint8_t lead, std::uint8_t trail) {
  return static_cast<std::uint16_t>(trail << 8 | lead);
}

[[nodiscard]] std::size_t entry_length(std::uint16_t entry) {
  return static_cast<std::uint8_t>(entry - 0x81) < 0x7E ? 2 : 1;
}

struct ConverterClose {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// Converts every unit that is not a surrogate in one pass, dropping what cannot be mapped; the
// offsets tell which unit each output byte came from.
std::unique_ptr<std::uint16_t[]> read_table_from_icu() {
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<UConverter, ConverterClose> converter(
      ucnv_open("windows-936-2000", &status));
  if (U_FAILURE(status)) return nullptr;
  ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_SKIP, nullptr, nullptr, nullptr,
                        &status);
  std::vector<char16_t> units;
  units.reserve(kUnits);
  for (std::size_t unit = 0; unit < kUnits; ++unit) {
    if (unit < 0xD800 || unit > 0xDFFF) units.push_back(static_cast<char16_t>(unit));
  }
  std::vector<char> bytes(units.size() * 2);
  std::vector<std::int32_t> offsets(bytes.size());
  char* target = bytes.data();
  const char16_t* source = units.data();
  ucnv_fromUnicode(converter.get(), &target, bytes.data() + bytes.size(), &source,
                   source + units.size(), offsets.data(), true, &status);
  if (U_FAILURE(status)) return nullptr;

  auto table = std::make_unique<std::uint16_t[]>(kUnits);
  std::fill_n(table.get(), kUnits, kUnmappable);
  const std::size_t written = static_cast<std::size_t>(target - bytes.data());
  for (std::size_t at = 0; at < written;) {
    const char16_t unit = units[static_cast<std::size_t>(offsets[at])];
    const auto first = static_cast<std::uint8_t>(bytes[at]);
    if (at + 1 < written && offsets[at + 1] == offsets[at]) {
      table[unit] = double_byte_entry(first, static_cast<std::uint8_t>(bytes[at + 1]));
      at += 2;
    } else {
      table[unit] = first;
      at += 1;
    }
  }
  return table;
}

const std::uint16_t* gbk_table() {
  static const std::unique_ptr<std::uint16_t[]> table = read_table_from_icu();
  return table.get();
}

std::size_t count_bytes(const std::uint16_t* table, std::u16string_view units) {
  std::size_t bytes = 0;
  for (const char16_t unit : units)
    bytes += entry_length(table[unit]);
  return bytes;
}

// Stores both bytes of an entry and advances by its length: the byte past a single-byte code is
// overwritten by the next unit's, so only the last unit is written byte by byte, leaving nothing
// written past the result.
std::int64_t write_bytes(const std::uint16_t* table, std::u16string_view units, char* destination,
                         std::size_t capacity) {
  if (units.empty()) return 0;
  std::size_t written = 0;
  for (const char16_t unit : units.substr(0, units.size() - 1)) {
    const std::uint16_t entry = table[unit];
    if (capacity - written < 2) return -1;
    std::memcpy(destination + written, &entry, 2);
    written += entry_length(entry);
  }
  const std::uint16_t last = table[units.back()];
  if (capacity - written < entry_length(last)) return -1;
  destination[written] = static_cast<char>(last & 0xFF);
  if (entry_length(last) == 2) destination[written + 1] = static_cast<char>(last >> 8);
  return static_cast<std::int64_t>(written + entry_length(last));
}

}  // namespace

std::int64_t encode_gbk(std::u16string_view units, char* destination, std::size_t capacity) {
  const std::uint16_t* table = gbk_table();
  if (table == nullptr) return -1;
  if (destination == nullptr) return static_cast<std::int64_t>(count_bytes(table, units));
  return write_bytes(table, units, destination, capacity);
}
