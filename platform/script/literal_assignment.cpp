#include "platform/script/literal_assignment.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::u16string_view kDeclaration = u"var ";
constexpr std::u16string_view kCall = u"=eval(";
constexpr std::u16string_view kClose = u")";
constexpr std::u16string_view kJsonBlanks = u" \t\r\n";
constexpr std::u16string_view kLineTerminatorsInStrings = u"\u2028\u2029";

// Words that cannot name a variable in non-strict code.
constexpr std::array<std::u16string_view, 36> kReservedWords = {
    u"break",  u"case",     u"catch",  u"class",  u"const",  u"continue",   u"debugger", u"default",
    u"delete", u"do",       u"else",   u"enum",   u"export", u"extends",    u"false",    u"finally",
    u"for",    u"function", u"if",     u"import", u"in",     u"instanceof", u"new",      u"null",
    u"return", u"super",    u"switch", u"this",   u"throw",  u"true",       u"try",      u"typeof",
    u"var",    u"void",     u"while",  u"with",
};

bool starts_identifier(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'$';
}

bool continues_identifier(char16_t c) {
  return starts_identifier(c) || (c >= u'0' && c <= u'9');
}

bool is_variable_name(std::u16string_view name) {
  if (name.empty() || !starts_identifier(name.front())) return false;
  if (!std::all_of(name.begin(), name.end(), continues_identifier)) return false;
  return std::find(kReservedWords.begin(), kReservedWords.end(), name) == kReservedWords.end();
}

bool opens_object_or_array(std::u16string_view literal) {
  const std::size_t first = literal.find_first_not_of(kJsonBlanks);
  return first != std::u16string_view::npos && (literal[first] == u'{' || literal[first] == u'[');
}

}  // namespace

std::optional<LiteralAssignment> as_literal_assignment(std::u16string_view source) {
  if (!source.starts_with(kDeclaration) || !source.ends_with(kClose)) return std::nullopt;
  source.remove_prefix(kDeclaration.size());
  source.remove_suffix(kClose.size());
  const std::size_t call = source.find(kCall);
  if (call == std::u16string_view::npos) return std::nullopt;
  const LiteralAssignment parts{source.substr(0, call), source.substr(call + kCall.size())};
  if (!is_variable_name(parts.name) || !opens_object_or_array(parts.literal)) return std::nullopt;
  if (parts.literal.find_first_of(kLineTerminatorsInStrings) != std::u16string_view::npos) {
    return std::nullopt;
  }
  return parts;
}
