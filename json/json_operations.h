// The operations of JsonDocument's table and the steps they share; internal to json/.
#pragma once

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
// The methods of the table, one function each under the list's name: parse and to_json in
// json_document.cpp, the query and edit operations in json_queries.cpp.

namespace json_operations {

#define JSON_OPERATION_DECLARATION(kind, name, result, parameters, arguments, ...) \
  result name JSON_DOCUMENT_PREPEND(JsonDocumentVariable self, parameters);
JSON_DOCUMENT_METHODS(JSON_OPERATION_DECLARATION, JSON_DOCUMENT_OPTIONAL)
#undef JSON_OPERATION_DECLARATION

}  // namespace json_operations
