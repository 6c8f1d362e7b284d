// The terminal's character set, and conversion between it and GBK at the console boundary.
//
// The terminal's character set is the locale's codeset (setlocale(LC_CTYPE, ""), then
// nl_langinfo(CODESET)), read on first use. A GBK-family codeset (GBK, GB2312/EUC-CN, GB18030,
// CP936) takes GBK bytes unchanged; every other codeset is treated as UTF-8.
#pragma once

#include <string>
#include <string_view>

enum class TerminalCharset { gbk, utf8 };

TerminalCharset terminal_charset();

// Reads the locale again; for programs (and tests) that change it after the first use.
void redetect_terminal_charset();

// Whole-text conversions. A GBK text that ends in a lone lead byte converts it to U+FFFD.
std::string gbk_to_terminal(std::string_view gbk);
std::string terminal_to_gbk(std::string_view terminal);

// GBK <-> UTF-8 regardless of the terminal.
std::string gbk_to_utf8(std::string_view gbk);
std::string utf8_to_gbk(std::string_view utf8);
