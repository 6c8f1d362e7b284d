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

TEST_F(ProgramTest, HelpSaysHowToSearchNamesTheHostsInUseAndTheExitStatuses) {
  for (const char* option : {"--help", "-h"}) {
    SCOPED_TRACE(option);
    const ProgramRun run = run_with_arguments({option});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "");
    for (const std::string& part :
         {std::string("Usage: songsearch [OPTIONS] [keyword...]\n"), std::string("pipe"),
          std::string("--json"), std::string("--search-host"), std::string("--play-host"),
          std::string("SONGSEARCH_SEARCH_HOST"), std::string("http://" TEST_SEARCH_HOST "\n"),
          std::string("http://" TEST_PLAY_HOST "\n"), std::string("  3  the song search failed"),
          std::string("songsearch --json moon"), std::string("--download N|all"),
          std::string("--play N"), std::string("--pick"), std::string("  4  --download"),
          std::string("130  --download: interrupted by Ctrl-C")}) {
      EXPECT_NE(run.out.find(part), std::string::npos) << part << "\n" << run.out;
    }
  }
  EXPECT_NE(run_with_arguments({"--help", "--search-host", "127.0.0.9:80"})
                .out.find("http://127.0.0.9:80\n"),
            std::string::npos);
  EXPECT_TRUE(service_.requests().empty());
}

TEST_F(ProgramTest, VersionPrintsTheVersionAndNothingElse) {
  const ProgramRun run = run_with_arguments({"--version"});
  EXPECT_EQ(run.out, "songsearch " PROGRAM_VERSION "\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exit_code, 0);
}

// What is refused is echoed with its control characters as "?": an escape sequence in it must
// not steer the terminal.
TEST_F(ProgramTest, AnUnknownOptionIsAOneLineErrorWithExitStatusTwo) {
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"--verbose"}, "--verbose"},
      {{"moon", "-x"}, "-x"},
      {{"--\x1b[2J\x07"}, "--?[2J?"},
  };
  for (const auto& [arguments, shown] : refused) {
    SCOPED_TRACE(shown);
    const ProgramRun run = run_with_arguments(arguments);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.starts_with("songsearch: ")) << run.err;
    EXPECT_NE(run.err.find(shown), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  EXPECT_TRUE(service_.requests().empty());
}

}  // namespace
}  // namespace end_to_end
