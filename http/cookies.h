// Cookie items and cookie lists: the item of a Set-Cookie line, and the merge of the cookies that
// were sent with those that came back.
//
// A cookie item is one name=value text ("sid=abc"); its name is the part before the first "="
// with blanks trimmed, or the whole item trimmed when it has no "=". A cookie list joins items by
// "; "; as input, items may be separated by ";" with or without blanks. An item whose last 8
// characters are "=deleted" is a deleted cookie. Blanks are the ASCII space and the full-width
// space, as text_trim and text_remove_spaces read them. Names and items compare as exact bytes,
// and a null text equals the empty one. Lists in arguments are one-dimensional ValueArrays of
// Text. Nothing here fails: missing pieces give empty texts or whole items.
//
//   Text item = cookie_from_header_line("Set-Cookie: sid=abc; path=/");  // "sid=abc"
//   Text merged = merge_cookies(cookies, returned_cookies);
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/runtime.h"

// The cookie item of one response header line that contains "Set-Cookie": with a ";" in the
// line, what stands between "Set-Cookie:" (exact letter case) and the first ";" after it;
// without one, the line with every "Set-Cookie:" (any letter case) removed. Either way trimmed of
// blanks. Only the first name=value pair survives; attributes are dropped.
//   "Set-Cookie: lang=zh" -> "lang=zh"
[[nodiscard]] Text cookie_from_header_line(std::string_view line);

// Merges the returned cookies into the sent ones and returns the merged list, which is also left
// in `cookies`; `new_cookies` is left with its blanks removed. Blanks are removed from both lists
// everywhere (inside values too). Every returned item is kept, in order; a sent item follows them
// only when no item before it has its name, so the server's values win and of several sent items
// of one name the first stands. Deleted cookies are then left out, and exact repeats after the
// first.
//   cookies "a=1; b=2", new_cookies "a=3" -> "a=3; b=2"
//   cookies "a=1; b=2", new_cookies "a=deleted" -> "b=2"
// Costs O(n log n) comparisons for n items.
[[nodiscard]] Text merge_cookies(Text& cookies, Text& new_cookies);

// The name of a cookie item: before the first "=" (the whole item without one), trimmed.
[[nodiscard]] Text cookie_name(std::string_view item);

// True when some element of the text array `list` has the name `name`.
[[nodiscard]] bool cookie_list_has_name(const ValueArray& list, std::string_view name);

// `text` split at `separator` and joined again by it without the items that repeat an earlier one
// exactly. Empty items count as items (an empty one between two separators stays once).
//   remove_duplicate_items("c=1; c=1; d=2", "; ") -> "c=1; d=2"
[[nodiscard]] Text remove_duplicate_items(std::string_view text, std::string_view separator);

// The 1-based index of the first element of the text array `list` equal to `text`; -1 when
// there is none.
[[nodiscard]] std::int32_t find_item(const ValueArray& list, std::string_view text);
