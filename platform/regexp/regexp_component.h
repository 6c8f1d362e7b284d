// "VBScript.RegExp": the regular-expression component, over PCRE2's 16-bit library.
//
// Members of a new instance (registered by register_regexp_component):
//   Pattern     text property; a new instance has the empty pattern (read back as a null BSTR)
//   IgnoreCase, Global, Multiline
//               logical properties, false on a new instance. There is no "Singleline": its name
//               lookup fails with DISP_E_UNKNOWNNAME.
//   Execute(s)  a match collection of the matches in s (every match with Global, else the
//               first); see match_objects.h
//   Replace(s, r)  s with the matches replaced by r, in the replacement syntax of replacement.h
//   Test(s)     whether s holds a match
// The pattern syntax is that of pattern_translation.h. Execute, Replace and Test fail with
// E_REGEXP_SYNTAX for a pattern outside it, and with E_REGEXP_TOO_COMPLEX when matching is stopped
// by its limits. An instance keeps its compiled pattern until Pattern, IgnoreCase or Multiline
// changes.
//
// Known deviations from the platform's component: in a repeated group a group keeps the text of
// an earlier iteration where the platform resets it; IgnoreCase follows Unicode's case folding, so
// that "k" also matches the Kelvin sign and "s" the long s; quantifier counts above 65535 and
// groups nested more than 250 deep fail as syntax errors; and matching that runs past its limits
// fails instead of running on.
#pragma once

#include <cstdint>

#include "platform/com/unknown.h"
#include "platform/regexp/regexp_errors.h"

inline constexpr CLSID kRegExpClsid{
    0x7C0A3E51, 0x52D4, 0x4B8E, {0xA1, 0x6F, 0x2B, 0x90, 0x4C, 0x17, 0xE3, 0x58}};

// Registers the component under its ProgID and CLSID; again is harmless.
void register_regexp_component();

// How many of the component's objects (expressions, match collections, matches, group lists) are
// alive on this thread.
[[nodiscard]] std::int32_t regexp_objects_alive();
