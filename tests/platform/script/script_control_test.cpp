#include <gtest/gtest.h>

#include <string>

#include "platform/com/apartment.h"
#include "platform/script/program_cache.h"
#include "platform/script/script_control.h"
#include "platform/script/script_results.h"
#include "runtime/bridge.h"
#include "runtime/variant_value.h"

namespace {

std::u16string bstr_of(const VariantValue& value) {
  return value->vt == VT_BSTR ? std::u16string(value->bstrVal, SysStringLen(value->bstrVal))
                              : u"(not a string)";
}

class ScriptControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    register_script_control();
    CoInitialize(nullptr);
    ASSERT_TRUE(object_create(engine, "MSScriptControl.ScriptControl"));
    ASSERT_TRUE(set_property(engine, "Language", {TypedArg::text("JavaScript")}));
  }
  void TearDown() override {
    object_release(engine);
    CoUninitialize();
  }

  VariantValue eval(const char* expression) {
    return call_method_variant(engine, "Eval", {TypedArg::text(expression)});
  }
  HRESULT add_code(const char* code) {
    call_method(engine, "AddCode", {TypedArg::text(code)});
    return engine.last_result();
  }
  std::string eval_json(const char* expression) {
    const Text text = call_method_text(engine, "Eval", {TypedArg::text(expression)});
    return std::string(text.view());
  }

  AutomationObject engine;
};

TEST_F(ScriptControlTest, EvalGivesTheVariantFormsOfScriptValues) {
  EXPECT_EQ(eval("undefined")->vt, VT_EMPTY);
  EXPECT_EQ(eval("null")->vt, VT_NULL);
  VariantValue whole = eval("1.5+2.5");
  EXPECT_EQ(whole->vt, VT_I4);
  EXPECT_EQ(whole->lVal, 4);
  EXPECT_EQ(eval("-2147483648")->vt, VT_I4);
  VariantValue beyond = eval("2147483648");
  EXPECT_EQ(beyond->vt, VT_R8);
  EXPECT_EQ(beyond->dblVal, 2147483648.0);
  EXPECT_EQ(eval("0.5")->vt, VT_R8);
  EXPECT_EQ(eval("0/0")->vt, VT_R8);
  VariantValue yes = eval("1<2");
  EXPECT_EQ(yes->vt, VT_BOOL);
  EXPECT_EQ(yes->boolVal, VARIANT_TRUE);
  EXPECT_EQ(eval("[1,2]")->vt, VT_EMPTY) << "objects are not handed out";
  EXPECT_EQ(eval("(function(){})")->vt, VT_EMPTY);
  EXPECT_EQ(eval("'a\\u0000b\\u00e9\\u4e2d\\ud83d\\ude00\\udc00'").get()->vt, VT_BSTR);
  EXPECT_EQ(bstr_of(eval("'a\\u0000b\\u00e9\\u4e2d\\ud83d\\ude00\\udc00'")),
            std::u16string(u"a\0b\u00e9\u4e2d\U0001F600", 7) + u'\xDC00')
      << "every unit exactly, NULs, pairs and lone surrogates too";
  EXPECT_EQ(bstr_of(eval("var ary=''; for (var key in {x:1,y:2}) {ary=ary+ key+','; }")), u"x,y,")
      << "the completion value of a statement list";
}

TEST_F(ScriptControlTest, ScriptErrorsFailTheCallAndLeaveTheEngineUsable) {
  EXPECT_EQ(eval("(")->vt, VT_EMPTY);
  EXPECT_EQ(engine.last_result(), kScriptSyntaxError);
  (void)eval("null.x");
  EXPECT_EQ(engine.last_result(), kScriptTypeError);
  (void)eval("no_such_variable");
  EXPECT_EQ(engine.last_result(), kScriptReferenceError);
  (void)eval("throw 3");
  EXPECT_EQ(engine.last_result(), kScriptUncaughtException);
  EXPECT_EQ(add_code("var ok = ;"), kScriptSyntaxError);
  EXPECT_EQ(add_code("function f(){return 1+f()} f()"), kScriptRangeError);
  EXPECT_EQ(eval("1+1")->lVal, 2);
}

TEST_F(ScriptControlTest, LanguageStartsAFreshEs3Engine) {
  EXPECT_EQ(eval_json("typeof JSON + ',' + typeof Date.prototype.toJSON"), "undefined,undefined");
  EXPECT_EQ(add_code("var kept = 1; function twice(n){return 2*n}"), S_OK);
  EXPECT_EQ(eval("twice(kept)")->lVal, 2);
  const Text language = get_property_text(engine, "Language");
  EXPECT_EQ(language.view(), "JavaScript");

  EXPECT_FALSE(set_property(engine, "Language", {TypedArg::text("VBScript")}));
  EXPECT_EQ(engine.last_result(), CTL_E_INVALIDPROPERTYVALUE);
  EXPECT_EQ(eval("kept")->lVal, 1) << "a refused language changes nothing";

  EXPECT_TRUE(set_property(engine, "Language", {TypedArg::text("jscript")}));
  (void)eval("kept");
  EXPECT_EQ(engine.last_result(), kScriptReferenceError) << "a new engine forgets everything";

  EXPECT_TRUE(set_property(engine, "Language", {TypedArg::text("")}));
  EXPECT_EQ(add_code("var x = 1"), E_FAIL) << "no language, no engine";
  (void)eval("1");
  EXPECT_EQ(engine.last_result(), E_FAIL);
}

TEST_F(ScriptControlTest, ALoopStopsAtTheTimeOutAndCannotCatchIt) {
  (void)eval("while (true) { try { while (true) {} } catch (e) {} }");
  EXPECT_EQ(engine.last_result(), kScriptTimedOut);
  EXPECT_EQ(eval("6*7")->lVal, 42) << "each call gets its own time";
}

TEST_F(ScriptControlTest, MemoryStopsAtTheCapAndTheEngineRecovers) {
  (void)eval("var hoard = ['x']; for (;;) hoard.push(hoard[hoard.length - 1] + hoard.pop())");
  EXPECT_EQ(engine.last_result(), kScriptOutOfMemory);
  (void)eval("hoard = null");
  EXPECT_EQ(eval_json("new Array(1001).join('y').length + ''"), "1000");
}

// The literal route holds its whole literal as one engine string while it decodes it: a literal
// a little under the cap still loads, one beyond the cap never does.
TEST_F(ScriptControlTest, ALiteralLoadsUpToTheCap) {
  const auto assignment = [](std::size_t blanks) {
    return "var big=eval([" + std::string(blanks, ' ') + "0])";
  };
  EXPECT_EQ(add_code(assignment(kScriptMemoryCap - (1u << 20)).c_str()), S_OK);
  EXPECT_EQ(eval("big[0]")->lVal, 0);
  EXPECT_EQ(eval("big.length")->lVal, 1);
  EXPECT_EQ(add_code(assignment(kScriptMemoryCap).c_str()), kScriptOutOfMemory);
  EXPECT_EQ(eval("big.length")->lVal, 1) << "the failed load changed nothing";
}

// The literal route (JSON decoder) against the compiler: the statements differ only in spacing,
// which sends the second one through the compiler.
TEST_F(ScriptControlTest, LiteralAssignmentBuildsWhatTheCompilerBuilds) {
  ASSERT_EQ(add_code("function show(v){var s=[],k;if(typeof v!='object'||v===null)return typeof v"
                     "+':'+(v===0&&1/v<0?'-0':String(v));for(k in v)s.push(k+'='+show(v[k]));"
                     "return (Object.prototype.toString.call(v)=='[object Array]'?'A':'O')+"
                     "'{'+s.join(',')+'}'}"),
            S_OK);
  for (const char* literal : {
           R"({"__proto__":{"x":1},"a":[1,"b"]})",
           R"({"a":1,"b":2,"a":3,"1":4,"0":5})",
           R"([-0, 0.1, 1e400, -1e400, 5e-324, 12345678901234567890123, 2.2250738585072011e-308])",
           R"(["\u0000\ud83d\ude00\udc00\/\"\\\b\f\n\r\t", "\u4e2d"])",
           R"(  [[[[]]], {}, {"":""}, true, false, null]  )",
       }) {
    const std::string fast = std::string("var fast=eval(") + literal + ")";
    const std::string slow = std::string("var slow = eval(") + literal + ")";
    ASSERT_EQ(add_code(fast.c_str()), S_OK) << literal;
    ASSERT_EQ(add_code(slow.c_str()), S_OK) << literal;
    EXPECT_EQ(eval_json("show(fast)"), eval_json("show(slow)")) << literal;
    EXPECT_EQ(eval_json("String(Object.getPrototypeOf(fast) === Object.getPrototypeOf(slow))"),
              "true");
  }
  EXPECT_EQ(add_code("var fast=eval([1].concat([2]))"), S_OK) << "not JSON: compiled";
  EXPECT_EQ(eval_json("show(fast)"), "A{0=number:1,1=number:2}");
  EXPECT_EQ(add_code("var fresh=eval({})"), S_OK);
  EXPECT_EQ(eval_json("String(delete fresh)"), "false") << "a declared variable, as var makes";
  EXPECT_EQ(add_code("eval = function () { return 'replaced'; }"), S_OK);
  EXPECT_EQ(add_code("var fast=eval([1])"), S_OK);
  EXPECT_EQ(eval_json("fast"), "replaced") << "a replaced eval is called as written";
}

TEST_F(ScriptControlTest, ProgramsRunFromBytecodeAsTheyRanCompiled) {
  forget_programs();
  const char* program =
      "var made = (function () { 'use strict'; var n = 0; return function () { return ++n; }; }());"
      "function self_name() { return typeof self_name; }"
      "var global_this = this;";
  const char* probe = "made() + made() + ',' + self_name() + ',' + (global_this === this)";
  ASSERT_EQ(add_code(program), S_OK);
  const std::string compiled = eval_json(probe);
  EXPECT_EQ(compiled, "3,function,true");

  std::vector<std::uint8_t> bytecode;
  const std::string narrow(program);
  ASSERT_TRUE(cached_program(std::u16string(narrow.begin(), narrow.end()), &bytecode));
  AutomationObject other;
  ASSERT_TRUE(object_create(other, "MSScriptControl.ScriptControl"));
  ASSERT_TRUE(set_property(other, "Language", {TypedArg::text("JavaScript")}));
  call_method(other, "AddCode", {TypedArg::text(program)});
  EXPECT_EQ(other.last_result(), S_OK);
  const Text loaded = call_method_text(other, "Eval", {TypedArg::text(probe)});
  EXPECT_EQ(loaded.view(), compiled);
}

}  // namespace
