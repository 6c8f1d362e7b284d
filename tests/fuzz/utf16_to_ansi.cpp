// Feeds bytes from the network to utf16_to_ansi as UTF-16LE units, as the answer's header block
// reaches it (the bytes may be unaligned and of odd length). Without non-spacing marks, which
// WC_COMPOSITECHECK may compose, the result must be what ICU's windows-936-2000 converter gives,
// with "?" for each UTF-16 unit of a character the code page lacks, up to the first NUL; and
// never more than two bytes a unit.
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "http/encodings.h"

namespace {

void question_mark_per_unit(const void*, UConverterFromUnicodeArgs* args, const UChar*,
                            std::int32_t length, UChar32, UConverterCallbackReason reason,
                            UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;
  *error = U_ZERO_ERROR;
  for (std::int32_t unit = 0; unit < length && U_SUCCESS(*error); ++unit)
    ucnv_cbFromUWriteBytes(args, "?", 1, 0, error);
}

struct ConverterClose {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

std::string icu_gbk(const std::u16string& units) {
  static const std::unique_ptr<UConverter, ConverterClose> converter = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, ConverterClose> made(ucnv_open("windows-936-2000", &status));
    ucnv_setFromUCallBack(made.get(), question_mark_per_unit, nullptr, nullptr, nullptr, &status);
    return made;
  }();
  std::string out(units.size() * 2 + 2, '\0');
  UErrorCode status = U_ZERO_ERROR;
  const std::int32_t length =
      ucnv_fromUChars(converter.get(), out.data(), static_cast<std::int32_t>(out.size()),
                      units.data(), static_cast<std::int32_t>(units.size()), &status);
  if (U_FAILURE(status)) std::abort();
  out.resize(static_cast<std::size_t>(length));
  return out.substr(0, out.find('\0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text converted = utf16_to_ansi(ByteView(data, size));
  std::u16string units(size / 2, u'\0');
  if (!units.empty()) std::memcpy(units.data(), data, units.size() * 2);
  if (converted.size() > units.size() * 2) std::abort();
  for (const char16_t unit : units) {
    if (u_charType(unit) == U_NON_SPACING_MARK) return 0;
  }
  if (converted.view() != icu_gbk(units)) std::abort();
  return 0;
}
