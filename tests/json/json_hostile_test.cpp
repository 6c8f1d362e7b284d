// Texts from the network that are not JSON, or that would exhaust the engine, load as failed
// loads and leave the document and the process healthy.
#include <gtest/gtest.h>

#include <string>

#include "json/json_document.h"
#include "platform/com/class_registry.h"
#include "platform/com/dispatch_object.h"
#include "platform/script/script_control.h"
#include "runtime/text_blocks.h"
#include "tests/support/search_answer.h"

namespace {

class JsonHostileTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { register_script_control(); }

  // The document still loads and reads after the hostile text.
  void expect_healthy() {
    ASSERT_TRUE(document.parse(R"({"ok":"yes"})"));
    EXPECT_EQ(std::string(document.get_text("ok").c_str()), "yes");
  }

  JsonDocument document;
};

TEST_F(JsonHostileTest, ScriptNeverRuns) {
  for (const char* script : {
           "while(true){}",
           "(function(){for(;;);})()",
           "var a=[];for(;;)a.push(a.concat(a))",
           R"("while(true){}")",
           R"(["x"].concat((function(){for(;;);})()))",
           R"({"a":1}; for(;;){})",
           R"([1] // comment)",
           "\xEF\xBB\xBF[1]",
       }) {
    EXPECT_FALSE(document.parse(script)) << script;
    EXPECT_EQ(std::string(document.to_json().c_str()), "null") << script;
  }
  expect_healthy();
}

TEST_F(JsonHostileTest, NestingBeyondTheEnginesLimitFails) {
  const auto nested = [](std::size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
  };
  EXPECT_TRUE(document.parse(nested(1000)));
  EXPECT_FALSE(document.parse(nested(1001)));
  EXPECT_FALSE(document.parse(nested(100000)));
  EXPECT_FALSE(document.parse(std::string(100000, '[')));
  EXPECT_TRUE(document.parse("\"" + nested(1000) + "\"")) << "string contents: the same limit";
  EXPECT_FALSE(document.parse("\"" + nested(1001) + "\""));
  expect_healthy();
}

TEST_F(JsonHostileTest, HugeStringsFailAtTheMemoryCap) {
  std::string huge(50u << 20, 'a');
  huge.front() = '"';
  huge.back() = '"';
  EXPECT_FALSE(document.parse(huge)) << "its contents are a script name";
  huge.insert(huge.begin(), '[');
  huge.push_back(']');
  EXPECT_FALSE(document.parse(huge)) << "50 MB of JSON does not fit the engine's cap";
  EXPECT_EQ(std::string(document.to_json().c_str()), "null");
  expect_healthy();
}

TEST_F(JsonHostileTest, ATenMegabyteAnswerFitsTheCap) {
  const std::string answer = make_search_answer(10u << 20);
  ASSERT_TRUE(document.parse(answer));
  EXPECT_GT(document.count("data.info"), 30000);
  EXPECT_EQ(std::string(document.get_text("data.info[30000].songname").c_str()), "月亮代表我的心");
}

// A script control that keeps nothing: it takes any language, notes whether a load's program
// arrived, and answers every Eval with that, so any load that reaches it "fits".
class LoadNotingScriptControl final : public DispatchObject {
 public:
  LoadNotingScriptControl() : DispatchObject(kMembers) {}

  static HRESULT create(IUnknown** instance) {
    *instance = static_cast<IDispatch*>(new LoadNotingScriptControl);
    return S_OK;
  }

 protected:
  HRESULT invoke_member(const DispatchMember& member, const DispatchCall& call) override {
    if (member.id == kLanguage) return S_OK;
    const VARIANT& code = call.arg(0);  // a load's program is far too long to copy
    if (code.vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
    const std::u16string_view text(code.bstrVal ? code.bstrVal : u"", SysStringLen(code.bstrVal));
    if (member.id == kAddCode && text.starts_with(u"var da=eval(")) loaded_ = true;
    return member.id == kEval ? call.return_bool(loaded_) : S_OK;
  }

 private:
  enum : DISPID { kLanguage = 1500, kAddCode = 2000, kEval = 2001 };
  static constexpr VARTYPE kTextParam[] = {VT_BSTR};
  static constexpr DispatchMember kMembers[] = {
      {.name = u"Language", .id = kLanguage, .kind = MemberKind::property, .type = VT_BSTR},
      {.name = u"AddCode", .id = kAddCode, .type = VT_VOID, .params = kTextParam},
      {.name = u"Eval", .id = kEval, .type = VT_VARIANT, .params = kTextParam},
  };
  bool loaded_ = false;
};

// Puts LoadNotingScriptControl in the real component's place for as long as it lives.
struct LoadNotingScriptControlInstalled {
  LoadNotingScriptControlInstalled() {
    unregister_class(kScriptControlClsid);
    register_class(u"MSScriptControl.ScriptControl", kScriptControlClsid,
                   LoadNotingScriptControl::create);
  }
  ~LoadNotingScriptControlInstalled() {
    unregister_class(kScriptControlClsid);
    register_script_control();
  }
};

// An object or array longer than the engine's cap can never load there, so it is refused before
// the load copies it; a text at the cap, or a string (whose escapes may shrink it), still goes.
TEST(JsonEngineCapTest, TextsTheEngineCannotHoldNeverReachIt) {
  const LoadNotingScriptControlInstalled installed;
  const struct {
    std::string_view open;
    std::size_t size;
    std::string_view close;
    bool reaches_engine;
  } cases[] = {
      {"{", kScriptMemoryCap, "}", true},
      {"{", kScriptMemoryCap + 1, "}", false},
      {" \r\n\t[", kScriptMemoryCap + 1, "]", false},
      {"\"[", kScriptMemoryCap + 1, "]\"", true},
  };
  for (const auto& [open, size, close, reaches_engine] : cases) {
    std::string text(open);
    text.resize(size - close.size(), ' ');
    text += close;
    JsonDocument document;
    EXPECT_EQ(document.parse(text), reaches_engine) << open << " " << size;
  }
  // A double-byte character takes two bytes in GBK and three in the engine.
  constexpr std::size_t kCharacters = (kScriptMemoryCap - 4) / 3;
  for (const std::size_t blanks : {kScriptMemoryCap - 4 - 3 * kCharacters, std::size_t{3}}) {
    std::string text = "[\"";
    for (std::size_t k = 0; k < kCharacters; ++k)
      text += "\xD6\xD0";
    text += "\"" + std::string(blanks, ' ') + "]";
    JsonDocument document;
    EXPECT_EQ(document.parse(text), 4 + 3 * kCharacters + blanks == kScriptMemoryCap) << blanks;
  }
}

TEST_F(JsonHostileTest, ALoopingExpressionStopsAtTheTimeOut) {
  document.set_expression("x", "(function(){ while (true) {} })()");
  EXPECT_FALSE(document.has_member("x"));
  expect_healthy();
}

}  // namespace
