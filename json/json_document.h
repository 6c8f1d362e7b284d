// JsonDocument: a JSON document held as one variable inside a JavaScript engine of its own.
//
// The document owns an instance of the script-control component ("MSScriptControl.ScriptControl")
// and keeps its whole value in the engine's global variable named by `script_var` ("da"). Every
// operation joins fixed script fragments, that name and the caller's path or value into a short
// script text and has the engine evaluate it, so a path is any script member expression
// (data.info[0].hash, a.b, list[3]) and anything else simply fails. No operation reports an
// error: a failed evaluation gives the operation's empty result (empty Text, 0, false, -1 for
// type_of, nothing changed). Texts are GBK.
//
// Loading (`parse`) starts a fresh engine, so nothing of earlier content survives, and admits
// only a JSON text (json_text_check.h): anything else loads as a script syntax error would,
// leaving the variable null. Every engine runs under a memory cap and a time-out per call; an
// object or array text too long to fit under that cap fails the same way, before it is copied.
//
// The object is a block from mem_alloc whose first word points at its table of 25 operations:
// destroy, clone and init_engine, then the methods of JSON_DOCUMENT_METHODS, from which the
// table's slots, the operations' declarations and the owner's methods are all written. destroy
// and clone receive the object itself; every other operation receives the address of the
// variable that holds the object. Calls between operations go through the table.
//
//   JsonDocument answer;
//   if (answer.parse(body.view())) Text hash = answer.get_text("data.info[0].hash");
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/automation_object.h"
#include "runtime/object_owner.h"
#include "runtime/runtime.h"

// The type codes of type_of, and the kinds reset takes.
enum class JsonValueType : std::int32_t {
  other = -1,  // a function or other script value, or an expression that failed
  null = 0,    // null or undefined (a missing member)
  boolean = 1,
  number = 2,
  object = 4,  // an object whose JSON text does not begin with "["
  array = 5,
  string = 6,
};

struct JsonDocumentObject;
using JsonDocumentVariable = JsonDocumentObject**;

// The methods of the table after destroy, clone and init_engine, in slot order, as
//   X(kind, name, result, (parameters), (arguments)[, result without a document])
// where kind is `query` (the result is the point), `action` (it changes the document and tells
// how that went) or `edit` (it changes the document and gives nothing). OPTIONAL(type, name) is
// a parameter the caller may leave out: std::optional<type>, which the owner defaults to
// std::nullopt.
//
// "Dotted" paths are joined as V + "." + P (an empty or "["-led path fails); "dotted unless
// bracket" joins a "["-led path directly (P "[0]" reads the first element of a root array);
// "root or dotted" means the whole document for an empty path.
//
// clang-format off
#define JSON_DOCUMENT_METHODS(X, OPTIONAL)                                                         \
  /* Replaces the document by the value `text` holds, in a fresh engine: true when that value is   \
     neither null nor undefined. An empty text leaves it undefined; a text that is not JSON,       \
     null. A JSON string's contents are evaluated (and must be JSON themselves). False without     \
     engine. */                                                                                    \
  X(action, parse, bool, (std::string_view text), (text), false)                                   \
  /* The whole document as compact JSON text; empty when it is undefined or has no engine. */      \
  X(query, to_json, Text, (), (), Text())                                                          \
  /* Stores `value` at the dotted `path`: as a string in single quotes (no escaping: a quote or    \
     line break in it fails the statement, a backslash starts an escape), or with `as_literal`     \
     as the value of eval(value) ("{}" for an empty value). */                                     \
  X(edit, set_text, void,                                                                          \
    (std::string_view path, std::string_view value, OPTIONAL(bool, as_literal)),                   \
    (path, value, as_literal))                                                                     \
  /* Stores the value of eval(expression) at the dotted `path`. */                                 \
  X(edit, set_expression, void, (std::string_view path, std::string_view expression),              \
    (path, expression))                                                                            \
  /* Stores `number`, written as value-to-text writes doubles (six decimals at most), at           \
     `path`. */                                                                                    \
  X(edit, set_number, void, (std::string_view path, double number), (path, number))                \
  /* The number (or boolean, as 1 or 0) at the dotted `path`; 0 for anything else. */              \
  X(query, get_number, double, (std::string_view path), (path), 0.0)                               \
  /* The JSON text of the value at the dotted `path`. */                                           \
  X(query, get_json, Text, (std::string_view path), (path), Text())                                \
  /* The value at `path` (dotted unless bracket) as text: a string as it is, a number as           \
     value-to-text writes it (only on a dotted path), anything else empty; with `as_json` its      \
     JSON text (a string in quotes). */                                                            \
  X(query, get_text, Text, (std::string_view path, OPTIONAL(bool, as_json)), (path, as_json),      \
    Text())                                                                                        \
  /* A new document holding a deep copy of the value at `path` (dotted unless bracket); for a      \
     missing value, a document whose load of the empty text failed. */                             \
  X(query, get_member, JsonDocumentObject*, (std::string_view path), (path), nullptr)              \
  /* How many members or elements the value at `path` has (root, or dotted unless bracket). */     \
  X(query, count, std::int32_t, (OPTIONAL(std::string_view, path)), (path), 0)                     \
  /* Pushes `value` (quoted unless `as_literal`) onto the array at `path` (root or dotted),        \
     which becomes a new empty array first when it is not one. */                                  \
  X(edit, append, void,                                                                            \
    (std::string_view value, OPTIONAL(std::string_view, path), OPTIONAL(bool, as_literal)),        \
    (value, path, as_literal))                                                                     \
  /* A new document holding a deep copy of element `index` (from 0) of the array at `path`. */     \
  X(query, get_element, JsonDocumentObject*,                                                       \
    (std::int32_t index, OPTIONAL(std::string_view, path)), (index, path), nullptr)                \
  /* Element `index` of the array at `path` as a string (empty for any other value), or with       \
     `as_json` its JSON text. */                                                                   \
  X(query, get_element_text, Text,                                                                 \
    (std::int32_t index, OPTIONAL(std::string_view, path), OPTIONAL(bool, as_json)),               \
    (index, path, as_json), Text())                                                                \
  /* Stores `value` (quoted unless `as_literal`) as element `index` of the root. */                \
  X(edit, set_element, void,                                                                       \
    (std::int32_t index, std::string_view value, OPTIONAL(bool, as_literal)),                      \
    (index, value, as_literal))                                                                    \
  /* Removes element `index` of the root array. */                                                 \
  X(edit, remove_element, void, (std::int32_t index), (index))                                     \
  /* Deletes the member at the dotted `path`. */                                                   \
  X(edit, remove_member, void, (std::string_view path), (path))                                    \
  /* Makes the document an empty object (null or object kind) or empty array (array kind); any     \
     other kind changes nothing. */                                                                \
  X(edit, reset_to, void, (JsonValueType kind), (kind))                                            \
  /* Replaces the whole document by `value` (quoted unless `as_literal`). */                       \
  X(edit, set_root, void, (std::string_view value, OPTIONAL(bool, as_literal)),                    \
    (value, as_literal))                                                                           \
  /* Whether the value at the dotted `path` is neither null nor undefined. */                      \
  X(query, has_member, bool, (std::string_view path), (path), false)                               \
  /* Fills `names` (its old array freed) with the names a for-in loop visits on the value at       \
     `path` (root or dotted), less the primer's toJSONString and parseJSON; returns their          \
     count. */                                                                                     \
  X(action, member_names, std::int32_t,                                                            \
    (ValueArray& names, OPTIONAL(std::string_view, path)), (names, path), 0)                       \
  /* The type of the value at `path` (root or dotted); `other` without a document. */              \
  X(query, type_of, JsonValueType, (OPTIONAL(std::string_view, path)), (path),                     \
    JsonValueType::other)                                                                          \
  /* Makes the document an empty object. */                                                        \
  X(edit, clear, void, (), ())
// clang-format on

// Helpers that write the list out. JSON_DOCUMENT_PREPEND(first, (items)) is (first, items), or
// (first) for an empty list.
#define JSON_DOCUMENT_PREPEND(first, list) \
  JSON_DOCUMENT_PREPEND_ITEMS(first, JSON_DOCUMENT_ITEMS list)
#define JSON_DOCUMENT_ITEMS(...) __VA_ARGS__
#define JSON_DOCUMENT_PREPEND_ITEMS(first, ...) (first __VA_OPT__(, ) __VA_ARGS__)
#define JSON_DOCUMENT_OPTIONAL(type, name) std::optional<type> name
#define JSON_DOCUMENT_OPTIONAL_OMITTED(type, name) std::optional<type> name = std::nullopt

// The table of operations, in slot order.
struct JsonDocumentOperations {
  // Releases the engine (a clone may still hold it), leaves the apartment once and frees the
  // name and the holder; the owner frees the block afterwards.
  void (*destroy)(JsonDocumentObject* self);
  // A new document (from mem_alloc) sharing this one's engine, so that changes through either
  // show in both until one of them parses.
  JsonDocumentObject* (*clone)(JsonDocumentObject* self);
  // Enters the apartment, creates the engine, sets its language, adds the primer and makes the
  // document an empty object. Nothing is checked: a missing component leaves the holder empty.
  void (*init_engine)(JsonDocumentVariable self);

#define JSON_DOCUMENT_SLOT(kind, name, result, parameters, arguments, ...) \
  result(*name) JSON_DOCUMENT_PREPEND(JsonDocumentVariable self, parameters);
  JSON_DOCUMENT_METHODS(JSON_DOCUMENT_SLOT, JSON_DOCUMENT_OPTIONAL)
#undef JSON_DOCUMENT_SLOT
};

struct JsonDocumentObject {
  const JsonDocumentOperations* operations;
  Text script_var;          // the engine variable's name: the constant "da"
  AutomationObject engine;  // the holder of the document's script-control instance
};

inline constexpr std::size_t kJsonDocumentSlotSize = sizeof(void (*)());
static_assert(offsetof(JsonDocumentOperations, parse) == 3 * kJsonDocumentSlotSize);
static_assert(offsetof(JsonDocumentOperations, reset_to) == 19 * kJsonDocumentSlotSize);
static_assert(offsetof(JsonDocumentOperations, clear) == 24 * kJsonDocumentSlotSize);
static_assert(sizeof(JsonDocumentOperations) == 25 * kJsonDocumentSlotSize);
static_assert(sizeof(JsonDocumentObject) == 3 * sizeof(void*));

extern const JsonDocumentOperations kJsonDocumentOperations;

// A new document built as the declaring code builds it: a zero-filled block, its table, a new
// holder, the name "da", then init_engine through the table. Never null.
[[nodiscard]] JsonDocumentObject* json_document_new();

// The owner of one document: builds it, calls its operations through the table, and at the end
// runs destroy through the table and frees the block. A moved-from owner is empty, and its
// methods then return their results without a document. Its methods are the list's, each
// running its slot of the table; reset_to is the table's reset (the owner's reset is another).
class JsonDocument : public ObjectOwner<JsonDocument, JsonDocumentObject> {
 public:
  using ObjectOwner::ObjectOwner;
  JsonDocument() : ObjectOwner(json_document_new()) {}

#define JSON_DOCUMENT_METHOD_query(name, result, parameters, arguments, no_document) \
  [[nodiscard]] JSON_DOCUMENT_METHOD_action(name, result, parameters, arguments, no_document)
#define JSON_DOCUMENT_METHOD_action(name, result, parameters, arguments, no_document)          \
  Returned<result> name parameters {                                                           \
    return call_or JSON_DOCUMENT_PREPEND(no_document,                                          \
                                         JSON_DOCUMENT_PREPEND(&Operations::name, arguments)); \
  }
#define JSON_DOCUMENT_METHOD_edit(name, result, parameters, arguments) \
  void name parameters {                                               \
    call JSON_DOCUMENT_PREPEND(&Operations::name, arguments);          \
  }
#define JSON_DOCUMENT_METHOD(kind, name, ...) JSON_DOCUMENT_METHOD_##kind(name, __VA_ARGS__)
  JSON_DOCUMENT_METHODS(JSON_DOCUMENT_METHOD, JSON_DOCUMENT_OPTIONAL_OMITTED)
#undef JSON_DOCUMENT_METHOD
#undef JSON_DOCUMENT_METHOD_edit
#undef JSON_DOCUMENT_METHOD_action
#undef JSON_DOCUMENT_METHOD_query
};
