// Texts from the music service as the listing shows them.
#pragma once

#include "runtime/runtime.h"

// `text` with each control character (bytes 0x01 to 0x1F and 0x7F) but the tab replaced by "?". A
// member of an answer is shown, never obeyed: an escape sequence in a file name would steer the
// terminal, and a line end in it would start a forged entry; a tab does neither, and is shown. GBK
// trail bytes never fall in that range, so double-byte characters stay whole. The block is changed
// in place, so it must be one from mem_alloc, not a static text; null stays null.
[[nodiscard]] Text without_control_characters(Text text);
