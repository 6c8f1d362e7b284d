// Conversions between Text (system ANSI code page, GBK) and UTF-16 for the automation bridge.
#pragma once

#include "platform/com/bstr.h"
#include "runtime/runtime.h"

// A new BSTR of `text`, converted whole in the system ANSI code page. Null for a null `text` or
// when the conversion reports no length; the non-null empty text gives an empty, non-null BSTR.
[[nodiscard]] UniqueBstr ansi_to_wide(const char* text);

// A new Text of the NUL-terminated UTF-16 `text` (up to its first NUL) in the system ANSI code
// page; characters the code page lacks become "?". Null for a null `text` or when the conversion
// reports no length; the empty string gives a non-null empty Text. Allocated with mem_alloc.
[[nodiscard]] Text wide_to_ansi(const char16_t* text);
