// Feeds bytes from the network to utf8_to_ansi as a text (up to its first NUL). The conversion
// must give what the route through the whole text's UTF-16 units gives (MultiByteToWideChar,
// then WideCharToMultiByte), and what ICU gives converting the same bytes from UTF-8 to
// windows-936-2000 directly, where a character the code page lacks becomes "?" for each of its
// UTF-16 units.
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "http/encodings.h"
#include "runtime/text_blocks.h"

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

std::string icu_direct(std::string_view utf8) {
  UErrorCode status = U_ZERO_ERROR;
  static const Converter from(ucnv_open("UTF-8", &status));
  static const Converter to = [] {
    UErrorCode opened = U_ZERO_ERROR;
    Converter made(ucnv_open("windows-936-2000", &opened));
    ucnv_setFromUCallBack(made.get(), question_mark_per_unit, nullptr, nullptr, nullptr, &opened);
    return made;
  }();
  std::string out(utf8.size() * 2 + 2, '\0');
  char* target = out.data();
  const char* source = utf8.data();
  ucnv_convertEx(to.get(), from.get(), &target, out.data() + out.size(), &source,
                 utf8.data() + utf8.size(), nullptr, nullptr, nullptr, nullptr, true, true,
                 &status);
  if (U_FAILURE(status)) std::abort();
  out.resize(static_cast<std::size_t>(target - out.data()));
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  input = input.substr(0, input.find('\0'));
  const Text text = text_from_buffer(input);
  const Text converted = utf8_to_ansi(text.get());
  if (converted.view() != icu_direct(input)) std::abort();
  const ByteSet wide = multibyte_to_utf16(text.get(), CP_UTF8);
  const Text through_utf16 = utf16_to_multibyte(wide.bytes(), CP_GBK);
  if (converted.view() != through_utf16.view()) std::abort();
  return 0;
}
