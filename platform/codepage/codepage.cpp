#include "platform/codepage/codepage.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/unorm2.h>
#include <unicode/uset.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/codepage/gbk_table.h"
#include "platform/codepage/utf8_prefix.h"

namespace {

constexpr const char* kGbkConverterName = "windows-936-2000";

struct ConverterClose {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterClose>;

Converter open_converter(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open(name, &status));
  return U_SUCCESS(status) ? std::move(converter) : nullptr;
}

// One converter per code page and thread, opened on first use. Code page 936 encodes through
// its table (gbk_table.h) and decodes through its converter.
UConverter* converter_for(std::uint32_t code_page) {
  thread_local Converter gbk = open_converter(kGbkConverterName);
  thread_local Converter utf8 = open_converter("UTF-8");
  switch (code_page) {
    case CP_ACP:
    case CP_GBK:
      return gbk.get();
    case CP_UTF8:
      return utf8.get();
    default:
      return nullptr;
  }
}

// A source of -1 (terminated) or a positive count, and a destination that is either measured
// (size 0) or present.
bool lengths_valid(const void* source, int source_length, const void* destination,
                   int destination_size) {
  if (source == nullptr || source_length == 0 || source_length < -1) return false;
  return destination_size == 0 || (destination_size > 0 && destination != nullptr);
}

[[nodiscard]] int as_result(std::int64_t count) {
  return count >= 0 && count <= INT_MAX ? static_cast<int>(count) : 0;
}

// ICU's streaming calls write nothing past the result, unlike ucnv_toUChars and
// ucnv_fromUChars, which add a terminator where there is room. Measuring converts into a
// scratch buffer and counts. Each answers the count, or -1 when the conversion failed or did not
// fit.
constexpr std::size_t kScratchUnits = 1024;

std::int64_t convert_to_units(UConverter* converter, std::string_view bytes, UChar* destination,
                              std::size_t capacity, bool measuring) {
  ucnv_resetToUnicode(converter);
  const char* source = bytes.data();
  const char* const end = source + bytes.size();
  UErrorCode status = U_ZERO_ERROR;
  if (!measuring) {
    UChar* target = destination;
    ucnv_toUnicode(converter, &target, destination + capacity, &source, end, nullptr, true,
                   &status);
    return U_SUCCESS(status) ? target - destination : -1;
  }
  UChar scratch[kScratchUnits];
  std::int64_t total = 0;
  do {
    status = U_ZERO_ERROR;
    UChar* target = scratch;
    ucnv_toUnicode(converter, &target, scratch + kScratchUnits, &source, end, nullptr, true,
                   &status);
    total += target - scratch;
  } while (status == U_BUFFER_OVERFLOW_ERROR);
  return U_SUCCESS(status) ? total : -1;
}

std::int64_t convert_to_bytes(UConverter* converter, std::u16string_view units, char* destination,
                              std::size_t capacity, bool measuring) {
  ucnv_resetFromUnicode(converter);
  const UChar* source = units.data();
  const UChar* const end = source + units.size();
  UErrorCode status = U_ZERO_ERROR;
  if (!measuring) {
    char* target = destination;
    ucnv_fromUnicode(converter, &target, destination + capacity, &source, end, nullptr, true,
                     &status);
    return U_SUCCESS(status) ? target - destination : -1;
  }
  char scratch[kScratchUnits * 2];
  std::int64_t total = 0;
  do {
    status = U_ZERO_ERROR;
    char* target = scratch;
    ucnv_fromUnicode(converter, &target, scratch + sizeof scratch, &source, end, nullptr, true,
                     &status);
    total += target - scratch;
  } while (status == U_BUFFER_OVERFLOW_ERROR);
  return U_SUCCESS(status) ? total : -1;
}

// ---------------------------------------------------------------------------------------------
// WC_COMPOSITECHECK

struct SetClose {
  void operator()(USet* set) const { uset_close(set); }
};

// The characters that code page 936 encodes and decodes back unchanged.
const USet* gbk_round_trip_set() {
  static const std::unique_ptr<USet, SetClose> set = [] {
    std::unique_ptr<USet, SetClose> made(uset_openEmpty());
    UErrorCode status = U_ZERO_ERROR;
    const Converter converter(ucnv_open(kGbkConverterName, &status));
    if (U_SUCCESS(status))
      ucnv_getUnicodeSet(converter.get(), made.get(), UCNV_ROUNDTRIP_SET, &status);
    return made;
  }();
  return set.get();
}

[[nodiscard]] bool is_non_spacing_mark(char16_t unit) {
  return unit >= 0x300 && u_charType(unit) == U_NON_SPACING_MARK;
}

// The precomposed character of `base` and `mark` when there is one that code page 936 encodes;
// U_SENTINEL otherwise.
UChar32 encodable_composition(char16_t base, char16_t mark) {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
  if (U_FAILURE(status) || U16_IS_SURROGATE(base)) return U_SENTINEL;
  const UChar32 composed = unorm2_composePair(nfc, base, mark);
  if (composed < 0 || !uset_contains(gbk_round_trip_set(), composed)) return U_SENTINEL;
  return composed;
}

// `units` with each base character and the non-spacing mark after it replaced by their
// encodable composition, where there is one.
std::u16string compose_marks(std::u16string_view units) {
  std::u16string composed;
  composed.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (i + 1 < units.size() && is_non_spacing_mark(units[i + 1])) {
      const UChar32 pair = encodable_composition(units[i], units[i + 1]);
      if (pair != U_SENTINEL && pair <= 0xFFFF) {
        composed += static_cast<char16_t>(pair);
        ++i;
        continue;
      }
    }
    composed += units[i];
  }
  return composed;
}

bool has_non_spacing_mark(std::u16string_view units) {
  for (const char16_t unit : units) {
    if (is_non_spacing_mark(unit)) return true;
  }
  return false;
}

bool wide_flags_valid(std::uint32_t code_page, std::uint32_t flags) {
  if (code_page == CP_UTF8) return flags == 0;
  return (flags & ~WC_COMPOSITECHECK) == 0;
}

}  // namespace

/* MultiByteToWideChar: see the header. UTF-8 decodes its well-formed start by hand and hands an
   ill-formed rest to ICU, whose substitutes then decide the count. */
int MultiByteToWideChar(std::uint32_t code_page, std::uint32_t flags, const char* source,
                        int source_length, char16_t* destination, int destination_size) {
  UConverter* converter = converter_for(code_page);
  if (converter == nullptr || flags != 0 ||
      !lengths_valid(source, source_length, destination, destination_size)) {
    return 0;
  }
  const std::string_view bytes(source, source_length == -1
                                           ? std::strlen(source) + 1
                                           : static_cast<std::size_t>(source_length));
  const bool measuring = destination_size == 0;
  const auto capacity = static_cast<std::size_t>(destination_size);
  Utf8Prefix done;
  if (code_page == CP_UTF8) {
    done = decode_utf8_prefix(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                              measuring ? nullptr : destination, capacity);
  }
  if (done.bytes_read == bytes.size()) return as_result(static_cast<std::int64_t>(done.units));
  const std::int64_t rest = convert_to_units(converter, bytes.substr(done.bytes_read),
                                             measuring ? nullptr : destination + done.units,
                                             measuring ? 0 : capacity - done.units, measuring);
  if (rest < 0) return 0;
  return as_result(static_cast<std::int64_t>(done.units) + rest);
}

/* WideCharToMultiByte: see the header. */
int WideCharToMultiByte(std::uint32_t code_page, std::uint32_t flags, const char16_t* source,
                        int source_length, char* destination, int destination_size,
                        const char* default_char, bool* used_default_char) {
  UConverter* converter = converter_for(code_page);
  if (converter == nullptr || !wide_flags_valid(code_page, flags) || default_char != nullptr ||
      used_default_char != nullptr ||
      !lengths_valid(source, source_length, destination, destination_size)) {
    return 0;
  }
  std::u16string_view units(source, source_length == -1
                                        ? std::char_traits<char16_t>::length(source) + 1
                                        : static_cast<std::size_t>(source_length));
  std::u16string composed;
  if ((flags & WC_COMPOSITECHECK) != 0 && has_non_spacing_mark(units)) {
    composed = compose_marks(units);
    units = composed;
  }
  const bool measuring = destination_size == 0;
  const auto capacity = static_cast<std::size_t>(destination_size);
  if (code_page != CP_UTF8)
    return as_result(encode_gbk(units, measuring ? nullptr : destination, capacity));
  return as_result(convert_to_bytes(converter, units, destination, capacity, measuring));
}

namespace {

// The UTF-16 window that convert_utf8_to_gbk fills, encodes and fills again.
constexpr std::size_t kWindowUnits = 16 * 1024;

// Encodes the units of one window after what `written` bytes of `destination` hold; false when
// they do not fit.
bool encode_window(std::u16string_view units, char* destination, std::size_t capacity,
                   std::size_t& written) {
  const std::int64_t count = encode_gbk(units, destination + written, capacity - written);
  if (count < 0) return false;
  written += static_cast<std::size_t>(count);
  return true;
}

}  // namespace

/* convert_utf8_to_gbk: see the header. The well-formed start is decoded by hand, window by window;
   from the first ill-formed sequence on, ICU decodes the rest, as MultiByteToWideChar does, so that
   its substitutes decide the result. */
std::int64_t convert_utf8_to_gbk(std::string_view source, char* destination, std::size_t capacity) {
  UConverter* utf8 = converter_for(CP_UTF8);
  if (utf8 == nullptr) return -1;
  const auto window = std::make_unique<char16_t[]>(kWindowUnits);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(source.data());
  std::size_t read = 0;
  std::size_t written = 0;
  for (;;) {
    const Utf8Prefix done =
        decode_utf8_prefix(bytes + read, source.size() - read, window.get(), kWindowUnits);
    read += done.bytes_read;
    if (!encode_window({window.get(), done.units}, destination, capacity, written)) return -1;
    if (read == source.size()) return static_cast<std::int64_t>(written);
    // A window with room for the longest character left stopped at an ill-formed sequence.
    if (kWindowUnits - done.units >= 2) break;
  }
  ucnv_resetToUnicode(utf8);
  const char* rest = source.data() + read;
  const char* const end = source.data() + source.size();
  UErrorCode status = U_ZERO_ERROR;
  do {
    status = U_ZERO_ERROR;
    UChar* target = window.get();
    ucnv_toUnicode(utf8, &target, window.get() + kWindowUnits, &rest, end, nullptr, true, &status);
    const auto units = static_cast<std::size_t>(target - window.get());
    if (!encode_window({window.get(), units}, destination, capacity, written)) return -1;
  } while (status == U_BUFFER_OVERFLOW_ERROR);
  return U_SUCCESS(status) ? static_cast<std::int64_t>(written) : -1;
}
