// What a script engine's call hands back across the automation boundary: the value a script left
// as a VARIANT, and the error it raised as a result code.
//
// Values, as the platform's script control gives them:
//   undefined                 VT_EMPTY
//   null                      VT_NULL
//   boolean                   VT_BOOL
//   number                    VT_I4 when it is whole and within the 32-bit range (-0 too), else
//                             VT_R8 (NaN and the infinities included)
//   string                    VT_BSTR, converted exactly from the engine's CESU-8 (pairs joined)
//   object, function, other   VT_EMPTY: no script object outlives the call that produced it, so
//                             none is handed out (the platform's component answers VT_DISPATCH)
//
// Errors, as the platform's JavaScript engine numbers them (error 1004 is 0x800A03EC):
//   SyntaxError 0x800A03EC, TypeError 0x800A138F, ReferenceError 0x800A1391, RangeError
//   0x800A001C ("out of stack space", which is what the engine's recursion limits raise), any
//   other error or thrown value 0x800A139E ("exception thrown and not caught"); a call that ran
//   past its time-out E_ABORT, one whose memory ran out 0x800A0007 ("out of memory").
#pragma once

#include "duktape.h"
#include "platform/base/hresult.h"
#include "platform/com/variant.h"

inline constexpr HRESULT kScriptSyntaxError = hresult_from_bits(0x800A03EC);
inline constexpr HRESULT kScriptTypeError = hresult_from_bits(0x800A138F);
inline constexpr HRESULT kScriptReferenceError = hresult_from_bits(0x800A1391);
inline constexpr HRESULT kScriptRangeError = hresult_from_bits(0x800A001C);
inline constexpr HRESULT kScriptUncaughtException = hresult_from_bits(0x800A139E);
inline constexpr HRESULT kScriptOutOfMemory = hresult_from_bits(0x800A0007);
inline constexpr HRESULT kScriptTimedOut = hresult_from_bits(0x80004004);  // E_ABORT

// How the call that raised an error ended, beyond the error value itself.
enum class CallEnd { error, timed_out, out_of_memory };

// The result code for the error value at `index`, or for how the call ended.
[[nodiscard]] HRESULT script_error_code(duk_context* context, duk_idx_t index, CallEnd end);

// Stores the value at `index` into `*result` (cleared first). S_OK, or E_OUTOFMEMORY when a
// string's BSTR cannot be allocated (the result is then VT_EMPTY).
HRESULT script_value_to_variant(duk_context* context, duk_idx_t index, VARIANT* result);
