// Keeping and playing songs end to end: --download, --play and --pick against the scripted
// service, whose play host also answers each song's audio, and a player that records its words.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/app/end_to_end.h"
#include "tests/support/scratch_folder.h"

namespace end_to_end {
namespace {

using test_support::file_bytes;
using test_support::ProgramRun;
using test_support::run_with_input;
using test_support::ScratchFolder;
using test_support::write_file;

// A song's bytes: every byte value, so that no text rule can pass for a copy.
std::string audio_of(std::string_view hash) {
  std::string bytes(200'000, '\0');
  for (std::size_t at = 0; at < bytes.size(); ++at)
    bytes[at] = static_cast<char>((at * 7 + static_cast<unsigned char>(hash[0])) & 0xFF);
  return bytes;
}

std::string audio_address(std::string_view hash) {
  return "http://" TEST_PLAY_HOST "/media/" + std::string(hash) + ".wav";
}

// Records each word after its first, in brackets, one a line, into the file its first word names.
constexpr char kRecordingPlayer[] =
    "#!/bin/sh\nout=\"$1\"; shift\nfor w in \"$@\"; do printf '[%s]\\n' \"$w\"; done > \"$out\"\n"
    "exit \"${PLAYER_STATUS:-0}\"\n";

class KeepingTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    write_file(folder_ / "player", kRecordingPlayer);
    ::chmod((folder_ / "player").c_str(), 0755);
  }

  // Hits named "Song <hash>", in order; each hash's play address as given (empty: none), and the
  // audio of /media/<hash>.wav, with its length, on the play host.
  void serve_songs(const std::map<std::string, std::string>& addresses) {
    std::vector<std::string> hits;
    for (const auto& [hash, address] : addresses)
      hits.push_back(hit_json('"' + hash + '"', "\"Song " + hash + '"'));
    service_.answer(Endpoint::search, {200, search_answer(hits)});
    service_.handle(Endpoint::play_info, [this, addresses](const httplib::Request& request,
                                                           httplib::Response& response) {
      if (request.path.starts_with("/media/")) {
        return response.set_content(audio_of(request.path.substr(7)), "audio/wav");
      }
      const auto known = addresses.find(request.get_param_value("hash"));
      const bool has_address = known != addresses.end() && !known->second.empty();
      response.status = known != addresses.end() ? 200 : 404;
      response.set_content(has_address ? R"({"url":")" + known->second + "\"}" : "{}",
                           "application/json");
    });
  }

  [[nodiscard]] std::string player() const {
    return "'" + folder_ / "player" + "' '" + folder_ / "record" + "'";
  }
  [[nodiscard]] std::string recorded() const { return file_bytes(folder_ / "record"); }
  [[nodiscard]] std::vector<std::string> saved() const { return songs_.names(); }

  ScratchFolder folder_;  // the player and its record
  ScratchFolder songs_;   // --output-dir
};

TEST_F(KeepingTest, DownloadSavesTheChosenSongsAndSaysWhichWereNotSaved) {
  const struct {
    const char* name;
    std::vector<std::string> options;
    std::string existing;  // bytes of "Song A1.wav" before the run; empty: none
    int status;
    std::vector<std::string> saved;
    std::string error;  // the start of standard error; its lines are counted as `saved` says
  } cases[] = {
      {"one", {"--download", "1"}, "", 0, {"Song A1.wav"}, "songsearch: saved Song A1.wav ("},
      {"all",
       {"--download", "ALL", "--quiet"},
       "",
       4,
       {"Song A1.wav", "Song B2.wav"},
       "songsearch: entry 3 has no play address; nothing saved\n"},
      {"no hit", {"--download", "5"}, "", 4, {}, "songsearch: entry 5 is no hit"},
      {"existing", {"--download", "1"}, "old", 4, {"Song A1.wav"}, "songsearch: "},
      {"forced", {"--download", "1", "--force"}, "old", 0, {"Song A1.wav"}, "songsearch: saved"},
  };
  for (const auto& check : cases) {
    SCOPED_TRACE(check.name);
    for (const std::string& name : saved())
      ::unlink((songs_ / name).c_str());
    if (!check.existing.empty()) write_file(songs_ / "Song A1.wav", check.existing);
    serve_songs({{"A1", audio_address("A1")}, {"B2", audio_address("B2")}, {"C3", ""}});
    std::vector<std::string> arguments = check.options;
    arguments.insert(arguments.end(), {"--output-dir", songs_.path(), "moon"});
    const ProgramRun run = run_with_input(kProgram, "", {.arguments = arguments});
    EXPECT_EQ(run.exit_code, check.status);
    EXPECT_TRUE(run.err.starts_with(check.error)) << run.err;
    EXPECT_EQ(line_count(run.err), 1) << run.err;
    EXPECT_TRUE(run.out.starts_with("1.Song A1\n")) << run.out;
    EXPECT_EQ(saved(), check.saved);
    for (const std::string& name : check.saved) {
      const bool kept = !check.existing.empty() && check.status != 0;
      EXPECT_TRUE(file_bytes(songs_ / name) == (kept ? check.existing : audio_of(name.substr(5))))
          << name;
    }
  }
}

TEST_F(KeepingTest, PlayHandsTheAddressToThePlayerAsOneWordAndEndsWithItsStatus) {
  const std::string hostile = audio_address("B2") + "?a=1;rm${IFS}-rf${IFS}~;$(touch${IFS}x)`id`";
  const struct {
    std::vector<std::string> options;
    bool from_environment;  // the player in SONGSEARCH_PLAYER instead of --player
    std::optional<std::string> path;
    int status;
    std::string recorded;  // empty: the player did not run
    std::string error;     // what standard error says, after "songsearch: "
  } cases[] = {
      {{"--play", "1"}, false, std::nullopt, 7, "[" + audio_address("A1") + "]\n", ""},
      {{"--play", "2"}, true, std::nullopt, 7, "[" + hostile + "]\n", ""},
      {{"--play", "1"}, false, songs_.path(), 1, "", "no player found"},
      {{"--play", "4"}, true, std::nullopt, 1, "", "entry 4 is no hit"},
      {{"--play", "3"}, true, std::nullopt, 1, "", "entry 3 has no play address"},
  };
  serve_songs({{"A1", audio_address("A1")}, {"B2", hostile}, {"C3", ""}});
  const ScopedVariable status("PLAYER_STATUS", "7");
  for (const auto& check : cases) {
    SCOPED_TRACE(check.options[1] + " " + check.error);
    ::unlink((folder_ / "record").c_str());
    const ScopedVariable path("PATH", check.path ? *check.path : std::string(std::getenv("PATH")));
    const bool by_option = !check.from_environment && !check.path;
    const ScopedVariable variable("SONGSEARCH_PLAYER",
                                  check.from_environment ? std::optional(player()) : std::nullopt);
    std::vector<std::string> arguments = check.options;
    if (by_option) arguments.insert(arguments.end(), {"--player", player() + " --x"});
    arguments.push_back("moon");
    const ProgramRun run = run_with_input(kProgram, "", {.arguments = arguments});
    EXPECT_EQ(run.exit_code, check.status);
    EXPECT_EQ(recorded(), by_option ? "[--x]\n" + check.recorded : check.recorded);
    EXPECT_EQ(run.err.empty() ? "" : run.err.substr(0, 12 + check.error.size()),
              check.error.empty() ? "" : "songsearch: " + check.error);
    EXPECT_EQ(line_count(run.err), check.error.empty() ? 0 : 1);
  }
  EXPECT_EQ(saved(), std::vector<std::string>{});
}

TEST_F(KeepingTest, PickPlaysOrSavesFromTheWaitLineAndKeepsTheDialogue) {
  const struct {
    bool pick;
    std::string wait_line;
    std::string recorded;
    std::vector<std::string> saved;
    std::string error;
  } cases[] = {
      {true, "1", "[" + audio_address("A1") + "]\n", {}, ""},
      {true, " d 2 ", "", {"Song B2.wav"}, "songsearch: saved Song B2.wav ("},
      {true,
       "x",
       "",
       {},
       "songsearch: type a number from 1 to 5 to play that entry, d and the number to save it, "
       "or Enter alone to go on\n"},
      {true, "", "", {}, ""},
      {false, "1", "", {}, ""},
  };
  serve_songs({{"A1", audio_address("A1")}, {"B2", audio_address("B2")}});
  const std::string listing = entry(1, "Song A1", audio_address("A1")) +
                              entry(2, "Song B2", audio_address("B2")) +
                              "3.\r\n\r\n4.\r\n\r\n5.\r\n\r\n";
  for (const auto& check : cases) {
    SCOPED_TRACE(check.wait_line);
    ::unlink((folder_ / "record").c_str());
    std::vector<std::string> arguments;
    if (check.pick) arguments = {"--pick", "--player", player(), "--output-dir", songs_.path()};
    const ProgramRun run =
        run_with_input(kProgram, "moon\n" + check.wait_line + "\n", {.arguments = arguments});
    EXPECT_EQ(run.out, pass(listing) + kPrompt);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(recorded(), check.recorded);
    EXPECT_EQ(saved(), check.saved);
    EXPECT_TRUE(run.err.starts_with(check.error)) << run.err;
    for (const std::string& name : check.saved)
      ::unlink((songs_ / name).c_str());
  }
}

}  // namespace
}  // namespace end_to_end
