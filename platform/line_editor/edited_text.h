// The editor's lines as the system takes them: the editor's characters are UCS-4 (wchar_t) in
// every locale; the system's texts are GBK, and the history file is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// `wide` in the code page `code_page` (CP_GBK or CP_UTF8, platform/codepage/codepage.h); a
// character the code page lacks becomes "?".
[[nodiscard]] std::string from_wide(std::wstring_view wide, std::uint32_t code_page);

// UTF-8 `utf8` as wide characters; malformed bytes become U+FFFD.
[[nodiscard]] std::wstring from_utf8(std::string_view utf8);

// The line as a keyword can hold it: no line end and no other C0 or C1 control character, so no
// escape sequence either.
[[nodiscard]] std::wstring without_controls(std::wstring_view line);
