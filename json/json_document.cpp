#include "json/json_document.h"

#include <memory>
#include <new>

#include "json/json_operations.h"
#include "json/json_primer.h"
#include "json/json_text_check.h"
#include "platform/com/apartment.h"
#include "platform/script/script_control.h"
#include "runtime/text_blocks.h"
#include "runtime/variant_value.h"

namespace {

constexpr char kScriptVar[] = "da";
constexpr char kComponent[] = "MSScriptControl.ScriptControl";
constexpr char kLanguage[] = "JavaScript";

// A zero-filled block holding a document with a new, empty holder and no table yet.
JsonDocumentObject* new_document_block() {
  return new (mem_alloc(sizeof(JsonDocumentObject))) JsonDocumentObject{};
}

// The UTF-16 form in which a script text travels to the engine, as the bridge makes it of a
// text argument. A load's script is as long as its answer, so the text goes as soon as this form
// exists, instead of living as long as the call.
VariantValue script_source(Text script) {
  VariantValue source;
  variant_assign(source, script.arg());
  return source;
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

JsonDocumentObject* clone(JsonDocumentObject* self) {
  JsonDocumentObject* copy = new_document_block();
  copy->operations = self->operations;
  copy->script_var = text_copy(self->script_var.get());
  object_share(copy->engine, self->engine);
  CoInitialize(nullptr);  // the clone's own entry, which its destroy leaves
  return copy;
}

void destroy(JsonDocumentObject* self) {
  // The engine goes while the apartment this document entered is still entered: its last
  // reference may end the instance, which must happen inside the apartment.
  object_release(self->engine);
  CoUninitialize();
  self->script_var.reset();
  // The holder's own end, as every holder ends before its block is freed. The engine is gone
  // already, so this release finds the holder empty and does nothing.
  object_release(self->engine);
  const AutomationObject holder = std::move(self->engine);  // frees the holder block
}

}  // namespace

namespace json_operations {

bool parse(JsonDocumentVariable self, std::string_view text) {
  if (!object_is_empty((*self)->engine)) restart_engine(self);
  JsonDocumentObject& document = **self;
  if (object_is_empty(document.engine)) return false;
  const std::string_view name = document.script_var.view();
  (void)eval_number(document, text_concat({"var ", name, "=null"}));
  // Only a proven JSON text reaches the script source; anything else ends as a script error
  // would, with the variable null. A text the engine can never hold ends so too, before the load
  // copies it: the engine keeps an object or array text whole as one string while it builds the
  // value, and no string longer than its memory cap fits there.
  if (is_loadable_json(text, kScriptMemoryCap)) {
    const VariantValue load = script_source(text_concat({"var ", name, "=eval(", text, ")"}));
    (void)call_method_number(document.engine, "AddCode", {load.arg()});
  }
  return eval_logical(document, text_concat({"null !=", name}));
}

Text to_json(JsonDocumentVariable self) {
  return eval_text(**self, text_concat({"JSON.stringify(", (*self)->script_var.view(), ")"}));
}

}  // namespace json_operations

#define JSON_DOCUMENT_SLOT_VALUE(kind, name, ...) json_operations::name,
const JsonDocumentOperations kJsonDocumentOperations = {
    destroy, clone, init_engine,
    JSON_DOCUMENT_METHODS(JSON_DOCUMENT_SLOT_VALUE, JSON_DOCUMENT_OPTIONAL)};
#undef JSON_DOCUMENT_SLOT_VALUE

JsonDocumentObject* json_document_new() {
  JsonDocumentObject* object = new_document_block();
  object->operations = &kJsonDocumentOperations;
  object->script_var = Text::adopt(const_cast<char*>(kScriptVar));
  object->operations->init_engine(&object);
  return object;
}
