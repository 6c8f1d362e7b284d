// ScriptEngine: one JavaScript engine (a Duktape heap of its own) with the two operations of the
// script control, run under its limits.
//
// The engine speaks the language the system was written against: the ECMAScript of the
// platform's JavaScript engine, which has no JSON object and no Date.prototype.toJSON, so both
// are removed when the engine starts and a script that wants them installs its own. Everything
// else is Duktape's ES5.1 with its extensions.
//
// Every call into the engine is protected: a script error, an exhausted memory cap or a time-out
// becomes a result code (script_results.h) and leaves the engine usable. Each engine may hold at
// most kMemoryCap bytes, and each call may run kCallTimeout of script code.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string_view>

#include "duktape.h"
#include "platform/base/hresult.h"
#include "platform/com/variant.h"
#include "platform/script/engine_limits.h"
#include "platform/script/script_control.h"

class ScriptEngine {
 public:
  // A 10 MB JSON answer loads in about 30 MB, and writing it out again through a script's
  // stringify peaks below this; a 50 MB string with its source text does not fit.
  static constexpr std::size_t kMemoryCap = kScriptMemoryCap;
  // Far beyond any legitimate call (writing out a 10 MB answer in script takes about 4 s here),
  // and it still stops a loop.
  static constexpr std::chrono::milliseconds kCallTimeout{5000};

  // A new engine; null when its heap cannot be made within the cap.
  [[nodiscard]] static std::unique_ptr<ScriptEngine> start();
  ScriptEngine(const ScriptEngine&) = delete;
  ScriptEngine& operator=(const ScriptEngine&) = delete;
  ~ScriptEngine();

  // Runs `source` as global code (the component's AddCode); its value is dropped. A program of
  // the shape  var NAME=eval(JSON object or array)  is carried out by the JSON decoder, and a
  // program this process has compiled before is loaded from its bytecode (program_cache.h).
  HRESULT run_program(std::u16string_view source);

  // Evaluates `source` as eval code in the global scope (the component's Eval) and stores the
  // completion value in `*result` when `result` is not null (VT_EMPTY on failure).
  HRESULT evaluate(std::u16string_view source, VARIANT* result);

  // Bytes the engine's heap holds now.
  [[nodiscard]] std::size_t memory_used() const { return limits_.used; }

 private:
  ScriptEngine() : limits_(kMemoryCap) {}

  // Takes the result code of the failed call whose error value is on the stack top, pops it.
  HRESULT take_error();
  // The literal-assignment route of run_program: S_FALSE when it does not apply and the program
  // must be compiled.
  HRESULT assign_literal(std::u16string_view source);
  HRESULT compile_and_run(std::u16string_view source);

  duk_context* context_ = nullptr;
  EngineLimits limits_;
};
