// Translation of the component's pattern syntax into PCRE2's.
//
// The component reads patterns as script regular expressions do: "." is any character but "\n";
// "^" and "$" are the ends of the subject, or with Multiline also the ends of each line (after and
// before "\n" or "\r"); \d \w \s \b are ASCII classes; \xHH, \uHHHH, \cX, \0 and legacy octal
// escapes name characters; \1 to \n refer to groups that exist and are octal escapes or literal
// digits otherwise; any other escaped character stands for itself (so \A, \Z, \h, \K, \Q... are
// plain letters); "{" that does not open a quantifier is a literal; [] never matches and [^]
// matches any character. Lookbehind, named groups, inline flags, atomic groups, comments and
// possessive quantifiers are outside the syntax.
//
// The translation spells every one of these out in PCRE2's syntax, so that it compiles with no
// option but PCRE2_ALLOW_EMPTY_CLASS and PCRE2_MATCH_UNSET_BACKREF (a group that has not taken
// part matches the empty string), plus PCRE2_CASELESS | PCRE2_UCP for IgnoreCase (UCP makes case
// folding reach beyond ASCII; the ASCII classes are kept ASCII by writing them out).
//
//   translate_pattern(u"^\\d+$", {.multiline = true})
//     == u"(?<![^\\n\\r])[0-9]+(?![^\\n\\r])"
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct PatternOptions {
  bool ignore_case = false;
  bool multiline = false;
};

// The pattern in PCRE2's syntax; nullopt when `source` lies outside the component's syntax (a
// quantifier with nothing to repeat, an unknown "(?" group, an unclosed class, a reversed range,
// a trailing backslash). PCRE2 still finds the errors both syntaxes share, such as unbalanced
// parentheses.
[[nodiscard]] std::optional<std::u16string> translate_pattern(std::u16string_view source,
                                                              PatternOptions options);

// The number of capturing groups in a pattern of the component's syntax.
[[nodiscard]] std::uint32_t count_groups(std::u16string_view source);
