// The program as a script runs it: one search from the command line, as text or JSON Lines, its
// exit status, the hosts chosen at run time, output that cannot be written, and the command lines
// it refuses.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/app/end_to_end.h"

namespace end_to_end {
namespace {

using test_support::Answer;
using test_support::ProgramRun;
using test_support::ReceivedRequest;
using test_support::run_with_input;
using test_support::ScriptedMusicService;

ProgramRun run_one_shot(std::vector<std::string> arguments, std::string_view input = "") {
  return run_with_input(kProgram, input, {.arguments = std::move(arguments)});
}

std::vector<nlohmann::json> parsed_lines(const std::string& output) {
  std::vector<nlohmann::json> lines;
  std::istringstream stream(output);
  for (std::string line; std::getline(stream, line);)
    lines.push_back(nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false));
  return lines;
}

TEST_F(ProgramTest, OneShotPrintsTheListingWithLineFeedsAndNothingElse) {
  serve(kFiveSongs);
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{utf8(u8"月亮")}, "%E6%9C%88%E4%BA%AE"},
      {{"a", "b&c", "d"}, "a%20b&c%20d"},
      {{"--", "--json"}, "--json"},
  };
  for (const auto& [arguments, on_the_wire] : cases) {
    SCOPED_TRACE(arguments.back());
    service_.forget_requests();
    const ProgramRun run = run_one_shot(arguments, "never read\n");
    EXPECT_EQ(run.out, with_line_feeds(kFiveSongsListing));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_code, 0);
    const std::vector<ReceivedRequest> requests = service_.requests();
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(requests[0].target,
              "/api/v3/search/song?keyword=" + on_the_wire + "&page=1&pagesize=5");
  }
}

// Each hit keeps its entry's number: a hit with neither name nor hash is no entry of its own.
TEST_F(ProgramTest, JsonLinesParseWhateverNamesTheServiceSent) {
  serve({hit_json(R"("A1")", utf8(u8R"("月亮 \"q\" \\ \u0001\u001b[2J\r\n 😀")")),
         hit_json(R"("")", R"("no hash, so no play address")"), hit_json(R"("")", R"("")"),
         hit_json(R"("E5")", R"("")")});
  const std::string keyword = utf8(u8"月亮 \"\\&");
  const ProgramRun run = run_one_shot({"--json", keyword});
  const std::vector<nlohmann::json> expected = {
      {{"keyword", keyword},
       {"number", 1},
       {"filename", utf8(u8"月亮 \"q\" \\ \u0001\u001b[2J\r\n ??")},  // one "?" a UTF-16 unit
       {"hash", "A1"},
       {"url", play_address("A1")}},
      {{"keyword", keyword},
       {"number", 2},
       {"filename", "no hash, so no play address"},
       {"hash", ""},
       {"url", nullptr}},
      {{"keyword", keyword},
       {"number", 4},
       {"filename", ""},
       {"hash", "E5"},
       {"url", play_address("E5")}},
  };
  EXPECT_EQ(parsed_lines(run.out), expected) << run.out;
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
}

TEST_F(ProgramTest, TheExitStatusTellsHitsFromNothingFoundFromAFailedSearch) {
  const struct {
    const char* name;
    std::optional<Answer> answer;  // else `raw` is the whole answer
    std::string raw;
    std::vector<std::string> options;
    int status;
  } cases[] = {
      {"hits", Answer{200, search_answer(kFiveSongs)}, "", {}, 0},
      {"no hits", Answer{200, search_answer({})}, "", {}, 1},
      {"an answer that is no JSON", Answer{404, "Not Found", "text/plain"}, "", {}, 3},
      {"a closed connection", std::nullopt, "", {}, 3},
      {"an answer cut short",
       std::nullopt,
       "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" +
           search_answer({kFiveSongs[0]}).substr(0, 21),
       {},
       3},
      {"an unreachable host", std::nullopt, "", {"--search-host", "127.0.0.1:1"}, 3},
  };
  for (const auto& check : cases) {
    SCOPED_TRACE(check.name);
    if (check.answer) {
      service_.answer(Endpoint::search, *check.answer);
    } else {
      service_.answer_raw(Endpoint::search, check.raw);
    }
    for (const bool json : {false, true}) {
      std::vector<std::string> arguments = check.options;
      if (json) arguments.push_back("--json");
      arguments.push_back("moon");
      const ProgramRun run = run_one_shot(arguments);
      EXPECT_EQ(run.exit_code, check.status);
      if (check.status == 3) {
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(run.err.starts_with("songsearch: ") && line_count(run.err) == 1) << run.err;
      } else {
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out.empty(), json && check.status == 1) << run.out;
      }
    }
  }
}

// A play-information answer that breaks off is no answer: its entry lists no address.
TEST_F(ProgramTest, APlayInfoAnswerCutShortListsNoAddress) {
  const std::string body = R"({"status":1,"url":"http://media.test/cut.mp3"})";
  const std::string broken[] = {
      "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + body,
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
          (std::ostringstream() << std::hex << body.size()).str() + "\r\n" + body + "\r\n",
  };
  for (const std::string& answer : broken) {
    SCOPED_TRACE(answer);
    service_.answer(Endpoint::search, {200, search_answer({kFiveSongs[4]})});
    service_.answer_raw(Endpoint::play_info, answer);
    const ProgramRun interactive = run_with_input(kProgram, "moon\n\n");
    EXPECT_EQ(interactive.out, pass("1.The Paper Lanterns - Moonlight\r\n\r\n2.\r\n\r\n3.\r\n\r\n"
                                    "4.\r\n\r\n5.\r\n\r\n") +
                                   kPrompt);
    const ProgramRun json = run_one_shot({"--json", "moon"});
    const std::vector<nlohmann::json> lines = parsed_lines(json.out);
    ASSERT_EQ(lines.size(), 1u) << json.out;
    EXPECT_EQ(lines[0]["url"], nullptr);
    EXPECT_EQ(json.exit_code, 0);
  }
}

// The hash goes out as one query value; a name's tab stays a tab, its line breaks become "?".
TEST_F(ProgramTest, TheHashGoesOutAsAQueryValueAndANameKeepsToItsLine) {
  serve({hit_json(R"("b c#d?e%41f&cmd=evil")", R"("a\tb\r\nc")"),
         hit_json(R"("0aF9-._~")", R"("x")")});
  const ProgramRun run = run_one_shot({"moon"});
  const std::vector<ReceivedRequest> requests = service_.requests();
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_EQ(requests[1].target,
            "/app/i/getSongInfo.php?hash=b%20c%23d%3Fe%2541f%26cmd%3Devil&cmd=playInfo");
  EXPECT_EQ(requests[2].target, "/app/i/getSongInfo.php?hash=0aF9-._~&cmd=playInfo");
  EXPECT_TRUE(run.out.starts_with("1.a\tb??c\n")) << run.out;
}

TEST_F(ProgramTest, AnOptionBeatsTheEnvironmentWhichBeatsTheBuiltInHosts) {
  ScriptedMusicService other("127.0.0.1:0", "127.0.0.1:0");
  ASSERT_TRUE(other.listening()) << other.failure();
  serve(kFiveSongs);
  other.answer(Endpoint::search, {200, search_answer({kFiveSongs[0]})});
  const std::string other_search = other.host(Endpoint::search);
  const std::string other_play = other.host(Endpoint::play_info);
  const std::vector<std::string> by_option = {"--search-host", other_search, "--play-host",
                                              other_play, "moon"};
  const struct {
    const char* name;
    std::optional<std::string> search_variable, play_variable;
    std::vector<std::string> arguments;
    std::string input;  // for the interactive program
    bool built_in;      // whether the built-in hosts get the requests, else the other service
  } cases[] = {
      {"built in", std::nullopt, std::nullopt, {"moon"}, "", true},
      {"environment", other_search, other_play, {"moon"}, "", false},
      {"options", std::nullopt, std::nullopt, by_option, "", false},
      {"options over environment", "127.0.0.1:1", "127.0.0.1:1", by_option, "", false},
      {"interactive", other_search, other_play, {}, "moon\n\n", false},
  };
  for (const auto& check : cases) {
    SCOPED_TRACE(check.name);
    service_.forget_requests();
    other.forget_requests();
    const ScopedVariable search("SONGSEARCH_SEARCH_HOST", check.search_variable);
    const ScopedVariable play("SONGSEARCH_PLAY_HOST", check.play_variable);
    const ProgramRun run = run_one_shot(check.arguments, check.input);
    EXPECT_EQ(service_.requests().size(), check.built_in ? 6u : 0u);
    const std::vector<ReceivedRequest> requests = other.requests();
    ASSERT_EQ(requests.size(), check.built_in ? 0u : 6u);
    if (!check.built_in) {
      EXPECT_EQ(requests[0].endpoint, Endpoint::search);
      EXPECT_EQ(requests[1].endpoint, Endpoint::play_info);
    }
    EXPECT_EQ(run.exit_code, 0) << run.err;
  }
}

// Every refusal of a command line: one line on standard error, status 2, nothing searched, and
// the interactive program not started.
TEST_F(ProgramTest, ARefusedCommandLineIsAOneLineErrorWithStatusTwoAndNothingSent) {
  const struct {
    std::vector<std::string> arguments;
    std::string said;
    std::optional<std::string> play_variable = std::nullopt;
  } refused[] = {
      // hosts, from an option or the environment
      {{"--search-host", "a b", "moon"}, "is not a host"},
      {{"--search-host", "a\x1b[2J", "moon"}, "is not a host"},
      {{"moon"}, "SONGSEARCH_PLAY_HOST 'a:65536'", "a:65536"},
      {{}, "SONGSEARCH_PLAY_HOST 'a?[2J'", "a\x1b[2J"},
      // keeping and playing
      {{"--download", "0", "moon"}, "--download"},
      {{"--download", "1,2", "moon"}, "--download"},
      {{"--play", "6", "moon"}, "--play"},
      {{"--play", "all", "moon"}, "--play"},
      {{"--download", "1"}, "--download requires keyword"},
      {{"--play", "1"}, "--play requires keyword"},
      {{"--pick", "moon"}, "--pick"},
      {{"--play", "1", "--download", "1", "moon"}, "--play"},
      {{"--play", "1", "--json", "moon"}, "--play"},
      {{"--force", "moon"}, "--force needs --download or --pick"},
      {{"--quiet"}, "--quiet needs --download or --pick"},
      {{"--player", "x", "--download", "1", "moon"}, "--player needs --play or --pick"},
      // batches
      {{"--batch-file", "-", "moon"}, "keyword"},
      {{"moon", "--batch-file", "-"}, "keyword"},
      {{"--jobs", "2", "moon"}, "--batch-file"},
      {{"--jobs", "2"}, "--batch-file"},
      {{"--batch-file", "-", "--jobs", "0"}, "--jobs"},
      {{"--batch-file", "-", "--jobs", "65"}, "--jobs"},
      {{"--batch-file", "-", "--jobs", "many"}, "--jobs"},
      {{"--batch-file", "-", "--pick"}, "--pick"},
      {{"--batch-file", "/nonexistent/\x1b[2Jwords"}, "'/nonexistent/?[2Jwords'"},
      {{"--batch-file", ::testing::TempDir()}, "directory"},
  };
  for (const auto& [arguments, said, play_variable] : refused) {
    SCOPED_TRACE(said);
    const ScopedVariable play("SONGSEARCH_PLAY_HOST", play_variable);
    const ProgramRun run = run_one_shot(arguments, "moon\n\n");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.starts_with("songsearch: ")) << run.err;
    EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
    EXPECT_EQ(line_count(run.err), 1) << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
  }
  EXPECT_TRUE(service_.requests().empty());
}

// Runs the program with standard error in a file and standard output as `set_up_output` leaves
// descriptor 1 in the child.
ProgramRun run_with_output(const std::vector<std::string>& arguments,
                           const std::function<void()>& set_up_output) {
  const test_support::ChildCommand command =
      test_support::child_command(kProgram, test_support::RunOptions{.arguments = arguments});
  std::FILE* errors = std::tmpfile();
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(::open("/dev/null", O_RDONLY), STDIN_FILENO);
    ::dup2(::fileno(errors), STDERR_FILENO);
    set_up_output();
    ::execve(command.argv[0], command.argv.data(), command.envp.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ProgramRun run;
  run.exit_code = test_support::exit_code_of(status);
  std::rewind(errors);
  for (int c; (c = std::fgetc(errors)) != EOF;)
    run.err += static_cast<char>(c);
  std::fclose(errors);
  return run;
}

TEST_F(ProgramTest, OutputThatCannotBeWrittenEndsWithStatusOneOrQuietlyForAReaderThatLeft) {
  serve(kFiveSongs);
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  ::close(pipe_ends[0]);  // the reader has gone before anything is written
  const struct {
    const char* name;
    std::function<void()> set_up_output;
    int status;
    int error_lines;
  } cases[] = {
      {"a full disk", [] { ::dup2(::open("/dev/full", O_WRONLY), STDOUT_FILENO); }, 1, 1},
      {"a closed descriptor", [] { ::close(STDOUT_FILENO); }, 1, 1},
      {"a reader that left", [&] { ::dup2(pipe_ends[1], STDOUT_FILENO); }, 128 + SIGPIPE, 0},
  };
  for (const auto& check : cases) {
    SCOPED_TRACE(check.name);
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"moon"}, std::vector<std::string>{}}) {
      const ProgramRun run = run_with_output(arguments, check.set_up_output);
      EXPECT_EQ(run.exit_code, check.status);
      EXPECT_EQ(line_count(run.err), check.error_lines) << run.err;
    }
  }
  ::close(pipe_ends[1]);
}

}  // namespace
}  // namespace end_to_end
