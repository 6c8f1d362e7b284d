// The proof that a text is JSON before a document pastes it into script source.
//
// A load runs  var da=eval(TEXT)  in the document's engine, so whatever TEXT holds is read as
// script. These checks admit only what is harmless there: a JSON text (RFC 8259), or nothing but
// JSON blanks (eval() of nothing leaves the variable undefined). A JSON string is one more case:
// eval of a string runs the string's contents, so those are checked the same way.
//
// Each check is one linear pass with an explicit stack of open brackets, never recursion, so any
// nesting is safe to check. Nesting beyond kMaxJsonDepth is refused: the engine's JSON decoder
// refuses it too, and no answer of the services nests that deep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::size_t kMaxJsonDepth = 1000;

enum class JsonTextKind {
  invalid,  // not a JSON text
  blank,    // empty, or JSON blanks only
  string,   // a JSON string
  other,    // any other JSON text: object, array, number, true, false, null
};

// Checks `text` against the JSON grammar, with one restriction that keeps it a script literal
// too: a string may not hold a raw U+2028 or U+2029 (line terminators to the script engine).
// For a string, its decoded contents are stored into `*contents` when that is not null.
[[nodiscard]] JsonTextKind check_json_text(std::u16string_view text,
                                           std::u16string* contents = nullptr);

// Whether the GBK `text` is safe to load: read as the engine will read it (converted from the
// system ANSI code page to UTF-16), it is blank or a JSON text, and if it is a JSON string, its
// contents are blank or a JSON text as well. An object or array text whose CESU-8 form (one to
// three bytes for each UTF-16 unit) is longer than `largest_literal` is refused too, and without
// being converted when the text itself is longer: that form is never the shorter one.
[[nodiscard]] bool is_loadable_json(std::string_view text, std::size_t largest_literal = SIZE_MAX);
