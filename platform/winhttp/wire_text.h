// The stand-in's UTF-16 arguments as the bytes that go on the wire, and the wire's bytes back.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/types.h"

// A length argument meaning "up to the terminating NUL".
inline constexpr DWORD kUpToTerminator = 0xFFFFFFFF;

// The first `length` characters of `text`, or up to its NUL for kUpToTerminator; empty for null.
[[nodiscard]] std::u16string_view wide_argument(const char16_t* text,
                                                DWORD length = kUpToTerminator);

// `text` in UTF-8; a lone surrogate becomes U+FFFD, as the platform's own conversion does.
[[nodiscard]] std::string utf8_of(std::u16string_view text);

// `text` in the system ANSI code page (936); characters the code page lacks become "?".
[[nodiscard]] std::string ansi_of(std::u16string_view text);

// `bytes` read in the system ANSI code page; malformed bytes become U+FFFD.
[[nodiscard]] std::u16string wide_of_ansi(std::string_view bytes);
