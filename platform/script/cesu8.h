// Strings at the boundary of the script engine: UTF-16 outside, CESU-8 inside.
//
// The engine keeps a string as the UTF-8 forms of its UTF-16 code units taken one at a time, so a
// character beyond the BMP is two 3-byte sequences, one per surrogate (CESU-8). Strings it builds
// itself are always in that form; a string pushed from C may also hold 4-byte UTF-8 sequences.
// Raw bytes such as GBK must never reach it: a string whose first byte is 0x80-0x82 or 0xFF is an
// internal symbol to the engine.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The CESU-8 form of `text`: each code unit on its own, lone surrogates included.
[[nodiscard]] std::string cesu8_from_utf16(std::u16string_view text);

// How many UTF-16 code units `text` (CESU-8, or UTF-8 with 4-byte sequences) decodes to: one
// for each 1- to 3-byte sequence, two for each 4-byte one, and one for each byte that starts no
// complete sequence.
[[nodiscard]] std::size_t utf16_length_of_cesu8(std::string_view text);

// Decodes `text` into `out`, which has room for utf16_length_of_cesu8(text) units. A 4-byte
// sequence becomes its surrogate pair, so pairs come out joined whichever form went in; a byte
// that starts no complete sequence becomes U+FFFD.
void utf16_from_cesu8(std::string_view text, char16_t* out);
