// Texts from the network that are not JSON, or that would exhaust the engine, load as failed
// loads and leave the document and the process healthy.
#include <gtest/gtest.h>

#include <string>

#include "json/json_document.h"
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

TEST_F(JsonHostileTest, ALoopingExpressionStopsAtTheTimeOut) {
  document.set_expression("x", "(function(){ while (true) {} })()");
  EXPECT_FALSE(document.has_member("x"));
  expect_healthy();
}

}  // namespace
