#include "app/download/player.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "runtime/text_blocks.h"
#include "tests/app/download/download_fixture.h"

namespace {

using download_test::file_bytes;
using download_test::ScratchFolder;
using download_test::write_file;

// A player that writes each argument after its first, in brackets, one a line, to the file its
// first argument names, and ends with the status its environment asks for.
constexpr char kRecordingPlayer[] =
    "#!/bin/sh\n"
    "out=\"$1\"; shift\n"
    "for word in \"$@\"; do printf '[%s]\\n' \"$word\"; done > \"$out\"\n"
    "[ -n \"$PLAYER_SIGNAL\" ] && kill -\"$PLAYER_SIGNAL\" $$\n"
    "exit \"${PLAYER_STATUS:-0}\"\n";

void write_program(const std::string& path, const char* text) {
  write_file(path, text);
  chmod(path.c_str(), 0755);
}

SongEntry entry_at(const char* url) {
  return {text_copy("S"), text_copy("H"), text_copy(url)};
}

// Sets an environment variable for the life of the object (unset when `value` is null).
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedVariable() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class PlayerTest : public testing::Test {
 protected:
  void SetUp() override { write_program(folder_ / "player", kRecordingPlayer); }

  [[nodiscard]] std::string command(const std::string& extra_words = "") const {
    return "'" + folder_ / "player" + "' '" + record() + "'" + extra_words;
  }
  [[nodiscard]] std::string record() const { return folder_ / "record"; }

  ScratchFolder folder_;
};

TEST_F(PlayerTest, TheAddressIsOneArgumentAfterThePlayersOwnAndNeverACommand) {
  const char* url = "http://h/a.mp3?x=1;touch${IFS}pwned&y=$(touch${IFS}pwned)`touch${IFS}pwned`";
  const int status = play_song(entry_at(url), {command(" --flag 'two words' \"q\\\"\"")});
  EXPECT_EQ(status, 0);
  EXPECT_EQ(file_bytes(record()), std::string("[--flag]\n[two words]\n[q\"]\n[") + url + "]\n");
  EXPECT_EQ(folder_.names(), (std::vector<std::string>{"player", "record"}));
}

TEST_F(PlayerTest, ThePlayersEndBecomesTheExitStatus) {
  const std::pair<const char*, int> cases[] = {{"PLAYER_STATUS", 7}, {"PLAYER_SIGNAL", 128 + 15}};
  for (const auto& [variable, expected] : cases) {
    const ScopedVariable set(variable, variable == std::string("PLAYER_SIGNAL") ? "TERM" : "7");
    EXPECT_EQ(play_song(entry_at("http://h/a.mp3"), {command()}), expected) << variable;
  }
}

TEST_F(PlayerTest, TheOptionBeatsTheEnvironmentWhichBeatsTheKnownPlayers) {
  ScratchFolder path;
  write_program(path / "cvlc", "#!/bin/sh\n");
  write_program(path / "mplayer", "#!/bin/sh\n");
  write_file(path / "mpv", "not executable");
  mkdir((path / "ffplay").c_str(), 0755);
  std::string error;

  using Words = std::vector<std::string>;
  EXPECT_EQ(chosen_player({"a 'b c'"}, "env", path.path(), &error), (Words{"a", "b c"}));
  EXPECT_EQ(chosen_player({}, "env -x", path.path(), &error), (Words{"env", "-x"}));
  EXPECT_EQ(chosen_player({}, "", "/nonexistent:" + path.path(), &error),
            (Words{"cvlc", "--play-and-exit"}));

  EXPECT_FALSE(chosen_player({}, nullptr, "/nonexistent", &error));
  EXPECT_NE(error.find("no player found"), std::string::npos);
  EXPECT_FALSE(chosen_player({"'unclosed"}, nullptr, path.path(), &error));
  EXPECT_EQ(error, "the player command of --player has an unclosed quote");
  EXPECT_FALSE(chosen_player({}, "  ", path.path(), &error));
  EXPECT_EQ(error, "the player command of SONGSEARCH_PLAYER is empty");
}

TEST_F(PlayerTest, UnavailablePlayersAndRefusedAddressesEndWithStatusOne) {
  const ScopedVariable no_variable("SONGSEARCH_PLAYER", nullptr);
  const ScopedVariable empty_path("PATH", folder_.path().c_str());
  const std::pair<std::string, std::string> cases[] = {
      {"http://h/a.mp3", "no player found"},
      {"-o/tmp/x", "the play address is not an http:// or https:// address"},
      {"file:///etc/passwd", "the play address is not an http:// or https:// address"},
  };
  for (const auto& [url, message] : cases) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(play_song(entry_at(url.c_str()), {}), kPlayerUnavailable) << url;
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("songsearch: " + message, 0), 0u) << url;
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(play_song(entry_at("http://h/a.mp3"), {"no-such-player-program"}), kPlayerUnavailable);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "songsearch: cannot start the player 'no-such-player-program': No such file or "
            "directory\n");
}

}  // namespace
