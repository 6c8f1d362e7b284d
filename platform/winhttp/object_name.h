// The request target that an object name becomes on the wire.
#pragma once

#include <string>
#include <string_view>

// `object_name` escaped as the platform escapes it by default: converted to UTF-8 (a lone
// surrogate as U+FFFD), then each control byte, space, DEL, byte from 0x80 and each of
// " # < > [ \ ] ^ ` { | } written as "%" and two capital hex digits. Every other character
// stays, "%" and the sub-delimiters ! $ & ' ( ) * + , ; = ? @ ~ among them, so an object name
// that is already escaped goes out unchanged. The result is printable ASCII.
//   escape_object_name(u"/a b/ü?q=#1") == "/a%20b/%C3%BC?q=%231"
[[nodiscard]] std::string escape_object_name(std::u16string_view object_name);

// True for a byte that escape_object_name writes as %XX.
[[nodiscard]] constexpr bool is_escaped_in_object_name(unsigned char byte) {
  constexpr std::string_view kEscapedPunctuation = "\"#<>[\\]^`{|}";
  return byte <= 0x20 || byte >= 0x7F ||
         kEscapedPunctuation.find(static_cast<char>(byte)) != std::string_view::npos;
}
