#include "platform/regexp/regexp_component.h"

#include <memory>
#include <string>
#include <utility>

#include "platform/com/class_registry.h"
#include "platform/regexp/compiled_pattern.h"
#include "platform/regexp/counted_object.h"
#include "platform/regexp/match_objects.h"
#include "platform/regexp/replacement.h"

namespace {

enum RegExpMember : DISPID {
  kPattern = 1,
  kIgnoreCase,
  kGlobal,
  kMultiline,
  kExecute,
  kReplace,
  kTest,
};

constexpr VARTYPE kSubjectParam[] = {VT_BSTR};
constexpr VARTYPE kReplaceParams[] = {VT_BSTR, VT_VARIANT};

constexpr DispatchMember kMembers[] = {
    {.name = u"Pattern", .id = kPattern, .kind = MemberKind::property, .type = VT_BSTR},
    {.name = u"IgnoreCase", .id = kIgnoreCase, .kind = MemberKind::property, .type = VT_BOOL},
    {.name = u"Global", .id = kGlobal, .kind = MemberKind::property, .type = VT_BOOL},
    {.name = u"Multiline", .id = kMultiline, .kind = MemberKind::property, .type = VT_BOOL},
    {.name = u"Execute", .id = kExecute, .type = VT_DISPATCH, .params = kSubjectParam},
    {.name = u"Replace", .id = kReplace, .type = VT_BSTR, .params = kReplaceParams},
    {.name = u"Test", .id = kTest, .type = VT_BOOL, .params = kSubjectParam},
};

HRESULT create_regexp(IUnknown** instance);

// A property write's value converted to `vt` into `*out` (VT_EMPTY on failure; the caller clears
// it).
HRESULT put_value_as(const DispatchCall& call, VARTYPE vt, VARIANT* out) {
  VariantInit(out);
  return FAILED(VariantChangeType(out, &call.put_value(), 0, vt)) ? DISP_E_TYPEMISMATCH : S_OK;
}

class RegExp final : public CountedDispatchObject {
 public:
  RegExp() : CountedDispatchObject(kMembers, create_regexp) {}

 protected:
  HRESULT invoke_member(const DispatchMember& member, const DispatchCall& call) override {
    switch (member.id) {
      case kPattern:
        return call.is_put() ? put_pattern(call) : get_pattern(call);
      case kIgnoreCase:
        return flag(call, &ignore_case_, true);
      case kGlobal:
        return flag(call, &global_, false);
      case kMultiline:
        return flag(call, &multiline_, true);
      case kExecute:
        return execute(call);
      case kReplace:
        return replace(call);
      default:
        return test(call);
    }
  }

 private:
  /* Pattern (write): any value that converts to text. S_OK; DISP_E_TYPEMISMATCH otherwise. */
  HRESULT put_pattern(const DispatchCall& call) {
    VARIANT text;
    const HRESULT converted = put_value_as(call, VT_BSTR, &text);
    if (SUCCEEDED(converted)) {
      std::u16string pattern(text.bstrVal ? text.bstrVal : u"", SysStringLen(text.bstrVal));
      if (pattern != pattern_) compiled_.reset();
      pattern_ = std::move(pattern);
    }
    VariantClear(&text);
    return converted;
  }

  /* Pattern (read): the text; the empty pattern reads as a null BSTR, as on the platform. */
  HRESULT get_pattern(const DispatchCall& call) const {
    if (!pattern_.empty() || call.result() == nullptr) return call.return_text(pattern_);
    VariantClear(call.result());
    call.result()->vt = VT_BSTR;
    call.result()->bstrVal = nullptr;
    return S_OK;
  }

  /* IgnoreCase, Global, Multiline: VT_BOOL when read; a write takes any value that converts to
     a logical (DISP_E_TYPEMISMATCH otherwise). A write that changes a flag the compiled pattern
     depends on drops it. */
  HRESULT flag(const DispatchCall& call, bool* value, bool compiled_with) {
    if (!call.is_put()) return call.return_bool(*value);
    VARIANT logical;
    const HRESULT converted = put_value_as(call, VT_BOOL, &logical);
    if (FAILED(converted)) return converted;
    const bool written = logical.boolVal != VARIANT_FALSE;
    if (compiled_with && written != *value) compiled_.reset();
    *value = written;
    return S_OK;
  }

  // The compiled pattern; null when it lies outside the syntax.
  const CompiledPattern* compiled() {
    if (compiled_ == nullptr) {
      compiled_ = CompiledPattern::compile(pattern_,
                                           {.ignore_case = ignore_case_, .multiline = multiline_});
    }
    return compiled_.get();
  }

  /* Execute(subject): a new match collection, with every match when Global is on, else with
     the first or none. E_REGEXP_SYNTAX for a pattern outside the syntax; E_REGEXP_TOO_COMPLEX
     when the matcher's limits stop it; DISP_E_TYPEMISMATCH for a subject that is not text.
     Deviation: in a repeated group, a group keeps the text of an earlier iteration where the
     platform resets it. */
  HRESULT execute(const DispatchCall& call) {
    std::u16string subject;
    if (FAILED(call.get_text(0, &subject))) return DISP_E_TYPEMISMATCH;
    const CompiledPattern* pattern = compiled();
    if (pattern == nullptr) return E_REGEXP_SYNTAX;
    auto result = std::make_shared<ExecuteResult>(
        ExecuteResult{std::move(subject), MatchList(pattern->groups())});
    const HRESULT found = pattern->find(result->subject, global_, &result->matches);
    if (FAILED(found)) return found;
    return call.return_object(new_match_collection(std::move(result)));
  }

  /* Replace(subject, replacement): the subject with every match (Global) or the first replaced
     as replacement.h says; the failures of Execute. The replacement may be any value that
     converts to text; the platform's function-valued replacements are not supported. */
  HRESULT replace(const DispatchCall& call) {
    std::u16string subject, replacement;
    if (FAILED(call.get_text(0, &subject)) || FAILED(call.get_text(1, &replacement))) {
      return DISP_E_TYPEMISMATCH;
    }
    const CompiledPattern* pattern = compiled();
    if (pattern == nullptr) return E_REGEXP_SYNTAX;
    MatchList matches(pattern->groups());
    const HRESULT found = pattern->find(subject, global_, &matches);
    if (FAILED(found)) return found;
    return call.return_text(
        replaced(subject, matches, Replacement(replacement, pattern->groups())));
  }

  static std::u16string replaced(std::u16string_view subject, const MatchList& matches,
                                 const Replacement& replacement) {
    std::u16string out;
    out.reserve(subject.size());
    std::size_t copied = 0;
    for (std::size_t i = 0; i < matches.count(); ++i) {
      const auto row = matches.row(i);
      out.append(subject.substr(copied, row[0] - copied));
      replacement.append(subject, row, &out);
      copied = row[1];
    }
    out.append(subject.substr(copied));
    return out;
  }

  /* Test(subject): VT_BOOL, whether the subject holds a match; the failures of Execute. */
  HRESULT test(const DispatchCall& call) {
    std::u16string subject;
    if (FAILED(call.get_text(0, &subject))) return DISP_E_TYPEMISMATCH;
    const CompiledPattern* pattern = compiled();
    if (pattern == nullptr) return E_REGEXP_SYNTAX;
    MatchList matches(pattern->groups());
    const HRESULT found = pattern->find(subject, false, &matches);
    if (FAILED(found)) return found;
    return call.return_bool(matches.count() > 0);
  }

  std::u16string pattern_;
  bool ignore_case_ = false;
  bool global_ = false;
  bool multiline_ = false;
  std::shared_ptr<const CompiledPattern> compiled_;
};

HRESULT create_regexp(IUnknown** instance) {
  *instance = static_cast<IDispatch*>(new RegExp);
  return S_OK;
}

}  // namespace

void register_regexp_component() {
  register_class(u"VBScript.RegExp", kRegExpClsid, create_regexp);
}

std::int32_t regexp_objects_alive() {
  return CountedDispatchObject::live();
}
