#include "platform/codepage/codepage.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <cstring>
#include <memory>

namespace {

struct ConverterClose {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterClose>;

UConverter* open_converter(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name, &status);
  if (U_FAILURE(status)) return nullptr;
  // Characters that the code page cannot encode become "?".
  status = U_ZERO_ERROR;
  ucnv_setSubstChars(converter, "?", 1, &status);
  return converter;
}

// One converter per code page and thread, opened on first use.
UConverter* converter_for(std::uint32_t code_page) {
  thread_local Converter gbk{open_converter("windows-936-2000")};
  thread_local Converter utf8{open_converter("UTF-8")};
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

}  // namespace

int MultiByteToWideChar(std::uint32_t code_page, std::uint32_t, const char* source,
                        int source_length, char16_t* destination, int destination_size) {
  UConverter* converter = converter_for(code_page);
  if (converter == nullptr || source == nullptr || destination_size < 0) return 0;
  if (source_length < 0) source_length = static_cast<int>(std::strlen(source)) + 1;
  if (source_length == 0) return 0;
  UErrorCode status = U_ZERO_ERROR;
  const int32_t needed = ucnv_toUChars(converter, reinterpret_cast<UChar*>(destination),
                                       destination_size, source, source_length, &status);
  if (destination_size == 0)
    return status == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(status) ? needed : 0;
  if (U_FAILURE(status) || needed > destination_size) return 0;
  return needed;
}

int WideCharToMultiByte(std::uint32_t code_page, std::uint32_t, const char16_t* source,
                        int source_length, char* destination, int destination_size,
                        const char* default_char, bool* used_default_char) {
  UConverter* converter = converter_for(code_page);
  if (converter == nullptr || source == nullptr || destination_size < 0) return 0;
  if (default_char != nullptr || used_default_char != nullptr) return 0;
  if (source_length < 0)
    source_length = static_cast<int>(std::char_traits<char16_t>::length(source)) + 1;
  if (source_length == 0) return 0;
  UErrorCode status = U_ZERO_ERROR;
  const int32_t needed =
      ucnv_fromUChars(converter, destination, destination_size,
                      reinterpret_cast<const UChar*>(source), source_length, &status);
  if (destination_size == 0)
    return status == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(status) ? needed : 0;
  if (U_FAILURE(status) || needed > destination_size) return 0;
  return needed;
}
