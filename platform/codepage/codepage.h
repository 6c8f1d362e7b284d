// Stand-ins for MultiByteToWideChar and WideCharToMultiByte over ICU converters.
//
// Code pages: 936 is ICU's "windows-936-2000" (Windows' GBK table byte for byte), 65001 is UTF-8,
// and 0 (CP_ACP, the system ANSI code page) is 936. Any other code page fails with 0.
// Contracts kept: a source length of -1 means "up to and including the terminating NUL", which is
// then converted too; a destination size of 0 asks for the needed size; a destination that is too
// small fails with 0. Malformed input decodes to U+FFFD; characters the code page cannot encode
// become "?". Flags are accepted and ignored; the default-character arguments of
// WideCharToMultiByte are not supported (pass null).
#pragma once

#include <cstdint>

inline constexpr std::uint32_t CP_ACP = 0;
inline constexpr std::uint32_t CP_GBK = 936;
inline constexpr std::uint32_t CP_UTF8 = 65001;

int MultiByteToWideChar(std::uint32_t code_page, std::uint32_t flags, const char* source,
                        int source_length, char16_t* destination, int destination_size);

int WideCharToMultiByte(std::uint32_t code_page, std::uint32_t flags, const char16_t* source,
                        int source_length, char* destination, int destination_size,
                        const char* default_char, bool* used_default_char);
