#include "json/json_document.h"

#include <memory>
#include <new>

#include "json/json_operations.h"
#include "json/json_primer.h"
#include "json/json_text_check.h"
#include "platform/com/apartment.h"
#include "runtime/text_blocks.h"

namespace {

constexpr char kScriptVar[] = "da";
constexpr char kComponent[] = "MSScriptControl.ScriptControl";
constexpr char kLanguage[] = "JavaScript";

// A zero-filled block holding a document with a new, empty holder and no table yet.
JsonDocumentObject* new_document_block() {
  return new (mem_alloc(sizeof(JsonDocumentObject))) JsonDocumentObject{};
}

void init_engine(JsonDocumentVariable self) {
  JsonDocumentObject& document = **self;
  CoInitialize(nullptr);
  object_create(document.engine, kComponent);
  set_property(document.engine, "Language", {TypedArg::text(kLanguage)});
  (void)call_method_number(document.engine, "AddCode", {TypedArg::text(kJsonPrimer)});
  (void)eval_number(document, text_concat({"var ", document.script_var.view(), "={}"}));
}

// Restarts the engine for a load. The apartment entry of the released engine is left first, so
// that each document holds exactly one entry, which its destroy leaves.
void restart_engine(JsonDocumentVariable self) {
  object_release((*self)->engine);
  CoUninitialize();
  (*self)->operations->init_engine(self);
}

bool parse(JsonDocumentVariable self, std::string_view text) {
  if (!object_is_empty((*self)->engine)) restart_engine(self);
  JsonDocumentObject& document = **self;
  if (object_is_empty(document.engine)) return false;
  const std::string_view name = document.script_var.view();
  (void)eval_number(document, text_concat({"var ", name, "=null"}));
  // Only a proven JSON text reaches the script source; anything else ends as a syntax error
  // would, with the variable null.
  if (is_loadable_json(text)) {
    const Text load = text_concat({"var ", name, "=eval(", text, ")"});
    (void)call_method_number(document.engine, "AddCode", {load.arg()});
  }
  return eval_logical(document, text_concat({"null !=", name}));
}

Text to_json(JsonDocumentVariable self) {
  return eval_text(**self, text_concat({"JSON.stringify(", (*self)->script_var.view(), ")"}));
}

JsonDocumentObject* clone(JsonDocumentObject* self) {
  JsonDocumentObject* copy = new_document_block();
  copy->operations = self->operations;
  copy->script_var = text_copy(self->script_var.get());
  object_share(copy->engine, self->engine);
  CoInitialize(nullptr);  // the clone's own entry, which its destroy leaves
  return copy;
}

void destroy(JsonDocumentObject* self) {
  object_release(self->engine);
  CoUninitialize();
  self->script_var.reset();
  object_release(self->engine);
  const AutomationObject holder = std::move(self->engine);  // frees the holder block
}

}  // namespace

const JsonDocumentOperations kJsonDocumentOperations = {
    destroy,
    clone,
    init_engine,
    parse,
    to_json,
    json_set_text,
    json_set_expression,
    json_set_number,
    json_get_number,
    json_get_json,
    json_get_text,
    json_get_member,
    json_count,
    json_append,
    json_get_element,
    json_get_element_text,
    json_set_element,
    json_remove_element,
    json_remove_member,
    json_reset,
    json_set_root,
    json_has_member,
    json_member_names,
    json_type_of,
    json_clear,
};

JsonDocumentObject* json_document_new() {
  JsonDocumentObject* object = new_document_block();
  object->operations = &kJsonDocumentOperations;
  object->script_var = Text::adopt(const_cast<char*>(kScriptVar));
  object->operations->init_engine(&object);
  return object;
}

// ---------------------------------------------------------------------------------------------
// The owner

JsonDocument JsonDocument::adopt(JsonDocumentObject* object) noexcept {
  return JsonDocument(Adopted{}, object);
}

void JsonDocument::reset(JsonDocumentObject* object) noexcept {
  JsonDocumentObject* old = std::exchange(object_, object);
  if (old == nullptr) return;
  old->operations->destroy(old);
  mem_free(old);
}

JsonDocument JsonDocument::clone() const {
  return adopt(object_ ? object_->operations->clone(object_) : nullptr);
}

bool JsonDocument::parse(std::string_view text) {
  return object_ && object_->operations->parse(&object_, text);
}

Text JsonDocument::to_json() {
  return object_ ? object_->operations->to_json(&object_) : Text();
}

void JsonDocument::set_text(std::string_view path, std::string_view value,
                            std::optional<bool> as_literal) {
  if (object_) object_->operations->set_text(&object_, path, value, as_literal);
}

void JsonDocument::set_expression(std::string_view path, std::string_view expression) {
  if (object_) object_->operations->set_expression(&object_, path, expression);
}

void JsonDocument::set_number(std::string_view path, double number) {
  if (object_) object_->operations->set_number(&object_, path, number);
}

double JsonDocument::get_number(std::string_view path) {
  return object_ ? object_->operations->get_number(&object_, path) : 0.0;
}

Text JsonDocument::get_json(std::string_view path) {
  return object_ ? object_->operations->get_json(&object_, path) : Text();
}

Text JsonDocument::get_text(std::string_view path, std::optional<bool> as_json) {
  return object_ ? object_->operations->get_text(&object_, path, as_json) : Text();
}

JsonDocument JsonDocument::get_member(std::string_view path) {
  return adopt(object_ ? object_->operations->get_member(&object_, path) : nullptr);
}

std::int32_t JsonDocument::count(std::optional<std::string_view> path) {
  return object_ ? object_->operations->count(&object_, path) : 0;
}

void JsonDocument::append(std::string_view value, std::optional<std::string_view> path,
                          std::optional<bool> as_literal) {
  if (object_) object_->operations->append(&object_, value, path, as_literal);
}

JsonDocument JsonDocument::get_element(std::int32_t index, std::optional<std::string_view> path) {
  return adopt(object_ ? object_->operations->get_element(&object_, index, path) : nullptr);
}

Text JsonDocument::get_element_text(std::int32_t index, std::optional<std::string_view> path,
                                    std::optional<bool> as_json) {
  return object_ ? object_->operations->get_element_text(&object_, index, path, as_json) : Text();
}

void JsonDocument::set_element(std::int32_t index, std::string_view value,
                               std::optional<bool> as_literal) {
  if (object_) object_->operations->set_element(&object_, index, value, as_literal);
}

void JsonDocument::remove_element(std::int32_t index) {
  if (object_) object_->operations->remove_element(&object_, index);
}

void JsonDocument::remove_member(std::string_view path) {
  if (object_) object_->operations->remove_member(&object_, path);
}

void JsonDocument::reset_to(JsonValueType kind) {
  if (object_) object_->operations->reset(&object_, kind);
}

void JsonDocument::set_root(std::string_view value, std::optional<bool> as_literal) {
  if (object_) object_->operations->set_root(&object_, value, as_literal);
}

bool JsonDocument::has_member(std::string_view path) {
  return object_ && object_->operations->has_member(&object_, path);
}

std::int32_t JsonDocument::member_names(ValueArray& names, std::optional<std::string_view> path) {
  return object_ ? object_->operations->member_names(&object_, &names, path) : 0;
}

JsonValueType JsonDocument::type_of(std::optional<std::string_view> path) {
  return object_ ? object_->operations->type_of(&object_, path) : JsonValueType::other;
}

void JsonDocument::clear() {
  if (object_) object_->operations->clear(&object_);
}
