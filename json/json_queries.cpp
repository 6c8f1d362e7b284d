// The query and edit operations of JsonDocument: each joins its script text as its template
// says, evaluates it through the bridge command it names, and passes the result on.
#include <cmath>
#include <string>

#include "json/json_operations.h"
#include "runtime/text_blocks.h"
#include "runtime/text_commands.h"
#include "runtime/value_to_text.h"
#include "runtime/variant_value.h"

namespace {

std::string_view name_of(JsonDocumentVariable self) {
  return (*self)->script_var.view();
}

// E: the whole document for an empty path, else V + "." + P.
Text addressed(JsonDocumentVariable self, std::string_view path) {
  if (path.empty()) return text_concat({name_of(self)});
  return text_concat({name_of(self), ".", path});
}

// Q: the quote around a value that is stored as a string.
std::string_view quote_unless(std::optional<bool> as_literal) {
  return as_literal.value_or(false) ? std::string_view{} : std::string_view{"'"};
}

// N for an index.
Text index_text(std::int32_t index) {
  return value_to_text(TypedArg::integer(index));
}

// The script number truncated toward zero, as its low 32 bits.
std::int32_t low_32_bits(double number) {
  const double whole = std::trunc(number);
  if (!std::isfinite(whole)) return 0;
  const double wrapped = std::fmod(whole, 4294967296.0);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::int64_t>(wrapped)));
}

// A new document holding the value whose JSON text `script` gives in this document's engine:
// a temporary document loads the text, and its clone, which then holds the only reference to
// the temporary's engine, is the result.
JsonDocumentObject* copy_through_json(JsonDocumentVariable self, const Text& script) {
  JsonDocument temporary;
  const Text json = eval_text(**self, script);
  temporary.parse(json.view());
  return temporary.clone().release();
}

// The joined list ("name,name,...,") without the primer's two methods, which every for-in loop
// visits: items equal to them go, every other name stays whole.
Text without_primer_names(std::string_view listed) {
  std::string kept;
  kept.reserve(listed.size());
  for (std::size_t start = 0; start < listed.size();) {
    const std::size_t comma = listed.find(',', start);
    const std::size_t end = comma == std::string_view::npos ? listed.size() : comma + 1;
    const std::string_view item = listed.substr(start, end - start);
    if (item != "toJSONString," && item != "parseJSON,") kept += item;
    start = end;
  }
  return text_from_buffer(kept);
}

}  // namespace

namespace json_operations {

void set_text(JsonDocumentVariable self, std::string_view path, std::string_view value,
              std::optional<bool> as_literal) {
  if (!as_literal.value_or(false)) {
    eval_dropping(**self, text_concat({name_of(self), ".", path, "='", value, "'"}));
    return;
  }
  const std::string_view literal = value.empty() ? std::string_view{"{}"} : value;
  eval_dropping(**self, text_concat({name_of(self), ".", path, "= eval(", literal, ")"}));
}

void set_expression(JsonDocumentVariable self, std::string_view path, std::string_view expression) {
  eval_dropping(**self, text_concat({name_of(self), ".", path, "= eval(", expression, ")"}));
}

void set_number(JsonDocumentVariable self, std::string_view path, double number) {
  const Text written = value_to_text(TypedArg::float64(number));
  eval_dropping(**self, text_concat({name_of(self), ".", path, "=", written.view()}));
}

double get_number(JsonDocumentVariable self, std::string_view path) {
  return eval_number(**self, text_concat({name_of(self), ".", path}));
}

Text get_json(JsonDocumentVariable self, std::string_view path) {
  return eval_text(**self, text_concat({"JSON.stringify(", name_of(self), ".", path, ")"}));
}

Text get_text(JsonDocumentVariable self, std::string_view path, std::optional<bool> as_json) {
  const std::string_view separator = separator_for(path);
  if (as_json.value_or(false)) {
    return eval_text(**self, text_concat({"JSON.stringify(", name_of(self), separator, path, ")"}));
  }
  if (object_is_empty((*self)->engine)) return Text();
  if ((*self)->operations->type_of(self, path) == JsonValueType::number) {
    return value_to_text(TypedArg::float64((*self)->operations->get_number(self, path)));
  }
  return eval_text(**self, text_concat({name_of(self), separator, path}));
}

JsonDocumentObject* get_member(JsonDocumentVariable self, std::string_view path) {
  return copy_through_json(
      self, text_concat({"JSON.stringify(", name_of(self), separator_for(path), path, ")"}));
}

std::int32_t count(JsonDocumentVariable self, std::optional<std::string_view> path) {
  const std::string_view given = path.value_or(std::string_view{});
  const Text counted = given.empty() ? text_concat({name_of(self)})
                                     : text_concat({name_of(self), separator_for(given), given});
  return low_32_bits(eval_number(**self, text_concat({"get__count(", counted.view(), ")"})));
}

void append(JsonDocumentVariable self, std::string_view value, std::optional<std::string_view> path,
            std::optional<bool> as_literal) {
  const Text target = addressed(self, path.value_or(std::string_view{}));
  const std::string_view e = target.view();
  const std::string_view q = quote_unless(as_literal);
  eval_dropping(
      **self, text_concat({"if (Object.prototype.toString.call(", e, ") != '[object Array]') { ", e,
                           "=new Array();} ", e, ".push(", q, value, q, ")"}));
}

JsonDocumentObject* get_element(JsonDocumentVariable self, std::int32_t index,
                                std::optional<std::string_view> path) {
  const Text target = addressed(self, path.value_or(std::string_view{}));
  const Text n = index_text(index);
  return copy_through_json(self,
                           text_concat({"JSON.stringify(", target.view(), "[", n.view(), "])"}));
}

Text get_element_text(JsonDocumentVariable self, std::int32_t index,
                      std::optional<std::string_view> path, std::optional<bool> as_json) {
  const Text target = addressed(self, path.value_or(std::string_view{}));
  const Text n = index_text(index);
  if (as_json.value_or(false)) {
    return eval_text(**self, text_concat({"JSON.stringify(", target.view(), "[", n.view(), "])"}));
  }
  return eval_text(**self, text_concat({target.view(), "[", n.view(), "]"}));
}

void set_element(JsonDocumentVariable self, std::int32_t index, std::string_view value,
                 std::optional<bool> as_literal) {
  const Text n = index_text(index);
  const std::string_view q = quote_unless(as_literal);
  eval_dropping(**self, text_concat({name_of(self), "[", n.view(), "]=", q, value, q}));
}

void remove_element(JsonDocumentVariable self, std::int32_t index) {
  const Text n = index_text(index);
  eval_dropping(**self, text_concat({name_of(self), ".splice(", n.view(), ",1)"}));
}

void remove_member(JsonDocumentVariable self, std::string_view path) {
  const Text unread = eval_text(**self, text_concat({"delete ", name_of(self), ".", path}));
}

void reset_to(JsonDocumentVariable self, JsonValueType kind) {
  std::string_view value;
  if (kind == JsonValueType::null || kind == JsonValueType::object) {
    value = "{}";
  } else if (kind == JsonValueType::array) {
    value = "new Array()";
  } else {
    return;
  }
  (void)eval_number(**self, text_concat({"var ", name_of(self), "=", value}));
}

void set_root(JsonDocumentVariable self, std::string_view value, std::optional<bool> as_literal) {
  const std::string_view q = quote_unless(as_literal);
  (void)eval_logical(**self, text_concat({name_of(self), "=", q, value, q}));
}

bool has_member(JsonDocumentVariable self, std::string_view path) {
  return eval_logical(**self, text_concat({name_of(self), ".", path, " !=null"}));
}

std::int32_t member_names(JsonDocumentVariable self, ValueArray& names,
                          std::optional<std::string_view> path) {
  const Text target = addressed(self, path.value_or(std::string_view{}));
  const Text listed = eval_text(**self, text_concat({"var ary=''; for (var key in ", target.view(),
                                                     ") {ary=ary+ key+','; }"}));
  // The engine must not keep the accumulator.
  VariantValue dropped = call_method_variant((*self)->engine, "Eval", {TypedArg::text("ary=null")});
  variant_clear(dropped.get());
  const Text kept = without_primer_names(listed.view());
  names = text_split(kept.view(), ",");
  return static_cast<std::int32_t>(names.count());
}

JsonValueType type_of(JsonDocumentVariable self, std::optional<std::string_view> path) {
  const std::string_view given = path.value_or(std::string_view{});
  const Text target = addressed(self, given);
  if (eval_logical(**self, text_concat({target.view(), "==null"}))) return JsonValueType::null;
  const Text type = eval_text(**self, text_concat({"typeof (", target.view(), ")"}));
  const std::string_view name = type.view();
  if (name == "string") return JsonValueType::string;
  if (name == "object") {
    // The JSON text of E, through the table: the whole document's, or the path's.
    const Text json = given.empty() ? (*self)->operations->to_json(self)
                                    : (*self)->operations->get_text(self, given, true);
    return json.view().starts_with('[') ? JsonValueType::array : JsonValueType::object;
  }
  if (name == "number") return JsonValueType::number;
  if (name == "boolean") return JsonValueType::boolean;
  return JsonValueType::other;
}

void clear(JsonDocumentVariable self) {
  eval_dropping(**self, text_concat({name_of(self), "={}"}));
}

}  // namespace json_operations
