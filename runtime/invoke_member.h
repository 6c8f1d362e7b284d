// invoke_member: one IDispatch::Invoke with runtime-typed arguments, the step that every member
// call of the automation bridge shares.
#pragma once

#include <cstdint>

#include "platform/com/unknown.h"
#include "runtime/runtime.h"

// Calls member `id` of `dispatch` with `flags` and the first `count` of `args` (first first),
// writing `result` when it is not null. The member's type description, when the instance offers
// one, tells which parameters it declares by reference; each argument is converted to a VARIANT
// accordingly, the VARIANTs go to Invoke last-first, and afterwards what the conversion made is
// released and by-reference texts (and logicals) are written back to the caller's variables.
// A property write passes its value as the named argument DISPID_PROPERTYPUT, and becomes a
// by-reference write (DISPATCH_PROPERTYPUTREF) when an object goes by reference. Returns Invoke's
// result; E_INVALIDARG when `count` exceeds the arguments given.
HRESULT invoke_member(IDispatch* dispatch, DISPID id, std::uint16_t flags, VARIANT* result,
                      std::uint32_t count, TypedArgs args);
