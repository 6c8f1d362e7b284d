#include "platform/line_editor/edited_text.h"

#include "platform/codepage/codepage.h"

namespace {

std::u16string to_utf16(std::wstring_view wide) {
  std::u16string units;
  for (const wchar_t character : wide) {
    auto code = static_cast<char32_t>(character);
    if (code >= 0x10000 && code <= 0x10FFFF) {
      code -= 0x10000;
      units += static_cast<char16_t>(0xD800 + (code >> 10));
      units += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      units += static_cast<char16_t>(code > 0xFFFF ? 0xFFFD : code);
    }
  }
  return units;
}

bool is_control(wchar_t character) {
  return character < 0x20 || (character >= 0x7F && character <= 0x9F);
}

}  // namespace

std::string from_wide(std::wstring_view wide, std::uint32_t code_page) {
  const std::u16string units = to_utf16(wide);
  if (units.empty()) return {};
  const int length = static_cast<int>(units.size());
  const int needed =
      WideCharToMultiByte(code_page, 0, units.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
  WideCharToMultiByte(code_page, 0, units.data(), length, bytes.data(), needed, nullptr, nullptr);
  return bytes;
}

std::wstring from_utf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length = static_cast<int>(utf8.size());
  std::u16string units(utf8.size(), u'\0');
  units.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, units.data(), length)));
  std::wstring wide;
  for (std::size_t at = 0; at < units.size(); ++at) {
    const char16_t unit = units[at];
    const bool pair = unit >= 0xD800 && unit <= 0xDBFF && at + 1 < units.size() &&
                      units[at + 1] >= 0xDC00 && units[at + 1] <= 0xDFFF;
    if (pair) {
      const char32_t code = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (units[++at] - 0xDC00);
      wide += static_cast<wchar_t>(code);
    } else {
      wide += static_cast<wchar_t>(unit);
    }
  }
  return wide;
}

std::wstring without_controls(std::wstring_view line) {
  std::wstring kept;
  for (const wchar_t character : line) {
    if (!is_control(character)) kept += character;
  }
  return kept;
}
