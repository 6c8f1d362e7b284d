// Feeds arbitrary patterns, subjects, replacements and flags to the regular-expression component
// through the automation bridge; then gives RegexObject the pattern and the input's bytes as a
// subject, as a page head from the network reaches it.
//
// Input: one byte of flags (bit 0 IgnoreCase, bit 1 Global, bit 2 Multiline), then UTF-16LE code
// units: the pattern, the subject and the replacement, separated by the unit U+0000.
//
// What must hold: every match lies inside the subject in order, and is the text it claims to be;
// without Global there is at most one; Test agrees with Execute; replacing every match by "$&"
// gives the subject back; nothing the component made outlives the input; positions are byte
// offsets within the subject, or -2. Long patterns and subjects are cut, so that matching stays
// bounded in time.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/apartment.h"
#include "platform/installed_components.h"
#include "platform/regexp/regexp_component.h"
#include "regex/regex_object.h"
#include "runtime/bridge.h"
#include "runtime/wide_text.h"

namespace {

constexpr std::size_t kMostPatternUnits = 256;
constexpr std::size_t kMostSubjectUnits = 1024;

void require(bool condition) {
  if (!condition) std::abort();
}

struct Input {
  bool ignore_case = false;
  bool global = false;
  bool multiline = false;
  std::u16string pattern;
  std::u16string subject;
  std::u16string replacement;
};

Input read_input(const std::uint8_t* data, std::size_t size) {
  Input input;
  input.ignore_case = (data[0] & 1) != 0;
  input.global = (data[0] & 2) != 0;
  input.multiline = (data[0] & 4) != 0;
  std::u16string* parts[] = {&input.pattern, &input.subject, &input.replacement};
  std::size_t part = 0;
  for (std::size_t i = 1; i + 1 < size && part < 3; i += 2) {
    const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) {
      ++part;
    } else {
      parts[part]->push_back(unit);
    }
  }
  if (input.pattern.size() > kMostPatternUnits) input.pattern.resize(kMostPatternUnits);
  if (input.subject.size() > kMostSubjectUnits) input.subject.resize(kMostSubjectUnits);
  return input;
}

// A variant holding `text` as a BSTR.
VariantValue bstr_variant(std::u16string_view text) {
  VariantValue value;
  value->vt = VT_BSTR;
  value->bstrVal = SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
  return value;
}

// The matches of one Execute obey what a list of matches must.
void check_matches(AutomationObject& matches, const Input& input) {
  const auto count = static_cast<std::int32_t>(get_property_number(matches, "Count"));
  require(count >= 0 && (input.global || count <= 1));
  std::int32_t searched_from = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    AutomationObject match = get_property_object(matches, "Item", {TypedArg::integer(i)});
    const auto first = static_cast<std::int32_t>(get_property_number(match, "FirstIndex"));
    const auto length = static_cast<std::int32_t>(get_property_number(match, "Length"));
    require(first >= searched_from && length >= 0);
    require(static_cast<std::size_t>(first + length) <= input.subject.size());
    const VariantValue value = get_property_variant(match, "Value");
    const std::u16string_view text(value->bstrVal, SysStringLen(value->bstrVal));
    require(text == std::u16string_view(input.subject).substr(first, length));
    searched_from = length > 0 ? first + length : first + 1;

    AutomationObject groups = get_property_object(match, "SubMatches");
    const auto group_count = static_cast<std::int32_t>(get_property_number(groups, "Count"));
    for (std::int32_t k = 0; k < group_count; ++k) {
      const VariantValue group = get_property_variant(groups, "Item", {TypedArg::integer(k)});
      require(group->vt == VT_EMPTY || group->vt == VT_BSTR);
    }
  }
}

void drive_component(const Input& input) {
  AutomationObject regexp;
  require(object_create(regexp, "VBScript.RegExp"));
  set_property(regexp, "IgnoreCase", {TypedArg::logical(input.ignore_case)});
  set_property(regexp, "Global", {TypedArg::logical(input.global)});
  set_property(regexp, "Multiline", {TypedArg::logical(input.multiline)});
  const VariantValue pattern = bstr_variant(input.pattern);
  set_property(regexp, "Pattern", {pattern.arg()});

  const VariantValue subject = bstr_variant(input.subject);
  AutomationObject matches = call_method_object(regexp, "Execute", {subject.arg()});
  const bool executed = !matches.empty();
  if (executed) check_matches(matches, input);

  VariantValue replacement = bstr_variant(input.replacement);
  const Text replaced = call_method_text(regexp, "Replace", {subject.arg(), replacement.ref()});
  VariantValue whole_match = bstr_variant(u"$&");
  const VariantValue same =
      call_method_variant(regexp, "Replace", {subject.arg(), whole_match.ref()});
  if (executed && same->vt == VT_BSTR) {
    require(std::u16string_view(same->bstrVal, SysStringLen(same->bstrVal)) == input.subject);
  }

  const VariantValue found = call_method_variant(regexp, "Test", {subject.arg()});
  if (executed && found->vt == VT_BOOL) {
    require((found->boolVal != 0) == (get_property_number(matches, "Count") > 0));
  }
}

// A position that RegexObject reports: -2, or a byte offset within the subject (whose GBK
// characters take at most two bytes per UTF-16 unit).
bool is_position_in(std::int32_t position, std::size_t subject_bytes) {
  return position == -2 ||
         (position >= 0 && static_cast<std::size_t>(position) <= 2 * subject_bytes);
}

void drive_regex_object(const Input& input, const std::uint8_t* data, std::size_t size) {
  const Text pattern = wide_to_ansi(input.pattern.c_str());
  const std::string_view subject(reinterpret_cast<const char*>(data), size);
  RegexObject regex;
  regex.search(pattern.view(), subject,
               {.case_sensitive = !input.ignore_case, .global = input.global});
  std::int32_t position = 0;
  const Text match = regex.match_text(1, &position);
  require(is_position_in(position, size));
  const Text group = regex.submatch_text(1, 1, &position);
  require(is_position_in(position, size));
  const Text replaced = regex.replace("[$1]");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  register_installed_components();
  CoInitialize(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const Input input = read_input(data, size);
  drive_component(input);
  drive_regex_object(input, data + 1, std::min<std::size_t>(size - 1, kMostSubjectUnits));
  require(regexp_objects_alive() == 0);
  return 0;
}
