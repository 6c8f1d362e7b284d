#include "platform/script/script_engine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/script/cesu8.h"
#include "platform/script/literal_assignment.h"
#include "platform/script/program_cache.h"
#include "platform/script/script_results.h"

// The functions handed to duk_safe_call run inside the engine's protected frame: an error unwinds
// them with longjmp, so they hold only trivially destructible locals and take their inputs as
// plain pointers.

namespace {

constexpr const char* kOriginalEval = "eval";  // heap stash key of the built-in eval

[[noreturn]] void on_fatal_error(void*, const char* message) {
  // Only an error outside every protected call ends up here, and no call is made outside one.
  std::fprintf(stderr, "script engine: fatal error: %s\n", message ? message : "");
  std::abort();
}

// Removes what the ES3 engine lacks, and keeps the built-in eval for the literal route.
duk_ret_t prepare_language(duk_context* context, void*) {
  duk_push_global_object(context);
  duk_del_prop_string(context, -1, "JSON");
  duk_get_prop_string(context, -1, "Date");
  duk_get_prop_string(context, -1, "prototype");
  duk_del_prop_string(context, -1, "toJSON");
  duk_pop_2(context);
  duk_push_heap_stash(context);
  duk_get_prop_string(context, -2, "eval");
  duk_put_prop_string(context, -2, kOriginalEval);
  duk_pop_2(context);
  return 0;
}

struct LiteralJob {
  const char* name;
  duk_size_t name_length;
  bool applied;
};

// Whether the global eval is still the built-in one, which returns an object unchanged.
bool eval_is_builtin(duk_context* context) {
  duk_get_global_string(context, "eval");
  duk_push_heap_stash(context);
  duk_get_prop_string(context, -1, kOriginalEval);
  const bool builtin = duk_strict_equals(context, -1, -3) != 0;
  duk_pop_3(context);
  return builtin;
}

// Stores the value on the stack top into the global NAME as  var NAME=value  does at global
// level: a new variable is an enumerable, writable and non-configurable property; an existing
// own, writable data property is assigned. False (value left) for any other binding, whose
// treatment (an inherited property, an accessor, a read-only value) the compiled program keeps.
bool declare_and_assign(duk_context* context, const LiteralJob& job) {
  duk_push_global_object(context);
  duk_insert(context, -2);  // [global value]
  if (!duk_has_prop_lstring(context, -2, job.name, job.name_length)) {
    duk_push_lstring(context, job.name, job.name_length);
    duk_insert(context, -2);  // [global name value]
    duk_def_prop(context, -3,
                 DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_ENUMERABLE |
                     DUK_DEFPROP_HAVE_CONFIGURABLE);
    duk_pop(context);
    return true;
  }
  duk_push_lstring(context, job.name, job.name_length);
  duk_get_prop_desc(context, -3, 0);  // [global value descriptor], undefined when not own
  bool writable_data = false;
  if (duk_is_object(context, -1)) {
    duk_get_prop_string(context, -1, "writable");  // absent for an accessor
    writable_data = duk_get_boolean(context, -1) != 0;
    duk_pop(context);
  }
  duk_pop(context);
  if (!writable_data) return false;
  duk_put_prop_lstring(context, -2, job.name, job.name_length);
  duk_pop(context);
  return true;
}

struct LiteralText {
  const char* bytes;  // CESU-8
  duk_size_t length;
};

// [] -> [literal], or [] -> [undefined] when the global eval is no longer the built-in one.
duk_ret_t push_literal_step(duk_context* context, void* udata) {
  const auto& text = *static_cast<const LiteralText*>(udata);
  if (!eval_is_builtin(context)) return 0;
  duk_push_lstring(context, text.bytes, text.length);
  return 1;
}

// Pushes the literal as an engine string in a protected call. Its CESU-8 form, as long as the
// literal, goes when this returns: the decoder then builds the value beside the engine's copy.
duk_int_t push_literal(duk_context* context, std::u16string_view literal) {
  const std::string cesu8 = cesu8_from_utf16(literal);
  LiteralText text{cesu8.data(), cesu8.size()};
  return duk_safe_call(context, push_literal_step, &text, 0, 1);
}

// [literal] -> []: the decoded value assigned, when the binding allows it.
duk_ret_t decode_literal_step(duk_context* context, void* udata) {
  auto& job = *static_cast<LiteralJob*>(udata);
  duk_json_decode(context, -1);
  job.applied = declare_and_assign(context, job);
  duk_set_top(context, 0);
  return 0;
}

// [function] -> [function bytecode]
duk_ret_t dump_program(duk_context* context, void*) {
  duk_dup_top(context);
  duk_dump_function(context);
  return 2;
}

struct Bytecode {
  const std::uint8_t* bytes;
  std::size_t size;
};

// [] -> [function]
duk_ret_t load_program(duk_context* context, void* udata) {
  const auto& bytecode = *static_cast<const Bytecode*>(udata);
  void* buffer = duk_push_fixed_buffer(context, bytecode.size);
  std::memcpy(buffer, bytecode.bytes, bytecode.size);
  duk_load_function(context);
  return 1;
}

// [] -> [function]: `source` compiled as global code. Its CESU-8 form goes when this returns; the
// compiled function does not refer to it.
duk_int_t compile(duk_context* context, std::u16string_view source) {
  const std::string cesu8 = cesu8_from_utf16(source);
  return duk_pcompile_lstring(context, 0, cesu8.data(), cesu8.size());
}

}  // namespace

std::unique_ptr<ScriptEngine> ScriptEngine::start() {
  std::unique_ptr<ScriptEngine> engine(new ScriptEngine);
  engine->context_ =
      duk_create_heap(engine_alloc, engine_realloc, engine_free, &engine->limits_, on_fatal_error);
  if (engine->context_ == nullptr) return nullptr;
  engine->limits_.start_call(kCallTimeout);
  const duk_int_t prepared = duk_safe_call(engine->context_, prepare_language, nullptr, 0, 1);
  engine->limits_.end_call();
  if (prepared != DUK_EXEC_SUCCESS) return nullptr;
  duk_set_top(engine->context_, 0);
  return engine;
}

// The heap holds nothing but memory from limits_: no script of this system sets a finalizer, and
// the engine has no other resources. So its memory is dropped whole, which saves the three
// collections that duk_destroy_heap runs to call finalizers and then every single free.
ScriptEngine::~ScriptEngine() {
  limits_.release_heap();
}

HRESULT ScriptEngine::take_error() {
  const CallEnd end = limits_.timed_out ? CallEnd::timed_out
                      : limits_.refused ? CallEnd::out_of_memory
                                        : CallEnd::error;
  const HRESULT code = script_error_code(context_, -1, end);
  duk_set_top(context_, 0);
  return code;
}

HRESULT ScriptEngine::run_program(std::u16string_view source) {
  limits_.start_call(kCallTimeout);
  HRESULT result = assign_literal(source);
  if (result == S_FALSE) result = compile_and_run(source);
  limits_.end_call();
  return result;
}

HRESULT ScriptEngine::assign_literal(std::u16string_view source) {
  const std::optional<LiteralAssignment> parts = as_literal_assignment(source);
  if (!parts) return S_FALSE;
  const std::string name = cesu8_from_utf16(parts->name);
  LiteralJob job{name.data(), name.size(), false};
  duk_int_t step = push_literal(context_, parts->literal);
  if (step == DUK_EXEC_SUCCESS && duk_is_string(context_, -1)) {
    step = duk_safe_call(context_, decode_literal_step, &job, 1, 1);
  }
  if (step != DUK_EXEC_SUCCESS) {
    // Text the decoder refuses may still be script; only an exhausted cap is final.
    if (limits_.refused) return take_error();
    duk_set_top(context_, 0);
    return S_FALSE;
  }
  duk_set_top(context_, 0);
  return job.applied ? S_OK : S_FALSE;
}

HRESULT ScriptEngine::compile_and_run(std::u16string_view source) {
  std::vector<std::uint8_t> bytecode;
  if (cached_program(source, &bytecode)) {
    Bytecode loaded{bytecode.data(), bytecode.size()};
    if (duk_safe_call(context_, load_program, &loaded, 0, 1) != DUK_EXEC_SUCCESS) {
      return take_error();
    }
  } else {
    if (compile(context_, source) != DUK_EXEC_SUCCESS) return take_error();
    if (source.size() <= kMaxCachedSource) {
      if (duk_safe_call(context_, dump_program, nullptr, 1, 2) != DUK_EXEC_SUCCESS) {
        return take_error();
      }
      duk_size_t size = 0;
      const void* dumped = duk_get_buffer(context_, -1, &size);
      remember_program(source, {static_cast<const std::uint8_t*>(dumped), size});
      duk_pop(context_);
    }
  }
  duk_push_global_object(context_);  // `this` of global code
  if (duk_pcall_method(context_, 0) != DUK_EXEC_SUCCESS) return take_error();
  duk_set_top(context_, 0);
  return S_OK;
}

HRESULT ScriptEngine::evaluate(std::u16string_view source, VARIANT* result) {
  if (result != nullptr) VariantClear(result);
  limits_.start_call(kCallTimeout);
  const std::string cesu8 = cesu8_from_utf16(source);
  const duk_int_t evaluated = duk_peval_lstring(context_, cesu8.data(), cesu8.size());
  limits_.end_call();
  if (evaluated != DUK_EXEC_SUCCESS) return take_error();
  const HRESULT stored = result ? script_value_to_variant(context_, -1, result) : S_OK;
  duk_set_top(context_, 0);
  return stored;
}
