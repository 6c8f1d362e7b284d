// Conversions between the system's texts (GBK, code page 936), UTF-16 and UTF-8.
//
// UTF-16 travels in byte sets of UTF-16LE units, two bytes each; the conversions to UTF-16 count
// the terminating zero unit in the byte set's length (ansi_to_utf16 may leave it out). Byte sets
// arrive as views of their bytes (byte_set_bytes gives them for a raw block); texts arrive as
// their blocks, null for the empty text. Every result is new and owned by the caller; none of the
// conversions reports an error: a failed conversion gives the empty result.
//
// What the code pages cannot convert is substituted as MultiByteToWideChar and
// WideCharToMultiByte substitute it (platform/codepage/codepage.h): U+FFFD for malformed input,
// "?" for each UTF-16 unit that the target code page lacks.
//
//   ByteSet wide_url = ansi_to_utf16(url.get());
//   Text header_block = utf16_to_ansi(header_buffer.bytes());
//   Text answer = utf8_to_ansi(body.get());
#pragma once

#include <cstdint>

#include "platform/codepage/codepage.h"
#include "runtime/byte_set_commands.h"
#include "runtime/runtime.h"

// Whether a conversion to UTF-16 keeps the terminating zero unit.
enum class Terminator : std::uint8_t { keep, drop };

// The UTF-16 units of a GBK text and its terminating zero unit, or without the terminator when
// `terminator` is drop. An empty text (null or of length 0) gives an empty byte set whatever
// `terminator` says.
//   ansi_to_utf16("a") -> 61 00 00 00;  ansi_to_utf16("\xD6\xD0", Terminator::drop) -> 2D 4E
[[nodiscard]] ByteSet ansi_to_utf16(const char* text, Terminator terminator = Terminator::keep);

// The GBK text of the UTF-16 units in `bytes` (an odd last byte is ignored), converted with
// WC_COMPOSITECHECK, up to the first zero byte of the result. Units without a terminator (a host
// name cut out of an address) are converted exactly; a terminator ends the text.
//   utf16_to_ansi(61 00 00 00 62 00) -> "a"
[[nodiscard]] Text utf16_to_ansi(ByteView bytes);

// The GBK text of a UTF-8 text: what utf16_to_multibyte(multibyte_to_utf16(text, CP_UTF8), CP_GBK)
// gives, converted without the whole text's UTF-16 units, so it takes at most the room of the
// text twice. Malformed UTF-8 turns into "?" as its U+FFFD substitutes do. An empty text gives an
// empty text.
//   utf8_to_ansi("\xE4\xB8\xAD") -> "\xD6\xD0"
[[nodiscard]] Text utf8_to_ansi(const char* text);

// The UTF-16 units of a text in `code_page` (default UTF-8) with the terminating zero unit. A
// null text gives an empty byte set; the non-null empty text gives the terminator alone.
[[nodiscard]] ByteSet multibyte_to_utf16(const char* text, std::uint32_t code_page = CP_UTF8);

// The text in `code_page` (default 0, the system ANSI code page) of the UTF-16 string in
// `bytes`, up to its first zero unit. A byte set without a zero unit is converted whole: the
// conversion never reads past the set. An empty byte set gives an empty text.
[[nodiscard]] Text utf16_to_multibyte(ByteView bytes, std::uint32_t code_page = CP_ACP);
