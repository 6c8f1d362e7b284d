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
// leaving the variable null. Every engine runs under a memory cap and a time-out per call.
//
// The object is a block from mem_alloc whose first word points at its table of 25 operations.
// destroy and clone receive the object itself; every other operation receives the address of
// the variable that holds the object. Calls between operations go through the table.
//
//   JsonDocument answer;
//   if (answer.parse(body.view())) Text hash = answer.get_text("data.info[0].hash");
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "runtime/automation_object.h"
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

// The table of operations, in slot order. "Dotted" paths are joined as V + "." + P (an empty or
// "["-led path fails); "dotted unless bracket" joins a "["-led path directly (P "[0]" reads the
// first element of a root array); "root or dotted" means the whole document for an empty path.
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
  // Replaces the document by the value `text` holds, in a fresh engine: true when that value is
  // neither null nor undefined. An empty text leaves it undefined; a text that is not JSON, null.
  // A JSON string's contents are evaluated (and must be JSON themselves). False without engine.
  bool (*parse)(JsonDocumentVariable self, std::string_view text);
  // The whole document as compact JSON text; empty when it is undefined or has no engine.
  Text (*to_json)(JsonDocumentVariable self);

  // Stores `value` at the dotted `path`: as a string in single quotes (no escaping: a quote or
  // line break in it fails the statement, a backslash starts an escape), or with `as_literal`
  // as the value of eval(value) ("{}" for an empty value).
  void (*set_text)(JsonDocumentVariable self, std::string_view path, std::string_view value,
                   std::optional<bool> as_literal);
  // Stores the value of eval(expression) at the dotted `path`.
  void (*set_expression)(JsonDocumentVariable self, std::string_view path,
                         std::string_view expression);
  // Stores `number`, written as value-to-text writes doubles (six decimals at most), at `path`.
  void (*set_number)(JsonDocumentVariable self, std::string_view path, double number);
  // The number (or boolean, as 1 or 0) at the dotted `path`; 0 for anything else.
  double (*get_number)(JsonDocumentVariable self, std::string_view path);
  // The JSON text of the value at the dotted `path`.
  Text (*get_json)(JsonDocumentVariable self, std::string_view path);
  // The value at `path` (dotted unless bracket) as text: a string as it is, a number as
  // value-to-text writes it (only on a dotted path), anything else empty; with `as_json` its JSON
  // text (a string in quotes).
  Text (*get_text)(JsonDocumentVariable self, std::string_view path, std::optional<bool> as_json);
  // A new document holding a deep copy of the value at `path` (dotted unless bracket); for a
  // missing value, a document whose load of the empty text failed.
  JsonDocumentObject* (*get_member)(JsonDocumentVariable self, std::string_view path);
  // How many members or elements the value at `path` has (root, or dotted unless bracket).
  std::int32_t (*count)(JsonDocumentVariable self, std::optional<std::string_view> path);
  // Pushes `value` (quoted unless `as_literal`) onto the array at `path` (root or dotted), which
  // becomes a new empty array first when it is not one.
  void (*append)(JsonDocumentVariable self, std::string_view value,
                 std::optional<std::string_view> path, std::optional<bool> as_literal);
  // A new document holding a deep copy of element `index` (from 0) of the array at `path`.
  JsonDocumentObject* (*get_element)(JsonDocumentVariable self, std::int32_t index,
                                     std::optional<std::string_view> path);
  // Element `index` of the array at `path` as a string (empty for any other value), or with
  // `as_json` its JSON text.
  Text (*get_element_text)(JsonDocumentVariable self, std::int32_t index,
                           std::optional<std::string_view> path, std::optional<bool> as_json);
  // Stores `value` (quoted unless `as_literal`) as element `index` of the root.
  void (*set_element)(JsonDocumentVariable self, std::int32_t index, std::string_view value,
                      std::optional<bool> as_literal);
  // Removes element `index` of the root array.
  void (*remove_element)(JsonDocumentVariable self, std::int32_t index);
  // Deletes the member at the dotted `path`.
  void (*remove_member)(JsonDocumentVariable self, std::string_view path);
  // Makes the document an empty object (null or object kind) or empty array (array kind); any
  // other kind changes nothing.
  void (*reset)(JsonDocumentVariable self, JsonValueType kind);
  // Replaces the whole document by `value` (quoted unless `as_literal`).
  void (*set_root)(JsonDocumentVariable self, std::string_view value,
                   std::optional<bool> as_literal);
  // Whether the value at the dotted `path` is neither null nor undefined.
  bool (*has_member)(JsonDocumentVariable self, std::string_view path);
  // Fills `*names` (its old array freed) with the names a for-in loop visits on the value at
  // `path` (root or dotted), less the primer's toJSONString and parseJSON; returns their count.
  std::int32_t (*member_names)(JsonDocumentVariable self, ValueArray* names,
                               std::optional<std::string_view> path);
  // The type of the value at `path` (root or dotted).
  JsonValueType (*type_of)(JsonDocumentVariable self, std::optional<std::string_view> path);
  // Makes the document an empty object.
  void (*clear)(JsonDocumentVariable self);
};

struct JsonDocumentObject {
  const JsonDocumentOperations* operations;
  Text script_var;          // the engine variable's name: the constant "da"
  AutomationObject engine;  // the holder of the document's script-control instance
};

inline constexpr std::size_t kJsonDocumentSlotSize = sizeof(void (*)());
static_assert(offsetof(JsonDocumentOperations, clear) == 24 * kJsonDocumentSlotSize);
static_assert(sizeof(JsonDocumentObject) == 3 * sizeof(void*));

extern const JsonDocumentOperations kJsonDocumentOperations;

// A new document built as the declaring code builds it: a zero-filled block, its table, a new
// holder, the name "da", then init_engine through the table. Never null.
[[nodiscard]] JsonDocumentObject* json_document_new();

// The owner of one document: builds it, calls its operations through the table, and at the end
// runs destroy through the table and frees the block. Move-only; a moved-from owner is empty,
// and its methods then return their empty results. Optional parameters are std::optional, as
// the system passes them with a provided flag; each default is the one in the table's comment.
class JsonDocument {
 public:
  JsonDocument() : object_(json_document_new()) {}
  JsonDocument(JsonDocument&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  JsonDocument& operator=(JsonDocument&& other) noexcept {
    reset(other.release());
    return *this;
  }
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;
  ~JsonDocument() { reset(); }

  // Takes ownership of a block built by json_document_new, clone, get_member or get_element
  // (null: an empty owner).
  [[nodiscard]] static JsonDocument adopt(JsonDocumentObject* object) noexcept;

  [[nodiscard]] JsonDocument clone() const;
  bool parse(std::string_view text);
  [[nodiscard]] Text to_json();
  void set_text(std::string_view path, std::string_view value,
                std::optional<bool> as_literal = std::nullopt);
  void set_expression(std::string_view path, std::string_view expression);
  void set_number(std::string_view path, double number);
  [[nodiscard]] double get_number(std::string_view path);
  [[nodiscard]] Text get_json(std::string_view path);
  [[nodiscard]] Text get_text(std::string_view path, std::optional<bool> as_json = std::nullopt);
  [[nodiscard]] JsonDocument get_member(std::string_view path);
  [[nodiscard]] std::int32_t count(std::optional<std::string_view> path = std::nullopt);
  void append(std::string_view value, std::optional<std::string_view> path = std::nullopt,
              std::optional<bool> as_literal = std::nullopt);
  [[nodiscard]] JsonDocument get_element(std::int32_t index,
                                         std::optional<std::string_view> path = std::nullopt);
  [[nodiscard]] Text get_element_text(std::int32_t index,
                                      std::optional<std::string_view> path = std::nullopt,
                                      std::optional<bool> as_json = std::nullopt);
  void set_element(std::int32_t index, std::string_view value,
                   std::optional<bool> as_literal = std::nullopt);
  void remove_element(std::int32_t index);
  void remove_member(std::string_view path);
  void reset_to(JsonValueType kind);
  void set_root(std::string_view value, std::optional<bool> as_literal = std::nullopt);
  [[nodiscard]] bool has_member(std::string_view path);
  std::int32_t member_names(ValueArray& names, std::optional<std::string_view> path = std::nullopt);
  [[nodiscard]] JsonValueType type_of(std::optional<std::string_view> path = std::nullopt);
  void clear();

  [[nodiscard]] JsonDocumentObject* get() const noexcept { return object_; }
  // The variable itself, as the table's methods receive it.
  [[nodiscard]] JsonDocumentVariable variable() noexcept { return &object_; }
  [[nodiscard]] JsonDocumentObject* release() noexcept { return std::exchange(object_, nullptr); }
  // Destroys and frees the held document, then holds `object` instead.
  void reset(JsonDocumentObject* object = nullptr) noexcept;

 private:
  struct Adopted {};
  JsonDocument(Adopted, JsonDocumentObject* object) noexcept : object_(object) {}

  JsonDocumentObject* object_ = nullptr;
};
