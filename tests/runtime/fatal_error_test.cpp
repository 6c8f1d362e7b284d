#include <gtest/gtest.h>

#include "runtime/console_io.h"
#include "runtime/memory.h"
#include "tests/support/redirected_child.h"

namespace {

// Counts exit-callback runs on standard error, where the death test's matcher can see them.
void report_callback_run() {
  fprintf(stderr, "[exit callback]");
}

TEST(FatalErrorDeathTest, ReportsNumberAndMessageThenExitsWithZero) {
  EXPECT_EXIT(fatal_error(6), testing::ExitedWithCode(0),
              "^error: program internal error number is 6\\. \r\n"
              "\xE8\xB0\x83\xE7\x94\xA8"
              "DLL");  // the message of row 6, in UTF-8 on this terminal
}

TEST(FatalErrorDeathTest, NumbersWithoutMessageLeaveTheSecondLineEmpty) {
  EXPECT_EXIT(fatal_error(100), testing::ExitedWithCode(0),
              "^error: program internal error number is 100\\. \r\n\n$");
  EXPECT_EXIT(fatal_error(-3), testing::ExitedWithCode(0),
              "^error: program internal error number is -3\\. \r\n\n$");
}

TEST(FatalErrorDeathTest, RunsTheExitCallbackOnceAfterTheReport) {
  EXPECT_EXIT(
      {
        set_exit_callback(report_callback_run);
        fatal_error(1);
      },
      testing::ExitedWithCode(0),
      "^error: program internal error number is 1\\. \r\n[^\n]*\n\\[exit callback\\]$");
}

void fail_in_callback() {
  report_callback_run();
  fatal_error(4);
}

TEST(FatalErrorDeathTest, AFatalErrorInsideTheExitCallbackStillEndsTheProcess) {
  EXPECT_EXIT(
      {
        set_exit_callback(fail_in_callback);
        fatal_error(1);
      },
      testing::ExitedWithCode(0),
      "number is 1\\. \r\n[^\n]*\n\\[exit callback\\]error: [^\n]*number is 4\\. \r\n[^\n]*\n$");
}

TEST(ExitProgramDeathTest, EndsWithTheGivenCode) {
  EXPECT_EXIT(exit_program(3), testing::ExitedWithCode(3), "");
  EXPECT_EXIT(
      {
        set_exit_callback(report_callback_run);
        set_exit_callback(nullptr);
        exit_program(0);
      },
      testing::ExitedWithCode(0), "^$");
}

// The last output of each stream ends in the lead byte of 歌 (B8 E8), which no trail byte follows.
TEST(ExitProgramTest, WritesOutALeadByteThatNoTrailByteFollowed) {
  auto print_then_end = [](bool fatal) {
    return [fatal]() -> std::string {
      const TypedArg out[] = {TypedArg{}, TypedArg::text("ab\xB8")};
      const TypedArg err[] = {TypedArg::integer(2), TypedArg::text("c\xB8")};
      console_print(out);
      console_print(err);
      if (fatal) fatal_error(1);
      exit_program(0);
    };
  };
  const auto gbk = test_support::run_in_child("", "zh_CN.GBK", print_then_end(false));
  EXPECT_EQ(gbk.out + "|" + gbk.err, "ab\xB8|c\xB8");
  const auto utf8 = test_support::run_in_child("", "C.UTF-8", print_then_end(true));
  EXPECT_EQ(utf8.out, "ab?");
  EXPECT_EQ(utf8.err.substr(0, 9), "c?error: ") << "what was held goes out before the report";
}

}  // namespace
