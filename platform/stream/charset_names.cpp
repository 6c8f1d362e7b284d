#include "platform/stream/charset_names.h"

#include <unicode/ucnv.h>

#include <memory>

namespace {

struct CharsetAlias {
  std::string_view name;  // in lower case
  const char* converter;
};

constexpr CharsetAlias kPlatformNames[] = {
    {"gb2312", "windows-936-2000"},
    {"gbk", "windows-936-2000"},
    {"cp936", "windows-936-2000"},
    {"shift_jis", "windows-31j"},
    {"ks_c_5601-1987", "windows-949-2000"},
    {"euc-kr", "windows-949-2000"},
    {"iso-8859-1", "windows-1252"},
    {"unicode", "UTF-16LE"},
    {"utf-16", "UTF-16LE"},
    {"unicodefffe", "UTF-16BE"},
};

constexpr unsigned char kUtf8Mark[] = {0xEF, 0xBB, 0xBF};
constexpr unsigned char kUtf16LeMark[] = {0xFF, 0xFE};
constexpr unsigned char kUtf16BeMark[] = {0xFE, 0xFF};

[[nodiscard]] bool is_name_character(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'-' || c == u'_' || c == u'.' || c == u':';
}

// The name in lower-case ASCII; empty when it has another character.
std::string folded_name(std::u16string_view charset) {
  std::string folded;
  folded.reserve(charset.size());
  for (const char16_t c : charset) {
    if (!is_name_character(c)) return {};
    folded += static_cast<char>(c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c);
  }
  return folded;
}

struct ConverterClose {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// ICU's canonical name for `name` when ICU can open a converter by it.
std::string icu_converter_name(const std::string& name) {
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<UConverter, ConverterClose> converter(ucnv_open(name.c_str(), &status));
  if (U_FAILURE(status)) return {};
  const char* canonical = ucnv_getName(converter.get(), &status);
  return U_SUCCESS(status) && canonical != nullptr ? std::string(canonical) : std::string();
}

}  // namespace

std::string converter_for_charset(std::u16string_view charset) {
  const std::string name = folded_name(charset);
  if (name.empty()) return {};  // ICU would open its default converter for ""
  for (const CharsetAlias& alias : kPlatformNames) {
    if (alias.name == name) return icu_converter_name(alias.converter);
  }
  return icu_converter_name(name);
}

std::span<const unsigned char> byte_order_mark(std::string_view converter) {
  if (converter == "UTF-8") return kUtf8Mark;
  if (converter == "UTF-16LE") return kUtf16LeMark;
  if (converter == "UTF-16BE") return kUtf16BeMark;
  return {};
}
