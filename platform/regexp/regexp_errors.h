// The failure codes of the regular-expression component, as the platform's component reports
// them (its script errors in the FACILITY_CONTROL range).
#pragma once

#include "platform/base/hresult.h"

// Error 5017, "Syntax error in regular expression": Execute, Replace and Test with a pattern
// outside the syntax.
inline constexpr HRESULT E_REGEXP_SYNTAX = hresult_from_bits(0x800A139A);

// Error 5, "Invalid procedure call or argument": an Item index outside the collection.
inline constexpr HRESULT E_REGEXP_INVALID_ARGUMENT = hresult_from_bits(0x800A0005);

// Error 28, "Out of stack space", which runaway backtracking ends in on the platform: here the
// matcher's match or heap limit stopped it.
inline constexpr HRESULT E_REGEXP_TOO_COMPLEX = hresult_from_bits(0x800A001C);
