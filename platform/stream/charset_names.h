// Charset names as the platform reads them, and the ICU converters that stand behind them.
//
// The platform knows its charset names from its own table of Internet charset names, in which
// several names mean something other than what ICU reads them as: "gb2312", "gbk" and "cp936" are
// code page 936 (windows-936-2000), "shift_jis" is windows-31j, "ks_c_5601-1987" and "euc-kr" are
// code page 949, "iso-8859-1" is code page 1252, "unicode" and "utf-16" are UTF-16LE, and
// "unicodeFFFE" is UTF-16BE. Those are looked up in that table; every other name goes to ICU's
// own list of aliases. Names compare without regard to the case of ASCII letters.
#pragma once

#include <span>
#include <string>
#include <string_view>

// The name of the ICU converter for `charset`, canonical as ICU spells it; empty for a name that
// neither the table nor ICU knows, and for one with characters other than ASCII letters,
// digits, "-", "_", "." and ":".
[[nodiscard]] std::string converter_for_charset(std::u16string_view charset);

// The byte-order mark that text in the converter `converter` (as converter_for_charset names it)
// starts with when it has one: EF BB BF for UTF-8, FF FE for UTF-16LE, FE FF for UTF-16BE; none
// for every other converter.
[[nodiscard]] std::span<const unsigned char> byte_order_mark(std::string_view converter);
