#include "platform/script/cesu8.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool is_continuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// One decoded sequence: its code point and its length in bytes; length 1 and U+FFFD for a byte
// that starts no complete sequence.
struct Sequence {
  char32_t code_point;
  std::size_t length;
};

Sequence next_sequence(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1};
  std::size_t length = 0;
  char32_t code_point = 0;
  if (lead >= 0xC0 && lead < 0xE0) {
    length = 2;
    code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    length = 3;
    code_point = lead & 0x0F;
  } else if (lead >= 0xF0 && lead < 0xF8) {
    length = 4;
    code_point = lead & 0x07;
  } else {
    return {kReplacement, 1};
  }
  if (text.size() - at < length) return {kReplacement, 1};
  for (std::size_t k = 1; k < length; ++k) {
    const auto byte = static_cast<unsigned char>(text[at + k]);
    if (!is_continuation(byte)) return {kReplacement, 1};
    code_point = (code_point << 6) | (byte & 0x3F);
  }
  if (code_point > 0x10FFFF) return {kReplacement, length};
  return {code_point, length};
}

}  // namespace

std::string cesu8_from_utf16(std::u16string_view text) {
  std::size_t size = 0;
  for (const char16_t unit : text)
    size += unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
  std::string out(size, '\0');
  char* write = out.data();
  for (const char16_t unit : text) {
    if (unit < 0x80) {
      *write++ = static_cast<char>(unit);
    } else if (unit < 0x800) {
      *write++ = static_cast<char>(0xC0 | (unit >> 6));
      *write++ = static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      *write++ = static_cast<char>(0xE0 | (unit >> 12));
      *write++ = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      *write++ = static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return out;
}

std::size_t utf16_length_of_cesu8(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t at = 0; at < text.size();) {
    if (static_cast<unsigned char>(text[at]) < 0x80) {
      ++units;
      ++at;
      continue;
    }
    const Sequence sequence = next_sequence(text, at);
    units += sequence.code_point > 0xFFFF ? 2 : 1;
    at += sequence.length;
  }
  return units;
}

void utf16_from_cesu8(std::string_view text, char16_t* out) {
  for (std::size_t at = 0; at < text.size();) {
    if (static_cast<unsigned char>(text[at]) < 0x80) {
      *out++ = static_cast<char16_t>(text[at++]);
      continue;
    }
    const Sequence sequence = next_sequence(text, at);
    if (sequence.code_point > 0xFFFF) {
      const char32_t offset = sequence.code_point - 0x10000;
      *out++ = static_cast<char16_t>(0xD800 + (offset >> 10));
      *out++ = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
    } else {
      *out++ = static_cast<char16_t>(sequence.code_point);
    }
    at += sequence.length;
  }
}
