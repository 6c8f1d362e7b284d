#include <gtest/gtest.h>

#include <string>

#include "platform/regexp/compiled_pattern.h"

namespace {

constexpr PatternOptions kIgnoreCase{.ignore_case = true};
constexpr PatternOptions kMultiline{.multiline = true};

// The text of the first match, "<none>" without one, "<syntax>" for a pattern that does not
// compile.
std::u16string first_match(std::u16string_view pattern, std::u16string_view subject,
                           PatternOptions options = {}) {
  const auto compiled = CompiledPattern::compile(pattern, options);
  if (compiled == nullptr) return u"<syntax>";
  MatchList matches(compiled->groups());
  if (FAILED(compiled->find(subject, false, &matches))) return u"<failed>";
  if (matches.count() == 0) return u"<none>";
  const auto row = matches.row(0);
  return std::u16string(subject.substr(row[0], row[1] - row[0]));
}

struct Case {
  std::u16string_view pattern;
  std::u16string_view subject;
  std::u16string_view expected;
};

void expect_cases(std::initializer_list<Case> cases, PatternOptions options = {}) {
  for (const Case& c : cases) {
    EXPECT_EQ(first_match(c.pattern, c.subject, options), c.expected)
        << std::string(c.pattern.begin(), c.pattern.end());
  }
}

TEST(RegexpPattern, AnchorsAndDotReadAsTheComponentReadsThem) {
  expect_cases({
      {u"a.c", u"a\nc a\rc", u"a\rc"},  // "." is anything but "\n"
      {u"^b", u"a\nb", u"<none>"},      // without Multiline, the ends of the subject only
      {u"a$", u"a\n", u"<none>"},       // not before a final newline either
      {u"a$", u"ba", u"a"},
  });
  expect_cases(
      {
          {u"^b", u"a\rb", u"b"},  // after "\r" as after "\n"
          {u"a$", u"xa\r\n", u"a"},
          {u"^$", u"\r\n", u""},  // between "\r" and "\n" too
          {u"^x", u"ax", u"<none>"},
      },
      kMultiline);
}

TEST(RegexpPattern, ClassEscapesStayAsciiEvenUnderIgnoreCase) {
  // Ignoring case reaches beyond ASCII ...
  EXPECT_EQ(first_match(u"\u00e9", u"\u00c9", kIgnoreCase), u"\u00c9");
  EXPECT_EQ(first_match(u"[\u00e0-\u00ef]", u"\u00c9", kIgnoreCase), u"\u00c9");
  // ... but \d \w \s \b keep their ASCII meaning, and \W inside a class does not take the
  // letters whose other cases lie beyond ASCII (U+017F long s, U+212A Kelvin sign).
  expect_cases(
      {
          {u"\\d", u"\u0661", u"<none>"},
          {u"\\w", u"\u00e9\u212a\u017f", u"<none>"},
          {u"\\s", u"\u00a0\u3000", u"<none>"},
          {u"\\s+", u"\t\n\v\f\r ", u"\t\n\v\f\r "},
          {u"a\\b", u"a\u00e9", u"a"},
          {u"[\\W]+", u"kKsS\u00e9", u"\u00e9"},
          {u"[^\\w]", u"k\u00e9", u"\u00e9"},
          {u"\\W", u"\u212a", u"\u212a"},
          {u"[\\d]+", u"\u06619", u"9"},
      },
      kIgnoreCase);
  expect_cases({{u"a\\b", u"a\u00e9", u"a"}, {u"\\w+", u"ab\u00e9", u"ab"}});
}

TEST(RegexpPattern, EscapesNameCharactersOrStandForThemselves) {
  expect_cases({
      {u"\\x41\\u0042", u"AB", u"AB"},
      {u"\\x4g", u"x4g", u"x4g"},  // too few hex digits: the letter itself
      {u"\\u004", u"u004", u"u004"},
      {u"\\cJ", u"\n", u"\n"},
      {u"\\c1", u"\\c1", u"\\c1"},   // no letter: a backslash and "c"
      {u"\\101\\60", u"A0", u"A0"},  // octal, no groups to refer to
      {u"\\8", u"8", u"8"},
      {u"\\A\\Z\\z\\h\\K\\G\\N\\p\\X", u"AZzhKGNpX", u"AZzhKGNpX"},
      {u"\\Qa.\\E", u"Qa.E", u"Qa.E"},
      {u"\\Qa.\\E", u"QabE", u"QabE"},  // "." still means any character
      {u"\\/\\-\\#", u"/-#", u"/-#"},
      {u"\\t\\v\\f", u"\t\v\f", u"\t\v\f"},
  });
}

TEST(RegexpPattern, BackReferencesNameExistingGroupsOnly) {
  expect_cases({
      {u"(a)\\1", u"aa", u"aa"},
      {u"(a)\\2", u"a\u0002", u"a\u0002"},  // past the group count: an octal escape
      {u"(a)\\10", u"a\u0008", u"a\u0008"},
      {u"(?:(a)|b)\\1c", u"bc", u"bc"},  // a group that did not take part matches empty
      {u"\\1(a)", u"a", u"a"},
  });
}

TEST(RegexpPattern, ClassesAndBracesFollowTheComponent) {
  expect_cases({
      {u"a[]", u"a", u"<none>"},  // [] never matches
      {u"a[^]b", u"a\nb", u"a\nb"},
      {u"[^]a]", u"\na]", u"\na]"},   // "]" right after "[^" closes the class
      {u"[\\d-z]+", u"1-z", u"1-z"},  // a class escape cannot bound a range
      {u"[a-]+", u"a-", u"a-"},
      {u"[[:alpha:]]+", u"[:a]]", u"a]]"},  // no POSIX classes: "[" ":" "a" ..., then "]+"
      {u"[\\b]", u"\b", u"\b"},
      {u"[\\x41-\\x43]+", u"ABCD", u"ABC"},
      {u"a{2}", u"aaa", u"aa"},
      {u"a{1,}?", u"aaa", u"a"},
      {u"a{", u"a{", u"a{"},  // "{" that does not open a quantifier is a literal
      {u"a{,2}", u"a{,2}", u"a{,2}"},
      {u"x}]", u"x}]", u"x}]"},
      {u"(?=a)a(?!b)", u"ab ac", u"a"},
      {u"", u"abc", u""},
  });
}

TEST(RegexpPattern, PatternsOutsideTheSyntaxDoNotCompile) {
  for (std::u16string_view pattern :
       {u"(?<=a)b", u"(?<!a)b", u"(?<n>a)",   u"(?P<n>a)", u"(?i)a", u"(?>a)", u"(?#c)",
        u"(?|a)",   u"(?R)",    u"(*ACCEPT)", u"a++",      u"a*+",   u"a**",   u"a{2}*",
        u"a*??",    u"*a",      u"|+",        u"^*",       u"\\b+",  u"{2}",   u"[a",
        u"[z-a]",   u"a\\",     u"(a",        u"a)",       u"(?"}) {
    EXPECT_EQ(CompiledPattern::compile(pattern, {}), nullptr)
        << std::string(pattern.begin(), pattern.end());
  }
}

TEST(RegexpPattern, LimitsStopRunawayBacktracking) {
  const auto compiled = CompiledPattern::compile(u"(a+)+$", {});
  ASSERT_NE(compiled, nullptr);
  MatchList matches(compiled->groups());
  const std::u16string subject = std::u16string(30, u'a') + u"b";
  EXPECT_EQ(compiled->find(subject, true, &matches), E_REGEXP_TOO_COMPLEX);
  EXPECT_EQ(matches.count(), 0u);
}

TEST(RegexpPattern, LongSubjectsOutgrowingTheJitStackRunInTheInterpreter) {
  const auto compiled = CompiledPattern::compile(u"(?:a|b)*c", {});
  ASSERT_NE(compiled, nullptr);
  std::u16string subject;
  for (int i = 0; i < 50000; ++i)
    subject += i % 2 ? u'a' : u'b';
  subject += u'c';
  MatchList matches(compiled->groups());
  ASSERT_EQ(compiled->find(subject, false, &matches), S_OK);
  ASSERT_EQ(matches.count(), 1u);
  EXPECT_EQ(matches.row(0)[1], subject.size());
}

TEST(RegexpPattern, PatternsAreSharedUntilTheirOptionsDiffer) {
  const auto first = CompiledPattern::compile(u"a.b", {});
  EXPECT_EQ(CompiledPattern::compile(u"a.b", {}), first);
  EXPECT_NE(CompiledPattern::compile(u"a.b", kIgnoreCase), first);
  EXPECT_NE(CompiledPattern::compile(u"a.c", {}), first);
}

}  // namespace
