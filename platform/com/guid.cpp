#include "platform/com/guid.h"

namespace {

constexpr std::size_t kGuidTextLength = 38;  // without the NUL

int hex_digit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads `digits` hex digits at `at`; false when any is not a hex digit.
bool read_hex(std::u16string_view text, std::size_t at, int digits, std::uint32_t* value) {
  std::uint32_t result = 0;
  for (int i = 0; i < digits; ++i) {
    const int digit = hex_digit(text[at + static_cast<std::size_t>(i)]);
    if (digit < 0) return false;
    result = result << 4 | static_cast<std::uint32_t>(digit);
  }
  *value = result;
  return true;
}

}  // namespace

bool parse_guid_text(std::u16string_view text, GUID* guid) {
  if (text.size() != kGuidTextLength || text[0] != u'{' || text[37] != u'}') return false;
  if (text[9] != u'-' || text[14] != u'-' || text[19] != u'-' || text[24] != u'-') return false;
  GUID parsed;
  std::uint32_t word;
  if (!read_hex(text, 1, 8, &parsed.Data1)) return false;
  if (!read_hex(text, 10, 4, &word)) return false;
  parsed.Data2 = static_cast<std::uint16_t>(word);
  if (!read_hex(text, 15, 4, &word)) return false;
  parsed.Data3 = static_cast<std::uint16_t>(word);
  constexpr std::size_t kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!read_hex(text, kByteAt[i], 2, &word)) return false;
    parsed.Data4[i] = static_cast<std::uint8_t>(word);
  }
  *guid = parsed;
  return true;
}

int StringFromGUID2(const GUID& guid, char16_t* out, int size) {
  if (out == nullptr || size < static_cast<int>(kGuidTextLength + 1)) return 0;
  constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  int at = 0;
  auto put_hex = [&](std::uint32_t value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
      out[at++] = kDigits[value >> shift & 0xF];
  };
  out[at++] = u'{';
  put_hex(guid.Data1, 8);
  out[at++] = u'-';
  put_hex(guid.Data2, 4);
  out[at++] = u'-';
  put_hex(guid.Data3, 4);
  out[at++] = u'-';
  put_hex(guid.Data4[0], 2);
  put_hex(guid.Data4[1], 2);
  out[at++] = u'-';
  for (int i = 2; i < 8; ++i)
    put_hex(guid.Data4[i], 2);
  out[at++] = u'}';
  out[at++] = u'\0';
  return at;
}
