// The interactive program end to end: its dialogue through a pipe and through a terminal.
#include <string>
#include <vector>

#include "tests/app/end_to_end.h"

namespace end_to_end {
namespace {

using test_support::ProgramRun;
using test_support::run_with_input;
using test_support::RunOptions;

TEST_F(ProgramTest, ShowsThePromptListingAndCompletionLineAsExactBytesInAUtf8AndAGbkLocale) {
  std::vector<std::string> six_songs = kFiveSongs;
  six_songs.push_back(hit_json(R"("F6")", R"("only five are listed")"));
  serve(six_songs);
  for (const char* locale : {kUtf8Locale, kGbkLocale}) {
    SCOPED_TRACE(locale);
    const ProgramRun run = run_with_input(kProgram, shown_in(locale, utf8(u8"月亮\n\n")),
                                          RunOptions{.locale = locale});
    EXPECT_EQ(run.out, shown_in(locale, pass(kFiveSongsListing) + kPrompt));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_code, 0);
  }
}

TEST_F(ProgramTest, TheEndOfInputEndsTheProgramWithExitCodeZeroAtThePromptAndWhileWaiting) {
  const ProgramRun at_prompt = run_with_input(kProgram, "");
  EXPECT_EQ(at_prompt.out, kPrompt);
  EXPECT_EQ(at_prompt.exit_code, 0);

  for (const char* input : {"moon\n", "moon"}) {
    SCOPED_TRACE(input);
    const ProgramRun while_waiting = run_with_input(kProgram, input);
    EXPECT_EQ(while_waiting.out, pass());
    EXPECT_EQ(while_waiting.exit_code, 0);
  }
}

TEST_F(ProgramTest, TheLineTypedWhileWaitingIsDiscardedAndAnEmptyLineIsAKeyword) {
  const ProgramRun run = run_with_input(kProgram, "first\nwaiting\n\n\n");
  EXPECT_EQ(run.out, pass() + pass() + kPrompt);
  EXPECT_EQ(run.exit_code, 0);
  for (const test_support::ReceivedRequest& request : service_.requests()) {
    EXPECT_EQ(request.target.find("keyword=waiting"), std::string::npos) << request.target;
  }
}

TEST_F(ProgramTest, StandardInputThatCannotBeReadEndsTheProgramWithANotice) {
  const ProgramRun run = run_with_input(kProgram, "", RunOptions{.without_standard_input = true});
  EXPECT_EQ(run.out, kPrompt);
  EXPECT_EQ(run.err, "songsearch: cannot read standard input\n");
  EXPECT_EQ(run.exit_code, 1);
}

TEST_F(ProgramTest, OneSearchTypedAtATerminal) {
  serve(kFiveSongs);
  const std::string keyword = utf8(u8"月亮");
  test_support::TerminalSession session(kProgram);
  ASSERT_TRUE(session.started());
  ASSERT_TRUE(session.wait_for(on_screen(kPrompt)));
  session.type(keyword + "\r");
  ASSERT_TRUE(session.wait_for(on_screen(kComplete)));
  session.type("\r");
  ASSERT_TRUE(session.wait_for(on_screen(kPrompt)));
  session.type("\x04");
  const ProgramRun run = session.finish();
  EXPECT_EQ(run.out, on_screen(kPrompt) + keyword + "\r\n" +
                         on_screen(kFiveSongsListing + kComplete) + "\r\n" + on_screen(kPrompt));
  EXPECT_EQ(run.exit_code, 0);
}

}  // namespace
}  // namespace end_to_end
