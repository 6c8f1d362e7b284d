// The operations of JsonDocument's table and the steps they share; internal to json/.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "json/json_document.h"
#include "runtime/bridge.h"

// ---------------------------------------------------------------------------------------------
// Calls into the document's engine: "Eval" of a script text through the bridge command that
// each operation names. A document without engine gets the bridge's empty results.

inline void eval_dropping(JsonDocumentObject& self, const Text& script) {
  call_method(self.engine, "Eval", {script.arg()});
}
[[nodiscard]] inline Text eval_text(JsonDocumentObject& self, const Text& script) {
  return call_method_text(self.engine, "Eval", {script.arg()});
}
[[nodiscard]] inline double eval_number(JsonDocumentObject& self, const Text& script) {
  return call_method_number(self.engine, "Eval", {script.arg()});
}
[[nodiscard]] inline bool eval_logical(JsonDocumentObject& self, const Text& script) {
  return call_method_logical(self.engine, "Eval", {script.arg()});
}

// ---------------------------------------------------------------------------------------------
// Joining paths to the variable name V.

// S: nothing before a path that begins with "[", else ".".
[[nodiscard]] inline std::string_view separator_for(std::string_view path) {
  return path.starts_with('[') ? std::string_view{} : std::string_view{"."};
}

// ---------------------------------------------------------------------------------------------
// The query and edit operations of the table, defined in json_queries.cpp.

void json_set_text(JsonDocumentVariable self, std::string_view path, std::string_view value,
                   std::optional<bool> as_literal);
void json_set_expression(JsonDocumentVariable self, std::string_view path,
                         std::string_view expression);
void json_set_number(JsonDocumentVariable self, std::string_view path, double number);
double json_get_number(JsonDocumentVariable self, std::string_view path);
Text json_get_json(JsonDocumentVariable self, std::string_view path);
Text json_get_text(JsonDocumentVariable self, std::string_view path, std::optional<bool> as_json);
JsonDocumentObject* json_get_member(JsonDocumentVariable self, std::string_view path);
std::int32_t json_count(JsonDocumentVariable self, std::optional<std::string_view> path);
void json_append(JsonDocumentVariable self, std::string_view value,
                 std::optional<std::string_view> path, std::optional<bool> as_literal);
JsonDocumentObject* json_get_element(JsonDocumentVariable self, std::int32_t index,
                                     std::optional<std::string_view> path);
Text json_get_element_text(JsonDocumentVariable self, std::int32_t index,
                           std::optional<std::string_view> path, std::optional<bool> as_json);
void json_set_element(JsonDocumentVariable self, std::int32_t index, std::string_view value,
                      std::optional<bool> as_literal);
void json_remove_element(JsonDocumentVariable self, std::int32_t index);
void json_remove_member(JsonDocumentVariable self, std::string_view path);
void json_reset(JsonDocumentVariable self, JsonValueType kind);
void json_set_root(JsonDocumentVariable self, std::string_view value,
                   std::optional<bool> as_literal);
bool json_has_member(JsonDocumentVariable self, std::string_view path);
std::int32_t json_member_names(JsonDocumentVariable self, ValueArray* names,
                               std::optional<std::string_view> path);
JsonValueType json_type_of(JsonDocumentVariable self, std::optional<std::string_view> path);
void json_clear(JsonDocumentVariable self);
