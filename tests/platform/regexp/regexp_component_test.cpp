#include <gtest/gtest.h>

#include <string>

#include "platform/com/apartment.h"
#include "platform/regexp/regexp_component.h"
#include "runtime/bridge.h"

namespace {

std::string as_string(const Text& text) {
  return std::string(text.view());
}

class RegexpComponentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    register_regexp_component();
    CoInitialize(nullptr);
    ASSERT_TRUE(object_create(regexp, "VBScript.RegExp"));
  }
  void TearDown() override {
    object_release(regexp);
    CoUninitialize();
    EXPECT_EQ(regexp_objects_alive(), 0) << "every object the test made is released";
  }

  void set(const char* property, bool value) {
    ASSERT_TRUE(set_property(regexp, property, {TypedArg::logical(value)})) << property;
  }
  void set_pattern(const char* pattern) {
    ASSERT_TRUE(set_property(regexp, "Pattern", {TypedArg::text(pattern)}));
  }
  AutomationObject execute(const char* subject) {
    return call_method_object(regexp, "Execute", {TypedArg::text(subject)});
  }
  std::string replace(const char* subject, const char* replacement) {
    return as_string(call_method_text(regexp, "Replace",
                                      {TypedArg::text(subject), TypedArg::text(replacement)}));
  }

  AutomationObject regexp;
};

TEST_F(RegexpComponentTest, NewInstanceHasAnEmptyPatternAndNoSingleline) {
  const VariantValue pattern = get_property_variant(regexp, "Pattern");
  EXPECT_EQ(pattern->vt, VT_BSTR);
  EXPECT_EQ(pattern->bstrVal, nullptr) << "the empty pattern reads as a null BSTR";
  for (const char* flag : {"IgnoreCase", "Global", "Multiline"}) {
    EXPECT_EQ(get_property_number(regexp, flag), 0.0) << flag;
  }
  EXPECT_FALSE(set_property(regexp, "Singleline", {TypedArg::logical(true)}));
  EXPECT_EQ(regexp.last_result(), DISP_E_UNKNOWNNAME);
}

TEST_F(RegexpComponentTest, ExecuteListsMatchesWithPositionsAndGroups) {
  set_pattern("(a|b)+|(c)");
  set("Global", true);
  AutomationObject matches = execute("xaa-c");
  ASSERT_FALSE(matches.empty());
  ASSERT_EQ(get_property_number(matches, "Count"), 2.0);

  AutomationObject first = get_property_object(matches, "Item", {TypedArg::float64(0)});
  EXPECT_EQ(as_string(get_property_text(first, "Value")), "aa");
  EXPECT_EQ(get_property_number(first, "FirstIndex"), 1.0);
  EXPECT_EQ(get_property_number(first, "Length"), 2.0);
  AutomationObject groups = get_property_object(first, "SubMatches");
  EXPECT_EQ(get_property_number(groups, "Count"), 2.0);
  EXPECT_EQ(as_string(get_property_text(groups, "Item", {TypedArg::integer(0)})), "a");
  const VariantValue absent = get_property_variant(groups, "Item", {TypedArg::integer(1)});
  EXPECT_EQ(absent->vt, VT_EMPTY) << "a group that did not take part";

  AutomationObject second = get_property_object(matches, "Item", {TypedArg::float64(1)});
  EXPECT_EQ(get_property_number(second, "FirstIndex"), 4.0);

  AutomationObject past = get_property_object(matches, "Item", {TypedArg::float64(2)});
  EXPECT_TRUE(past.empty());
  EXPECT_EQ(matches.last_result(), E_REGEXP_INVALID_ARGUMENT);
  EXPECT_FALSE(set_property(matches, "Count", {TypedArg::integer(1)})) << "read-only";

  set("Global", false);
  AutomationObject only_first = execute("xaa-c");
  EXPECT_EQ(get_property_number(only_first, "Count"), 1.0);
  EXPECT_TRUE(call_method_logical(regexp, "Test", {TypedArg::text("--c")}));
  EXPECT_FALSE(call_method_logical(regexp, "Test", {TypedArg::text("xyz")}));
}

TEST_F(RegexpComponentTest, GlobalSearchStepsOneUnitPastEmptyMatches) {
  set("Global", true);
  set_pattern("");
  AutomationObject matches = execute("test");
  ASSERT_EQ(get_property_number(matches, "Count"), 5.0);
  for (int i = 0; i < 5; ++i) {
    AutomationObject match = get_property_object(matches, "Item", {TypedArg::integer(i)});
    EXPECT_EQ(get_property_number(match, "FirstIndex"), i);
  }
  EXPECT_EQ(replace("xxx", "y"), "yxyxyxy");
  set_pattern("^\\s*|\\s*$");
  EXPECT_EQ(replace("   ", "y"), "yy");
  set_pattern("a*");
  EXPECT_EQ(replace("baaac", "<$&>"), "<>b<aaa><>c<>");

  set("Global", false);
  set_pattern("");
  EXPECT_EQ(replace("xxx", "y"), "yxxx");
}

TEST_F(RegexpComponentTest, ReplacementFollowsTheDollarSyntax) {
  set_pattern("(b)(c)");
  const struct {
    const char* replacement;
    const char* expected;
  } cases[] = {
      {"[$1|$2]", "a[b|c]d"}, {"$3", "a$3d"}, {"$11", "ab1d"}, {"$02", "acd"},
      {"$0", "a$0d"},         {"$", "a$d"},   {"$a", "a$ad"},  {"$$1", "a$1d"},
      {"$&$&", "abcbcd"},     {"$`", "aad"},  {"$'", "add"},   {"$00", "a$00d"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(replace("abcd", c.replacement), c.expected) << c.replacement;
  }
  set_pattern("(x)|(b)");
  EXPECT_EQ(replace("abc", "[$1]"), "a[]c") << "a group that did not take part gives nothing";
}

TEST_F(RegexpComponentTest, PatternOutsideTheSyntaxFailsEveryMatchingMember) {
  set_pattern("(?<=a)b");
  EXPECT_TRUE(execute("ab").empty());
  EXPECT_EQ(regexp.last_result(), E_REGEXP_SYNTAX);
  EXPECT_EQ(replace("ab", "x"), "");
  EXPECT_EQ(regexp.last_result(), E_REGEXP_SYNTAX);
  EXPECT_FALSE(call_method_logical(regexp, "Test", {TypedArg::text("ab")}));
  EXPECT_EQ(regexp.last_result(), E_REGEXP_SYNTAX);

  set_pattern("(a+)+$");
  EXPECT_TRUE(execute("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaab").empty());
  EXPECT_EQ(regexp.last_result(), E_REGEXP_TOO_COMPLEX);
}

TEST_F(RegexpComponentTest, CompiledPatternFollowsPatternAndFlagChanges) {
  set_pattern("^a.");
  EXPECT_FALSE(call_method_logical(regexp, "Test", {TypedArg::text("x\nAb")}));
  set("IgnoreCase", true);
  EXPECT_FALSE(call_method_logical(regexp, "Test", {TypedArg::text("x\nAb")}));
  set("Multiline", true);
  EXPECT_TRUE(call_method_logical(regexp, "Test", {TypedArg::text("x\nAb")}));
  set_pattern("^b");
  EXPECT_FALSE(call_method_logical(regexp, "Test", {TypedArg::text("x\nAb")}));
  set("IgnoreCase", false);
  set_pattern("^A");
  EXPECT_TRUE(call_method_logical(regexp, "Test", {TypedArg::text("x\nAb")}));
}

}  // namespace
