// The interactive program end to end: its dialogue through a pipe and through a terminal.
#include <string>

#include "tests/app/end_to_end.h"

namespace end_to_end {
namespace {

using test_support::ProgramRun;
using test_support::run_with_input;
using test_support::RunOptions;

// What the program shows, in the terminal's character set.
struct Dialogue {
  const char* locale;
  std::string prompt, complete, keyword;
};

const Dialogue kUtf8{kUtf8Locale, utf8(u8"输入检索的关键词：\r\n"), utf8(u8"检索完成\r\n"),
                     utf8(u8"月亮")};
const Dialogue kGbk{kGbkLocale, "输入检索的关键词：\r\n", "检索完成\r\n", "月亮"};

// The listing of a search whose service knows no song.
const std::string kEmptyListing = "1.\r\n\r\n2.\r\n\r\n3.\r\n\r\n4.\r\n\r\n5.\r\n\r\n";

// One pass of the cycle as standard output shows it.
std::string pass(const Dialogue& dialogue) {
  return dialogue.prompt + kEmptyListing + dialogue.complete;
}

TEST_F(ProgramTest, ShowsThePromptListingAndCompletionLineAsExactBytesInAUtf8AndAGbkLocale) {
  for (const Dialogue& dialogue : {kUtf8, kGbk}) {
    SCOPED_TRACE(dialogue.locale);
    const ProgramRun run =
        run_with_input(kProgram, dialogue.keyword + "\n\n", RunOptions{.locale = dialogue.locale});
    EXPECT_EQ(run.out, pass(dialogue) + dialogue.prompt);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_code, 0);
  }
}

TEST_F(ProgramTest, TheEndOfInputEndsTheProgramWithExitCodeZeroAtThePromptAndWhileWaiting) {
  const ProgramRun at_prompt = run_with_input(kProgram, "");
  EXPECT_EQ(at_prompt.out, kUtf8.prompt);
  EXPECT_EQ(at_prompt.exit_code, 0);

  for (const char* input : {"moon\n", "moon"}) {
    SCOPED_TRACE(input);
    const ProgramRun while_waiting = run_with_input(kProgram, input);
    EXPECT_EQ(while_waiting.out, pass(kUtf8));
    EXPECT_EQ(while_waiting.exit_code, 0);
  }
}

TEST_F(ProgramTest, TheLineTypedWhileWaitingIsDiscardedAndAnEmptyLineIsAKeyword) {
  const ProgramRun run = run_with_input(kProgram, "first\nwaiting\n\n\n");
  EXPECT_EQ(run.out, pass(kUtf8) + pass(kUtf8) + kUtf8.prompt);
  EXPECT_EQ(run.exit_code, 0);
  for (const test_support::ReceivedRequest& request : service_.requests()) {
    EXPECT_EQ(request.target.find("keyword=waiting"), std::string::npos) << request.target;
  }
}

TEST_F(ProgramTest, StandardInputThatCannotBeReadEndsTheProgramWithANotice) {
  const ProgramRun run = run_with_input(kProgram, "", RunOptions{.without_standard_input = true});
  EXPECT_EQ(run.out, kUtf8.prompt);
  EXPECT_EQ(run.err, "songsearch: cannot read standard input\n");
  EXPECT_EQ(run.exit_code, 1);
}

// The terminal echoes what is typed and shows each line end as CR LF; the program's own CR LF
// comes out as CR CR LF.
std::string on_screen(std::string text) {
  std::string shown;
  for (char c : text) {
    if (c == '\n') shown += "\r";
    shown += c;
  }
  return shown;
}

TEST_F(ProgramTest, OneSearchTypedAtATerminal) {
  test_support::TerminalSession session(kProgram);
  ASSERT_TRUE(session.started());
  ASSERT_TRUE(session.wait_for(on_screen(kUtf8.prompt)));
  session.type(kUtf8.keyword + "\r");
  ASSERT_TRUE(session.wait_for(on_screen(kUtf8.complete)));
  session.type("\r");
  ASSERT_TRUE(session.wait_for(on_screen(kUtf8.prompt)));
  session.type("\x04");
  const ProgramRun run = session.finish();
  EXPECT_EQ(run.out, on_screen(kUtf8.prompt) + kUtf8.keyword + "\r\n" +
                         on_screen(kEmptyListing + kUtf8.complete) + "\r\n" +
                         on_screen(kUtf8.prompt));
  EXPECT_EQ(run.exit_code, 0);
}

}  // namespace
}  // namespace end_to_end
