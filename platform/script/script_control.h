// "MSScriptControl.ScriptControl": the script-control automation component, over ScriptEngine.
//
// Members (identifiers in brackets):
//   Language [1500]      read/write text. Setting "JavaScript" or "JScript" (any letter case)
//                        starts a new engine in place of the old one; setting "" stops it; any
//                        other name fails with CTL_E_INVALIDPROPERTYVALUE and changes nothing.
//                        Reads give the name as it was set ("" at first).
//   AddCode [2000](code) runs `code` as global code; no result.
//   Eval [2001](expr)    evaluates `expr` as eval code and returns its value (script_results.h
//                        gives the VARIANT forms).
// AddCode and Eval fail with E_FAIL while no language is set; a script error, an exhausted
// memory cap or a time-out fails the call with the code script_results.h lists and VT_EMPTY.
// Deviation: script objects come back as VT_EMPTY, not VT_DISPATCH.
#pragma once

#include <cstddef>

#include "platform/base/hresult.h"
#include "platform/com/guid.h"

inline constexpr CLSID kScriptControlClsid{
    0x7A3C5E10, 0x2B4D, 0x4E6F, {0x8A, 0x1B, 0x3C, 0x5D, 0x7E, 0x9F, 0x0A, 0x2B}};

inline constexpr HRESULT CTL_E_INVALIDPROPERTYVALUE = hresult_from_bits(0x800A017C);

// The most memory the engine of one instance may hold. AddCode of  var NAME=eval(LITERAL)  with
// an object or array LITERAL holds LITERAL whole as one engine string (CESU-8: one to three bytes
// for each UTF-16 unit) while it builds the value, so a LITERAL whose string form is longer than
// this never loads.
inline constexpr std::size_t kScriptMemoryCap = 96u << 20;

// Registers the component with the class registry; again is harmless.
void register_script_control();
