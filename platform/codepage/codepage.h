// Stand-ins for MultiByteToWideChar and WideCharToMultiByte over ICU converters.
//
// Code pages: 936 is ICU's "windows-936-2000" (Windows' GBK table byte for byte; it encodes
// through a table read from that converter once, gbk_table.h), 65001 is UTF-8, and 0 (CP_ACP,
// the system ANSI code page) is 936. Any other code page fails with 0.
//
// Contracts kept by both:
//   - a source length of -1 means "up to and including the terminating NUL", which is then
//     converted too; any other length is an explicit count, NULs included; 0 or below -1 fails;
//   - a destination size of 0 measures: the result is the size the conversion needs, and the
//     destination (which may be null) is not touched;
//   - a destination that is too small fails with 0; nothing past the converted result is written.
// Failures answer 0; there is no error code to ask for afterwards.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr std::uint32_t CP_ACP = 0;
inline constexpr std::uint32_t CP_GBK = 936;
inline constexpr std::uint32_t CP_UTF8 = 65001;

// WideCharToMultiByte: compose a base character and the non-spacing mark after it into one
// precomposed character where the code page has one.
inline constexpr std::uint32_t WC_COMPOSITECHECK = 0x200;

// MultiByteToWideChar: converts `source_length` bytes of `source` in `code_page` to UTF-16.
//   flags        must be 0;
//   returns      the number of UTF-16 units written (or needed, when measuring); 0 on failure.
// Malformed input is replaced, never refused. UTF-8: each maximal ill-formed subpart gives one
// U+FFFD (C0 80 gives 2, ED A0 80 and E0 80 80 give 3, F0 80 80 80 gives 4; a lone
// continuation byte, FE or FF give 1; a truncated sequence gives 1 and the next character
// follows). Deviation: the platform gives 2, 2 and 3 for the three-byte and four-byte cases.
// Code page 936: a lead byte without a valid trail byte gives U+FFFD and the trail byte is read
// again as a character of its own.
int MultiByteToWideChar(std::uint32_t code_page, std::uint32_t flags, const char* source,
                        int source_length, char16_t* destination, int destination_size);

// WideCharToMultiByte: converts `source_length` UTF-16 units of `source` to `code_page`.
//   flags        0, or WC_COMPOSITECHECK with code page 936 or 0 (65001 takes no flags);
//   default_char, used_default_char   must be null: substitutes are not configurable here;
//   returns      the number of bytes written (or needed, when measuring); 0 on failure.
// A character the code page cannot encode becomes "?" for each of its UTF-16 units, so a
// surrogate pair gives "??" and a lone surrogate "?". Code page 65001 encodes a lone surrogate
// as U+FFFD.
// With WC_COMPOSITECHECK, a base character followed by a non-spacing mark with which it composes
// canonically is converted as the composed character when the code page encodes that one;
// otherwise both are converted separately (the platform's default, WC_SEPCHARS).
int WideCharToMultiByte(std::uint32_t code_page, std::uint32_t flags, const char16_t* source,
                        int source_length, char* destination, int destination_size,
                        const char* default_char, bool* used_default_char);

// Not a platform call: UTF-8 straight to code page 936, byte for byte what
// WideCharToMultiByte(CP_GBK, 0, ...) makes of what MultiByteToWideChar(CP_UTF8, 0, ...) makes of
// `source`, substitutes included (U+FFFD for malformed UTF-8, then "?" for it and for each unit of
// a character the code page lacks). It passes through a small window of UTF-16 units rather than
// the whole text's, so a long text takes no more room than its two encodings.
//   returns      the number of bytes written into `destination`, at most `capacity`; the result
//                is never longer than `source`, so a capacity of source.size() always fits;
//                -1 when the bytes do not fit or the converters are missing.
[[nodiscard]] std::int64_t convert_utf8_to_gbk(std::string_view source, char* destination,
                                               std::size_t capacity);
