// The automation bridge: creating component instances and calling their members by name with
// runtime-typed arguments.
//
// No command shows a message or ends the program: a failure leaves its result code in the
// holder's `last_result` and yields the command's empty result (empty Text, 0.0, false, a new
// empty holder or a new VT_EMPTY variant). Each member call is self-contained: the holder's
// instance is asked for IDispatch, the name is looked up and the member invoked, every time.
//
// Member calls take TypedArgs: the holder (object), the member name (text), then the member's
// arguments. A call without member arguments still passes one omitted TypedArg; only that single
// trailing omitted argument is dropped. An argument with the by-reference bit passes the address
// of the caller's variable; a by-reference text comes back as the callee's new text.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "runtime/automation_object.h"
#include "runtime/runtime.h"
#include "runtime/variant_value.h"

inline constexpr std::uint32_t kObjectShareCommand = 0x918;
inline constexpr std::uint32_t kObjectCreateCommand = 0x91C;
inline constexpr std::uint32_t kObjectReleaseCommand = 0x924;
inline constexpr std::uint32_t kObjectIsEmptyCommand = 0x928;
inline constexpr std::uint32_t kGetPropertyTextCommand = 0x930;
inline constexpr std::uint32_t kGetPropertyNumberCommand = 0x934;
inline constexpr std::uint32_t kGetPropertyObjectCommand = 0x940;
inline constexpr std::uint32_t kGetPropertyVariantCommand = 0x944;
inline constexpr std::uint32_t kSetPropertyCommand = 0x948;
inline constexpr std::uint32_t kCallMethodCommand = 0x94C;
inline constexpr std::uint32_t kCallMethodVariantCommand = 0x950;
inline constexpr std::uint32_t kCallMethodTextCommand = 0x954;
inline constexpr std::uint32_t kCallMethodNumberCommand = 0x958;
inline constexpr std::uint32_t kCallMethodLogicalCommand = 0x95C;
inline constexpr std::uint32_t kCallMethodObjectCommand = 0x964;

// ---------------------------------------------------------------------------------------------
// Holder commands.

// Fills `holder` with a new running instance of the class named by `name` (a ProgID, or a CLSID
// in braces), releasing what it held first. A non-empty `type_library` path is tried first and
// the class looked up by name in it. True on success. A null `name` gives false with
// `last_result` 0; otherwise a failure leaves the code of the last failing call in `last_result`
// (CLSIDFromString's when the name is neither a registered ProgID nor a CLSID text).
bool object_create(AutomationObject& holder, const char* name, const char* type_library = nullptr);

// Makes `target` hold `source`'s instance too (one more reference), releasing what `target`
// held. Sharing a holder with itself changes nothing; `last_result` of neither changes.
void object_share(AutomationObject& target, const AutomationObject& source);

// Releases the instance (when any); the holder is empty with `last_result` 0.
void object_release(AutomationObject& holder);

// True when the holder has no instance.
[[nodiscard]] bool object_is_empty(const AutomationObject& holder);

// ---------------------------------------------------------------------------------------------
// Member calls (one algorithm; they differ in the Invoke flag and the result rule):
//
//   command               flag  result rule
//   get_property_text     GET   text: only VT_BSTR converts; anything else is the empty Text
//   get_property_number   GET   number: I1 UI1 I2 UI2 I4 UI4 R4 R8 CY DATE BOOL (true is -1.0),
//                               anything else 0.0; no text is parsed
//   get_property_object   GET   object: a new holder of a (by-reference) dispatch or unknown
//                               result, else a new empty holder; its last_result stays 0
//   get_property_variant  GET   variant: the result as it came, in a new heap VARIANT
//   set_property          PUT   true when the call succeeded (the value is the last argument)
//   call_method           METHOD  none
//   call_method_variant   METHOD  variant
//   call_method_text      METHOD  text
//   call_method_number    METHOD  number
//   call_method_logical   METHOD  true only for VT_BOOL with a non-zero value
//   call_method_object    METHOD  object
//
// A null holder, or fewer than two TypedArgs, gives the empty result (with E_INVALIDARG in
// `last_result` when there is a holder).

[[nodiscard]] Text get_property_text(TypedArgs args);
[[nodiscard]] double get_property_number(TypedArgs args);
[[nodiscard]] AutomationObject get_property_object(TypedArgs args);
[[nodiscard]] VariantValue get_property_variant(TypedArgs args);
bool set_property(TypedArgs args);
void call_method(TypedArgs args);
[[nodiscard]] VariantValue call_method_variant(TypedArgs args);
[[nodiscard]] Text call_method_text(TypedArgs args);
[[nodiscard]] double call_method_number(TypedArgs args);
[[nodiscard]] bool call_method_logical(TypedArgs args);
[[nodiscard]] AutomationObject call_method_object(TypedArgs args);

// The same commands for C++ callers: the holder, the member name and the member arguments.
//   Text found = call_method_text(engine, "Eval", {TypedArg::text(expression)});
using MemberArgs = std::initializer_list<TypedArg>;
[[nodiscard]] Text get_property_text(AutomationObject& holder, const char* name,
                                     MemberArgs args = {});
[[nodiscard]] double get_property_number(AutomationObject& holder, const char* name,
                                         MemberArgs args = {});
[[nodiscard]] AutomationObject get_property_object(AutomationObject& holder, const char* name,
                                                   MemberArgs args = {});
[[nodiscard]] VariantValue get_property_variant(AutomationObject& holder, const char* name,
                                                MemberArgs args = {});
bool set_property(AutomationObject& holder, const char* name, MemberArgs args);
void call_method(AutomationObject& holder, const char* name, MemberArgs args = {});
[[nodiscard]] VariantValue call_method_variant(AutomationObject& holder, const char* name,
                                               MemberArgs args = {});
[[nodiscard]] Text call_method_text(AutomationObject& holder, const char* name,
                                    MemberArgs args = {});
[[nodiscard]] double call_method_number(AutomationObject& holder, const char* name,
                                        MemberArgs args = {});
[[nodiscard]] bool call_method_logical(AutomationObject& holder, const char* name,
                                       MemberArgs args = {});
[[nodiscard]] AutomationObject call_method_object(AutomationObject& holder, const char* name,
                                                  MemberArgs args = {});
