// The program's command line: the conventions of a Linux tool.
#include <string>
#include <vector>

#include "tests/app/end_to_end.h"

namespace end_to_end {
namespace {

using test_support::ProgramRun;
using test_support::run_with_input;

ProgramRun run_with_arguments(std::vector<std::string> arguments) {
  return run_with_input(kProgram, "keyword\n\n", {.arguments = std::move(arguments)});
}

TEST_F(ProgramTest, HelpSaysHowAPipeDrivesTheProgramAndNamesTheHostsItWasBuiltWith) {
  const ProgramRun run = run_with_arguments({"--help"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(run.out.starts_with("Usage: songsearch [--help | --version]\n")) << run.out;
  EXPECT_NE(run.out.find("pipe"), std::string::npos);
  EXPECT_NE(run.out.find("http://" TEST_SEARCH_HOST "\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("http://" TEST_PLAY_HOST "\n"), std::string::npos) << run.out;
}

TEST_F(ProgramTest, VersionPrintsTheVersionAndNothingElse) {
  const ProgramRun run = run_with_arguments({"--version"});
  EXPECT_EQ(run.out, "songsearch " PROGRAM_VERSION "\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exit_code, 0);
}

TEST_F(ProgramTest, AnyOtherArgumentIsAOneLineErrorWithExitStatusTwo) {
  const std::vector<std::vector<std::string>> refused = {
      {"-h"}, {"--verbose"}, {""}, {"月亮"}, {"--help", "extra"}, {"--version", "--help"}};
  for (const std::vector<std::string>& arguments : refused) {
    SCOPED_TRACE(arguments.back());
    const ProgramRun run = run_with_arguments(arguments);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "songsearch: unexpected argument '" + arguments.back() +
                           "' (songsearch --help lists the options)\n");
  }
  EXPECT_TRUE(service_.requests().empty());
}

}  // namespace
}  // namespace end_to_end
