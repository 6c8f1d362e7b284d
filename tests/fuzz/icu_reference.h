// The reference that the code-page conversions are fuzzed against: ICU's windows-936-2000
// converter, writing "?" for each UTF-16 unit of a character the code page lacks.
#pragma once

#include <string>
#include <string_view>

// `units` in code page 936.
std::string icu_gbk_from_utf16(std::u16string_view units);
// `utf8` converted to code page 936 directly, malformed sequences as ICU's UTF-8 converter reads
// them.
std::string icu_gbk_from_utf8(std::string_view utf8);
