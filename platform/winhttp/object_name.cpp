#include "platform/winhttp/object_name.h"

#include "platform/winhttp/wire_text.h"

std::string escape_object_name(std::u16string_view object_name) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  const std::string utf8 = utf8_of(object_name);
  std::string escaped;
  escaped.reserve(utf8.size());
  for (const char character : utf8) {
    const auto byte = static_cast<unsigned char>(character);
    if (is_escaped_in_object_name(byte)) {
      escaped += '%';
      escaped += kHexDigits[byte >> 4];
      escaped += kHexDigits[byte & 0x0F];
    } else {
      escaped += character;
    }
  }
  return escaped;
}
