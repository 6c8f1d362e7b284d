#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "json/json_document.h"
#include "platform/com/apartment.h"
#include "platform/com/class_registry.h"
#include "platform/script/script_control.h"

namespace {

constexpr std::string_view kSearchAnswer =
    R"({"status":1,"data":{"total":2,"info":[)"
    R"({"hash":"5B0F3E2A","filename":"月亮 - 歌手","duration":245,"vip":false},)"
    R"({"hash":"C41D9A77","filename":"second","duration":2.5,"extra":null}]}})";

std::string text_of(const Text& text) {
  return std::string(text.view());
}

class JsonDocumentTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { register_script_control(); }

  // A document loaded with `text`, which must load.
  static JsonDocument loaded(std::string_view text) {
    JsonDocument document;
    EXPECT_TRUE(document.parse(text)) << text;
    return document;
  }
};

TEST_F(JsonDocumentTest, LoadsReplaceTheWholeDocument) {
  JsonDocument document;
  EXPECT_EQ(text_of(document.to_json()), "{}");
  EXPECT_TRUE(document.parse(R"( { "a" : [ 1 , { "b" : "x" } ] , "c" : true } )"));
  EXPECT_EQ(text_of(document.to_json()), R"({"a":[1,{"b":"x"}],"c":true})");
  document.set_expression("planted", "function () {}");
  EXPECT_TRUE(document.parse("[1,2]"));
  EXPECT_EQ(text_of(document.to_json()), "[1,2]");
  EXPECT_EQ(document.type_of("planted"), JsonValueType::null) << "nothing of the last load";

  EXPECT_FALSE(document.parse(""));
  EXPECT_EQ(text_of(document.to_json()), "") << "undefined has no JSON text";
  EXPECT_FALSE(document.parse("{"));
  EXPECT_EQ(text_of(document.to_json()), "null") << "not JSON: loaded as a syntax error would";
  EXPECT_FALSE(document.parse("null"));
  EXPECT_TRUE(document.parse("42"));
  EXPECT_EQ(text_of(document.to_json()), "42");
  EXPECT_TRUE(document.parse("true"));
}

TEST_F(JsonDocumentTest, AJsonStringLoadsWhatItsContentsEvaluateTo) {
  JsonDocument document;
  EXPECT_TRUE(document.parse(R"("[1,\"two\"]")"));
  EXPECT_EQ(text_of(document.to_json()), R"([1,"two"])");
  EXPECT_TRUE(document.parse(R"("\"inner\"")"));
  EXPECT_EQ(text_of(document.to_json()), R"("inner")");
  EXPECT_FALSE(document.parse(R"("plainword")")) << "a script name, not JSON";
  EXPECT_FALSE(document.parse(R"("{\"a\":1}")")) << "an object read as a program is a block";
  EXPECT_FALSE(document.parse(R"("{}")")) << "an empty block evaluates to undefined";
}

TEST_F(JsonDocumentTest, LoadedValuesAreTheLiteralsValues) {
  JsonDocument document = loaded(R"({"__proto__":{"a":1},"d":1,"e":2,"d":3,"z":-0})");
  EXPECT_EQ(text_of(document.to_json()), R"({"__proto__":{"a":1},"d":3,"e":2,"z":0})")
      << "__proto__ is a plain member, a repeated key keeps its place and its last value";
  document.set_expression("sign", "1/da.z");
  EXPECT_EQ(document.get_number("sign"), -INFINITY);

  constexpr std::string_view kNumbers =
      "[12345678901234567890123,1e400,5e-324,0.1,2.2250738585072011e-308,-1.5E+2]";
  document = loaded(kNumbers);
  document.set_expression("compiled", std::string(kNumbers));
  EXPECT_EQ(text_of(document.get_json("compiled")), text_of(document.to_json()));
  EXPECT_EQ(text_of(document.to_json()),
            "[1.2345678901234568e+22,null,5e-324,0.1,2.225073858507201e-308,-150]");
}

TEST_F(JsonDocumentTest, EscapesAndCharactersSurviveTheEngine) {
  JsonDocument document = loaded(
      R"({"s":"\"\\\/\b\f\n\r\t\u0001\u007f\u00ad\u2028\ufeff","cn":"月亮","pair":"\ud83d\ude00"})");
  EXPECT_EQ(text_of(document.get_json("s")), R"("\"\\/\b\f\n\r\t\u0001\u007f\u00ad\u2028\ufeff")");
  EXPECT_EQ(text_of(document.get_text("cn")), "月亮") << "GBK in, GBK out";
  EXPECT_EQ(document.get_number("pair.length"), 2.0);
  EXPECT_EQ(document.get_number("pair.charCodeAt(0)"), 0xD83D);
  EXPECT_EQ(document.get_number("pair.charCodeAt(1)"), 0xDE00);

  // A GBK character whose second byte is a backslash does not start an escape.
  const std::string with_trail_backslash = "[\"\x81\x5C\"]";
  document = loaded(with_trail_backslash);
  EXPECT_EQ(text_of(document.get_text("[0]")), "\x81\x5C");
}

TEST_F(JsonDocumentTest, GetTextReadsStringsNumbersAndNothingElse) {
  JsonDocument document = loaded(kSearchAnswer);
  EXPECT_EQ(text_of(document.get_text("data.info[0].hash")), "5B0F3E2A");
  EXPECT_EQ(text_of(document.get_text("data.info[0].hash", true)), "\"5B0F3E2A\"");
  EXPECT_EQ(text_of(document.get_text("data.info[0].filename")), "月亮 - 歌手");
  EXPECT_EQ(text_of(document.get_text("data.info[0].duration")), "245");
  EXPECT_EQ(text_of(document.get_text("data.info[1].duration")), "2.5");
  for (const char* empty : {"data.info[0].vip", "data.info[1].extra", "data", "data.info",
                            "data.info[7].hash", "no.such", ""}) {
    EXPECT_EQ(text_of(document.get_text(empty)), "") << empty;
  }
  EXPECT_EQ(text_of(document.get_text("data.info[0].vip", true)), "false");

  document = loaded(R"(["first",7])");
  EXPECT_EQ(text_of(document.get_text("[0]")), "first") << "a bracket path indexes the root";
  EXPECT_EQ(text_of(document.get_text("[1]")), "") << "type_of joins with '.', so no number";
  EXPECT_EQ(text_of(document.get_text("[1]", true)), "7");
  EXPECT_EQ(text_of(document.get_member("[0]").to_json()), "null")
      << "a string loads as what its contents evaluate to: here a missing name";
  EXPECT_EQ(document.count("[0]"), 6) << "the characters of a string, and its toJSON";
  EXPECT_EQ(document.count(), 2);
}

TEST_F(JsonDocumentTest, DottedOperationsFailOnAnEmptyPath) {
  JsonDocument document = loaded(R"({"a":1})");
  EXPECT_EQ(document.get_number(""), 0.0);
  EXPECT_EQ(text_of(document.get_json("")), "");
  EXPECT_FALSE(document.has_member(""));
  document.remove_member("");
  EXPECT_TRUE(document.has_member("a"));
  document.remove_member("a");
  EXPECT_FALSE(document.has_member("a"));
  EXPECT_EQ(document.get_number("[0]"), 0.0);
}

TEST_F(JsonDocumentTest, CountsNamesAndTypes) {
  JsonDocument document = loaded("[1,2,3]");
  EXPECT_EQ(document.count(), 3);
  EXPECT_EQ(document.type_of(), JsonValueType::array);
  ValueArray names;
  EXPECT_EQ(document.member_names(names), 3);
  EXPECT_EQ(names.text_at(3), "2");

  document = loaded(R"({"a":"s","b":2,"c":true,"d":{},"e":[],"xparseJSON":0,"parseJSON":0})");
  EXPECT_EQ(document.type_of(), JsonValueType::object);
  EXPECT_EQ(document.type_of("a"), JsonValueType::string);
  EXPECT_EQ(document.type_of("b"), JsonValueType::number);
  EXPECT_EQ(document.type_of("c"), JsonValueType::boolean);
  EXPECT_EQ(document.type_of("d"), JsonValueType::object);
  EXPECT_EQ(document.type_of("e"), JsonValueType::array);
  EXPECT_EQ(document.type_of("missing"), JsonValueType::null);
  EXPECT_EQ(document.type_of("[0]"), JsonValueType::other);
  document.set_expression("f", "function () {}");
  EXPECT_EQ(document.type_of("f"), JsonValueType::other);

  EXPECT_EQ(document.member_names(names), 7);
  const char* expected[] = {"a", "b", "c", "d", "e", "xparseJSON", "f"};
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(names.text_at(i + 1), expected[i]) << "only the primer's own names go";
  EXPECT_EQ(document.count("d"), 0);
  EXPECT_EQ(document.member_names(names, "d"), 0);
  EXPECT_EQ(names.count(), 0u);
  document.set_expression("accumulator", "ary");
  EXPECT_EQ(document.type_of("accumulator"), JsonValueType::null) << "the engine keeps no list";
}

TEST_F(JsonDocumentTest, EditsByPath) {
  JsonDocument document = loaded(R"({"s":"text"})");
  document.append("one", "missing");
  document.append("two", "s");
  document.append("3", "s", true);
  EXPECT_EQ(text_of(document.to_json()), R"({"s":["two",3],"missing":["one"]})");

  document.set_text("n", "123");
  document.set_text("o", "", true);
  document.set_text("p", "[1,{\"q\":2}]", true);
  document.set_text("bad", "it's");
  EXPECT_EQ(text_of(document.get_json("n")), "\"123\"") << "stored as a string";
  EXPECT_EQ(text_of(document.get_json("o")), "{}");
  EXPECT_EQ(text_of(document.get_json("p")), R"([1,{"q":2}])");
  EXPECT_FALSE(document.has_member("bad")) << "a quote in the value breaks the statement";
  document.set_number("r", 2.5);
  document.set_number("t", 1.0 / 3);
  EXPECT_EQ(text_of(document.get_text("r")), "2.5");
  EXPECT_EQ(text_of(document.get_text("t")), "0.333333") << "written with six decimals";

  document.reset_to(JsonValueType::number);
  EXPECT_TRUE(document.has_member("r")) << "kind 2 changes nothing";
  document.reset_to(JsonValueType::array);
  EXPECT_EQ(text_of(document.to_json()), "[]");
  document.set_root("[1,2]", true);
  document.remove_element(0);
  EXPECT_EQ(text_of(document.to_json()), "[2]");
  document.set_element(2, "x");
  EXPECT_EQ(text_of(document.to_json()), R"([2,null,"x"])");
  EXPECT_EQ(text_of(document.get_element_text(2)), "x");
  EXPECT_EQ(text_of(document.get_element_text(0, {}, true)), "2");
  document.reset_to(JsonValueType::null);
  EXPECT_EQ(text_of(document.to_json()), "{}");
  document.set_root("plain");
  EXPECT_EQ(text_of(document.to_json()), "\"plain\"");
  document.clear();
  EXPECT_EQ(text_of(document.to_json()), "{}");
}

TEST_F(JsonDocumentTest, ClonesShareUntilTheyLoadAndCopiesAreDeep) {
  const std::uint32_t entries = apartment_entries();
  {
    JsonDocument source = loaded(R"({"a":{"b":[1,2]}})");
    JsonDocument clone = source.clone();
    clone.set_number("c", 3);
    EXPECT_EQ(source.get_number("c"), 3.0) << "one engine, one variable";
    EXPECT_TRUE(clone.parse("[9]"));
    EXPECT_EQ(text_of(source.to_json()), R"({"a":{"b":[1,2]},"c":3})") << "no longer shared";
    clone.reset();
    EXPECT_EQ(source.get_number("c"), 3.0) << "destroying a clone leaves the source usable";

    JsonDocument member = source.get_member("a");
    member.set_number("b", 0);
    EXPECT_EQ(text_of(source.get_json("a.b")), "[1,2]");
    JsonDocument element = source.get_element(1, "a.b");
    EXPECT_EQ(text_of(element.to_json()), "2");
    JsonDocument missing = source.get_member("nowhere");
    EXPECT_EQ(missing.type_of(), JsonValueType::null);
    EXPECT_EQ(text_of(missing.to_json()), "");
    JsonDocument shared_copy = source.clone();
    EXPECT_TRUE(source.parse("{}"));
  }
  EXPECT_EQ(apartment_entries(), entries) << "every document leaves what it entered";
}

TEST_F(JsonDocumentTest, WithoutTheComponentEveryOperationIsEmpty) {
  ASSERT_TRUE(unregister_class(kScriptControlClsid));
  {
    JsonDocument document;
    EXPECT_FALSE(document.parse("[1]"));
    EXPECT_EQ(text_of(document.to_json()), "");
    EXPECT_EQ(text_of(document.get_text("a")), "");
    EXPECT_EQ(document.type_of(), JsonValueType::other);
    JsonDocument copy = document.get_member("a");
    EXPECT_EQ(text_of(copy.to_json()), "");
  }
  register_script_control();
}

}  // namespace
