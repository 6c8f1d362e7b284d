#include "tests/fuzz/icu_reference.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

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
using Converter = std::unique_ptr<UConverter, ConverterClose>;

UConverter* gbk_converter() {
  static const Converter converter = [] {
    UErrorCode status = U_ZERO_ERROR;
    Converter made(ucnv_open("windows-936-2000", &status));
    ucnv_setFromUCallBack(made.get(), question_mark_per_unit, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status)) std::abort();
    return made;
  }();
  return converter.get();
}

}  // namespace

std::string icu_gbk_from_utf16(std::u16string_view units) {
  std::string out(units.size() * 2 + 2, '\0');
  UErrorCode status = U_ZERO_ERROR;
  const std::int32_t length =
      ucnv_fromUChars(gbk_converter(), out.data(), static_cast<std::int32_t>(out.size()),
                      units.data(), static_cast<std::int32_t>(units.size()), &status);
  if (U_FAILURE(status)) std::abort();
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string icu_gbk_from_utf8(std::string_view utf8) {
  UErrorCode status = U_ZERO_ERROR;
  static const Converter from(ucnv_open("UTF-8", &status));
  std::string out(utf8.size() * 2 + 2, '\0');
  char* target = out.data();
  const char* source = utf8.data();
  ucnv_convertEx(gbk_converter(), from.get(), &target, out.data() + out.size(), &source,
                 utf8.data() + utf8.size(), nullptr, nullptr, nullptr, nullptr, true, true,
                 &status);
  if (U_FAILURE(status)) std::abort();
  out.resize(static_cast<std::size_t>(target - out.data()));
  return out;
}
