// Recognising the statement  var NAME=eval(LITERAL)  whose LITERAL may be a JSON object or array.
//
// Global code of exactly this shape declares NAME and assigns it the value of LITERAL: eval of an
// object returns it unchanged. When LITERAL is JSON text, the engine's JSON decoder builds that
// value an order of magnitude faster than the compiler, and builds the same value: members in
// order, a repeated key keeping its first place and its last value, "__proto__" as a plain own
// member, the same numbers. The one JSON text that is no script literal is a string holding a raw
// U+2028 or U+2029 (a line terminator inside a script string), so such a text is not recognised.
#pragma once

#include <optional>
#include <string_view>

struct LiteralAssignment {
  std::u16string_view name;     // an identifier of ASCII letters, digits, "_" and "$"
  std::u16string_view literal;  // everything between "eval(" and the final ")"
};

// The parts of `source` when it reads "var " NAME "=eval(" LITERAL ")" exactly, NAME is an
// identifier that is no reserved word, and LITERAL begins, after JSON blanks, with "{" or "[" and
// holds no U+2028 or U+2029. Whether LITERAL is JSON text is left to the decoder.
[[nodiscard]] std::optional<LiteralAssignment> as_literal_assignment(std::u16string_view source);
