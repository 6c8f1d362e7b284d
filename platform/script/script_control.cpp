#include "platform/script/script_control.h"

#include <memory>
#include <string>
#include <string_view>

#include "platform/base/ascii.h"
#include "platform/com/dispatch_object.h"
#include "platform/script/script_engine.h"

namespace {

enum ScriptControlMember : DISPID {
  kLanguage = 1500,
  kAddCode = 2000,
  kEval = 2001,
};

constexpr VARTYPE kTextParam[] = {VT_BSTR};

constexpr DispatchMember kMembers[] = {
    {.name = u"Language", .id = kLanguage, .kind = MemberKind::property, .type = VT_BSTR},
    {.name = u"AddCode", .id = kAddCode, .type = VT_VOID, .params = kTextParam},
    {.name = u"Eval", .id = kEval, .type = VT_VARIANT, .params = kTextParam},
};

bool names_javascript(std::u16string_view language) {
  return ascii_equal_ignoring_case(language, u"JavaScript") ||
         ascii_equal_ignoring_case(language, u"JScript");
}

// A text argument as the caller passed it: the BSTR itself when it is one (no copy of a long
// program), else its conversion held in `converted`.
HRESULT text_argument(const DispatchCall& call, std::uint32_t index, std::u16string* converted,
                      std::u16string_view* text) {
  const VARIANT& arg = call.arg(index);
  const BSTR* direct = arg.vt == VT_BSTR                ? &arg.bstrVal
                       : arg.vt == (VT_BYREF | VT_BSTR) ? arg.pbstrVal
                                                        : nullptr;
  if (direct != nullptr) {
    *text = std::u16string_view(*direct ? *direct : u"", SysStringLen(*direct));
    return S_OK;
  }
  const HRESULT got = call.get_text(index, converted);
  *text = *converted;
  return got;
}

HRESULT create_script_control(IUnknown** instance);

class ScriptControl final : public DispatchObject {
 public:
  ScriptControl() : DispatchObject(kMembers, create_script_control) {}

 protected:
  /* AddCode(code) and Eval(expression): run the text in the engine; S_OK, E_FAIL without a
     language, the script's error code otherwise (script_results.h). Language: read or set. */
  HRESULT invoke_member(const DispatchMember& member, const DispatchCall& call) override {
    if (member.id == kLanguage) return call.is_put() ? put_language(call) : get_language(call);
    if (engine_ == nullptr) return E_FAIL;
    std::u16string converted;
    std::u16string_view code;
    if (const HRESULT got = text_argument(call, 0, &converted, &code); FAILED(got)) return got;
    if (member.id == kAddCode) return engine_->run_program(code);
    return engine_->evaluate(code, call.result());
  }

 private:
  HRESULT get_language(const DispatchCall& call) const { return call.return_text(language_); }

  /* Language = name: "JavaScript" or "JScript" (any case) starts a fresh engine, "" stops it;
     S_OK, DISP_E_TYPEMISMATCH for a value without text, CTL_E_INVALIDPROPERTYVALUE for another
     language (nothing changes), E_OUTOFMEMORY when the engine cannot start (no language then). */
  HRESULT put_language(const DispatchCall& call) {
    VARIANT value;
    VariantInit(&value);
    HRESULT converted = VariantChangeType(&value, &call.put_value(), 0, VT_BSTR);
    if (FAILED(converted)) return DISP_E_TYPEMISMATCH;
    const std::u16string language(value.bstrVal ? value.bstrVal : u"", SysStringLen(value.bstrVal));
    VariantClear(&value);
    if (language.empty()) {
      engine_.reset();
    } else if (!names_javascript(language)) {
      return CTL_E_INVALIDPROPERTYVALUE;
    } else {
      engine_.reset();  // the old heap goes before the new one is made
      engine_ = ScriptEngine::start();
      if (engine_ == nullptr) {
        language_.clear();
        return E_OUTOFMEMORY;
      }
    }
    language_ = language;
    return S_OK;
  }

  std::u16string language_;
  std::unique_ptr<ScriptEngine> engine_;
};

HRESULT create_script_control(IUnknown** instance) {
  *instance = static_cast<IDispatch*>(new ScriptControl);
  return S_OK;
}

}  // namespace

void register_script_control() {
  register_class(u"MSScriptControl.ScriptControl", kScriptControlClsid, create_script_control);
}
