#include "regex/regex_object.h"

#include <memory>
#include <new>

#include "platform/com/apartment.h"
#include "regex/subject_position.h"
#include "runtime/bridge.h"
#include "runtime/text_blocks.h"
#include "runtime/text_commands.h"

namespace {

constexpr const char* kComponentName = "VBScript.RegExp";
constexpr std::string_view kQuotePlaceholder = "#引号";
constexpr std::string_view kQuote = "\"";

// A zero-filled block from mem_alloc holding the four fields: `table`, two empty holders, and
// the subject variant set to VT_I4 0.
RegexObjectBlock* new_block(const RegexObjectOperations* table) {
  return new (mem_alloc(sizeof(RegexObjectBlock)))
      RegexObjectBlock{table, AutomationObject(), AutomationObject(), VariantValue()};
}

// The class's initialiser, and what a clone does too: its result is not tested.
void enter_apartment() {
  CoInitialize(nullptr);
}

TypedArg logical_variable(std::int32_t* variable) {
  return TypedArg::reference(TypeCode::logical, variable);
}

// The pattern as the component gets it: with the placeholder on, every "#引号" becomes a quote.
Text component_pattern(std::string_view pattern, bool quote_placeholder) {
  if (!quote_placeholder) return text_from_buffer(pattern);
  return text_replace(pattern, kQuotePlaceholder, kQuote, {}, {}, LetterCase::exact);
}

// Match `n` (1-based) of the last search; an empty holder when there is none.
AutomationObject nth_match(RegexObjectBlock& self, std::int32_t n) {
  return get_property_object(self.matches, "Item", {TypedArg::float64(n - 1.0)});
}

// The byte position in the subject of `found` (the text of `match`, or of one of its groups):
// its first occurrence at or after the match's FirstIndex. kNoPosition when it is not a
// non-empty text.
std::int32_t position_in_subject(const RegexObjectBlock& self, AutomationObject& match,
                                 const VARIANT& found) {
  const VARIANT& subject = *self.subject;
  if (subject.vt != VT_BSTR || found.vt != VT_BSTR) return kNoPosition;
  const auto first_index = static_cast<std::int32_t>(get_property_number(match, "FirstIndex"));
  return subject_position({subject.bstrVal, SysStringLen(subject.bstrVal)},
                          {found.bstrVal, SysStringLen(found.bstrVal)}, first_index);
}

// ---------------------------------------------------------------------------------------------
// The operations

void destroy(RegexObjectBlock* self) {
  object_release(self->regexp);
  object_release(self->matches);
  variant_clear(self->subject.get());
  CoUninitialize();
  std::destroy_at(self);  // frees the three field blocks
}

RegexObjectBlock* clone(RegexObjectBlock* self) {
  RegexObjectBlock* copy = new_block(self->operations);
  object_share(copy->regexp, self->regexp);
  object_share(copy->matches, self->matches);
  variant_copy(copy->subject.get(), self->subject.get());
  enter_apartment();
  return copy;
}

bool search(RegexObjectBlock** variable, std::string_view pattern, std::string_view subject,
            std::optional<bool> case_sensitive, std::optional<bool> multiline,
            std::optional<bool> global, std::optional<bool> quote_placeholder) {
  RegexObjectBlock& self = **variable;
  // The component declares these properties by value: the bridge passes them as VT_BOOL.
  std::int32_t ignore_case = case_sensitive.value_or(false) ? 0 : 1;
  std::int32_t multiline_on = multiline.value_or(true) ? 1 : 0;
  std::int32_t single_line = 1;
  std::int32_t global_on = global.value_or(true) ? 1 : 0;

  object_release(self.regexp);
  object_release(self.matches);
  object_create(self.regexp, kComponentName);
  set_property(self.regexp, "IgnoreCase", {logical_variable(&ignore_case)});
  set_property(self.regexp, "Multiline", {logical_variable(&multiline_on)});
  set_property(self.regexp, "Singleline", {logical_variable(&single_line)});  // fails: unknown
  set_property(self.regexp, "Global", {logical_variable(&global_on)});

  const Text pattern_text = component_pattern(pattern, quote_placeholder.value_or(false));
  set_property(self.regexp, "Pattern", {pattern_text.arg()});
  const Text subject_text = text_from_buffer(subject);
  variant_assign(self.subject, subject_text.arg());
  self.matches = call_method_object(self.regexp, "Execute", {self.subject.arg()});
  return !self.matches.empty();
}

void empty_method(RegexObjectBlock**) {}

Text get_pattern(RegexObjectBlock** variable) {
  RegexObjectBlock& self = **variable;
  if (self.regexp.empty()) return Text();
  return get_property_text(self.regexp, "Pattern");
}

Text replace(RegexObjectBlock** variable, std::string_view replacement) {
  RegexObjectBlock& self = **variable;
  const Text replacement_text = text_from_buffer(replacement);
  VariantValue temporary;
  variant_assign(temporary, replacement_text.arg());
  return call_method_text(self.regexp, "Replace", {self.subject.arg(), temporary.ref()});
}

std::int32_t match_count(RegexObjectBlock** variable) {
  return static_cast<std::int32_t>(get_property_number((*variable)->matches, "Count"));
}

Text match_text(RegexObjectBlock** variable, std::int32_t n, std::int32_t* position) {
  RegexObjectBlock& self = **variable;
  AutomationObject match = nth_match(self, n);
  const VariantValue value = get_property_variant(match, "Value");
  if (position != nullptr) *position = position_in_subject(self, match, *value);
  return variant_to_text(value.get());
}

Text submatch_text(RegexObjectBlock** variable, std::int32_t n, std::int32_t k,
                   std::int32_t* position) {
  RegexObjectBlock& self = **variable;
  AutomationObject match = nth_match(self, n);
  AutomationObject groups = get_property_object(match, "SubMatches");
  const VariantValue group = get_property_variant(groups, "Item", {TypedArg::float64(k - 1.0)});
  if (position != nullptr) *position = position_in_subject(self, match, *group);
  return variant_to_text(group.get());
}

std::int32_t submatch_count(RegexObjectBlock** variable) {
  RegexObjectBlock& self = **variable;
  AutomationObject groups;
  {
    AutomationObject first = get_property_object(self.matches, "Item", {TypedArg::integer(0)});
    groups = get_property_object(first, "SubMatches");
  }
  return static_cast<std::int32_t>(get_property_number(groups, "Count"));
}

}  // namespace

const RegexObjectOperations kRegexObjectOperations = {
    destroy, clone,       search,     empty_method,  get_pattern,
    replace, match_count, match_text, submatch_text, submatch_count,
};

RegexObjectBlock* regex_object_new() {
  RegexObjectBlock* object = new_block(&kRegexObjectOperations);
  enter_apartment();
  return object;
}

// ---------------------------------------------------------------------------------------------
// RegexObject

Text RegexObject::match_text(std::int32_t n, std::int32_t* position) {
  if (get() == nullptr && position != nullptr) *position = kNoPosition;
  return call(&Operations::match_text, n, position);
}

Text RegexObject::submatch_text(std::int32_t n, std::int32_t k, std::int32_t* position) {
  if (get() == nullptr && position != nullptr) *position = kNoPosition;
  return call(&Operations::submatch_text, n, k, position);
}
