#include "app/download/download.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/download/player.h"
#include "runtime/text_blocks.h"
#include "tests/support/raw_http_server.h"
#include "tests/support/scratch_folder.h"

namespace {

using test_support::ReceivedRequest;
using test_support::Socket;

using test_support::file_bytes;
using test_support::ScratchFolder;
using test_support::write_file;

const std::string& song_body() {
  static const std::string body = [] {
    std::string bytes(300'000, '\0');
    for (std::size_t at = 0; at < bytes.size(); ++at)
      bytes[at] = static_cast<char>(at * 7 % 251);
    return bytes;
  }();
  return body;
}

std::string head(const std::string& status, const std::string& lines, std::size_t length) {
  return "HTTP/1.1 " + status + "\r\n" + lines + "Content-Length: " + std::to_string(length) +
         "\r\n\r\n";
}

// The first byte a request's Range asks for, when it has one.
std::optional<std::size_t> range_start(const ReceivedRequest& request) {
  const auto range = request.header("Range");
  if (!range || range->rfind("bytes=", 0) != 0) return std::nullopt;
  return std::stoul(range->substr(6));
}

enum class Serving { whole, honour_range, misplaced_206, break_off_at_100k };

// A song server: the body as audio/mpeg, honouring Range or not, answering a Range with a 206 of
// other bytes, or breaking off after 100,000 bytes of the body.
test_support::RawHttpServer::Handler song(Serving serving) {
  return [serving](const ReceivedRequest& request, Socket& socket) {
    const std::string& body = song_body();
    const std::string total = std::to_string(body.size());
    const auto from = range_start(request);
    if (serving == Serving::honour_range && from && *from >= body.size()) {
      socket.send(head("416 Range Not Satisfiable", "Content-Range: bytes */" + total + "\r\n", 0));
    } else if (serving == Serving::honour_range && from) {
      const std::string rest = body.substr(*from);
      socket.send(head("206 Partial Content",
                       "Content-Type: audio/mpeg\r\nContent-Range: bytes " + std::to_string(*from) +
                           "-" + std::to_string(body.size() - 1) + "/" + total + "\r\n",
                       rest.size()) +
                  rest);
    } else if (serving == Serving::misplaced_206 && from) {
      socket.send(head("206 Partial Content", "Content-Range: bytes 0-2/3\r\n", 3) + "abc");
    } else {
      const bool breaks = serving == Serving::break_off_at_100k;
      socket.send(head("200 OK", "Content-Type: audio/mpeg\r\n", body.size()) +
                  (breaks ? body.substr(0, 100'000) : body));
    }
    socket.close();
  };
}

SongEntry entry(const std::string& filename, const std::string& url, const char* hash = "C0FFEE") {
  return {text_copy(filename.c_str()), text_copy(hash), text_copy(url.c_str())};
}

DownloadOptions quietly_into(const ScratchFolder& folder) {
  DownloadOptions options;
  options.output_dir = folder.path();
  options.progress = ProgressDisplay::none;
  options.timeout_milliseconds = 5000;
  return options;
}

// What an existing part becomes, by how the server answers its Range request; with no part the
// whole body is saved, named by the content type when the address has no extension.
TEST(DownloadTest, APartIsContinuedReplacedOrCompletedByTheAnswer) {
  const std::string& body = song_body();
  const struct {
    const char* what;
    Serving serving;
    const char* target;
    std::string part;  // empty: none
    std::size_t requests;
  } cases[] = {
      {"no part", Serving::whole, "/play?id=1", "", 1},
      {"a 206 appends", Serving::honour_range, "/a.mp3", body.substr(0, 1234), 1},
      {"a 200 starts again from zero", Serving::whole, "/a.mp3", std::string(5000, 'x'), 1},
      {"a 206 of other bytes starts again", Serving::misplaced_206, "/a.mp3", "12345", 2},
      {"a 416 of the part's length completes it", Serving::honour_range, "/a.mp3", body, 1},
      {"a 416 of another length starts again", Serving::honour_range, "/a.mp3", body + "extra", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test_support::RawHttpServer server(song(c.serving));
    ScratchFolder folder;
    if (!c.part.empty()) write_file(folder / "S.mp3.part", c.part);
    const DownloadOutcome outcome =
        download_song(entry("S", server.url(c.target)), quietly_into(folder));
    EXPECT_EQ(outcome.result, DownloadResult::saved) << outcome.reason;
    EXPECT_EQ(outcome.path, folder / "S.mp3");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"S.mp3"});
    EXPECT_TRUE(file_bytes(folder / "S.mp3") == body);
    EXPECT_EQ(server.requests().size(), c.requests);
  }
}

TEST(DownloadTest, ABodyThatBreaksOffKeepsThePartAndTheNextTryResumesIt) {
  ScratchFolder folder;
  {
    test_support::RawHttpServer broken(song(Serving::break_off_at_100k));
    const DownloadOutcome outcome =
        download_song(entry("Song", broken.url("/a.mp3")), quietly_into(folder));
    EXPECT_EQ(outcome.result, DownloadResult::failed);
    EXPECT_NE(outcome.reason.find("kept for the next try"), std::string::npos) << outcome.reason;
    EXPECT_EQ(folder.names(), std::vector<std::string>{"Song.mp3.part"});
    EXPECT_TRUE(file_bytes(folder / "Song.mp3.part") == song_body().substr(0, 100'000));
  }
  // Resumed with the progress line of a terminal, whose last drawing counts the part too.
  test_support::RawHttpServer resuming(song(Serving::honour_range));
  DownloadOptions options = quietly_into(folder);
  options.progress = ProgressDisplay::line;
  testing::internal::CaptureStderr();
  const DownloadOutcome outcome = download_song(entry("Song", resuming.url("/a.mp3")), options);
  const std::string reported = testing::internal::GetCapturedStderr();
  EXPECT_EQ(outcome.result, DownloadResult::saved) << outcome.reason;
  EXPECT_TRUE(reported.substr(reported.rfind('\r'))
                  .starts_with("\rSong.mp3  293.0 KiB of 293.0 KiB  100%  0:00 left  "))
      << reported;
  EXPECT_EQ(std::count(reported.begin(), reported.end(), '\n'), 1);
  ASSERT_EQ(resuming.requests().size(), 1u);
  EXPECT_EQ(resuming.requests()[0].header("Range"), "bytes=100000-");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"Song.mp3"});
  EXPECT_TRUE(file_bytes(folder / "Song.mp3") == song_body());
}

TEST(DownloadTest, CtrlCKeepsThePartAndEndsWithTheInterruptStatus) {
  std::atomic<bool> signalled = false;
  test_support::RawHttpServer server([&](const ReceivedRequest&, Socket& socket) {
    const std::string& body = song_body();
    socket.send(head("200 OK", "", body.size()) + body.substr(0, 100'000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(getpid(), SIGINT);
    signalled = true;
    for (std::size_t at = 100'000; at < body.size() && socket.send(body.substr(at, 1000));
         at += 1000) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  ScratchFolder folder;
  const SongEntry song_entry = entry("S", server.url("/a.mp3"));
  const SongEntry* entries[] = {&song_entry, &song_entry};

  testing::internal::CaptureStderr();
  const int status = download_songs(entries, quietly_into(folder));
  const std::string reported = testing::internal::GetCapturedStderr();

  EXPECT_TRUE(signalled);
  EXPECT_EQ(status, kDownloadInterrupted);
  EXPECT_EQ(reported,
            "songsearch: interrupted; " + folder / "S.mp3.part" + " is kept for the next try\n");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"S.mp3.part"});
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST(DownloadTest, AHostileNameStaysInTheChosenFolder) {
  test_support::RawHttpServer server(song(Serving::whole));
  ScratchFolder outer;
  const std::string inner = outer / "inner";
  mkdir(inner.c_str(), 0755);
  DownloadOptions options = quietly_into(outer);
  options.output_dir = inner;
  for (const char* name : {"../escape", "/tmp/../escape", "..", ".hidden", "-rf"}) {
    const DownloadOutcome outcome =
        download_song(entry(name, server.url("/a.mp3"), "../hash"), options);
    EXPECT_EQ(outcome.result, DownloadResult::saved) << name << ": " << outcome.reason;
    EXPECT_EQ(outcome.path.rfind(inner + "/", 0), 0u) << outcome.path;
    EXPECT_EQ(outcome.path.find('/', inner.size() + 1), std::string::npos) << outcome.path;
  }
  EXPECT_EQ(outer.names(), std::vector<std::string>{"inner"});
}

// Only a complete answer, reached by at most the client's limit of redirects, is saved; a loop, an
// error answer, an existing file without --force or a refused address writes nothing, and the
// last two send nothing.
TEST(DownloadTest, WhatCannotBeSavedWritesNothing) {
  test_support::RawHttpServer server([](const ReceivedRequest& request, Socket& socket) {
    if (request.target() == "/song.mp3") {
      socket.send(head("200 OK", "", 4) + "song");
    } else if (request.target() == "/moved.mp3") {
      socket.send(head("302 Found", "Location: /song.mp3\r\n", 0));
    } else if (request.target() == "/gone.mp3") {
      socket.send(head("404 Not Found", "", 4) + "gone");
    } else {
      socket.send(head("302 Found", "Location: /loop.mp3\r\n", 0));
    }
  });
  ScratchFolder folder;
  write_file(folder / "E.mp3", "mine");
  const std::string authority = server.authority();
  const std::string refused = "the play address is not an http:// or https:// address";
  const struct {
    std::string url;
    const char* name;
    DownloadResult result;
    std::string reason;
  } cases[] = {
      {server.url("/moved.mp3"), "S", DownloadResult::saved, ""},
      {server.url("/loop.mp3"), "L", DownloadResult::failed,
       folder / "L.mp3: a redirect cannot be followed"},
      {server.url("/gone.mp3"), "G", DownloadResult::failed,
       folder / "G.mp3: the server answered 404"},
      {server.url("/exists.mp3"), "E", DownloadResult::exists,
       folder / "E.mp3 exists (--force replaces it)"},
      {"", "R", DownloadResult::failed, "the play address is empty"},
      {"file:///etc/passwd", "R", DownloadResult::failed, refused},
      {"--output=/tmp/x", "R", DownloadResult::failed, refused},
      {"http://user:secret@" + authority + "/a.mp3", "R", DownloadResult::failed,
       "the play address carries credentials"},
      {"HTTP://@" + authority + "/a.mp3", "R", DownloadResult::failed,
       "the play address carries credentials"},
      {"http:///a.mp3", "R", DownloadResult::failed, "the play address names no host"},
      {"http://" + authority + "/a b.mp3", "R", DownloadResult::failed,
       "the play address holds a blank or a control character"},
  };
  for (const auto& c : cases) {
    const DownloadOutcome outcome = download_song(entry(c.name, c.url), quietly_into(folder));
    EXPECT_EQ(outcome.result, c.result) << c.url;
    EXPECT_NE(outcome.reason.find(c.reason), std::string::npos) << c.url << ": " << outcome.reason;
  }
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"E.mp3", "S.mp3"}));
  EXPECT_EQ(file_bytes(folder / "E.mp3"), "mine");
  EXPECT_EQ(file_bytes(folder / "S.mp3"), "song");
  for (const ReceivedRequest& request : server.requests()) {
    EXPECT_NE(request.target(), "/exists.mp3");
    EXPECT_NE(request.target(), "/a.mp3");
  }
}

// A player that writes each argument after its first, in brackets, one a line, to the file its
// first argument names.
constexpr char kRecordingPlayer[] =
    "#!/bin/sh\n"
    "out=\"$1\"; shift\n"
    "for word in \"$@\"; do printf '[%s]\\n' \"$word\"; done > \"$out\"\n";

TEST(PlayerTest, TheAddressIsOneArgumentAfterThePlayersOwnAndNeverACommand) {
  ScratchFolder folder;
  write_file(folder / "player", kRecordingPlayer, 0755);
  const std::string player = "'" + folder / "player" + "' '" + folder / "record" + "'";
  const char* url = "http://h/a.mp3?x=1;touch${IFS}pwned&y=$(touch${IFS}pwned)`touch${IFS}pwned`";
  EXPECT_EQ(play_song(entry("S", url), {player + " --flag 'two words' \"q\\\"\""}), 0);
  EXPECT_EQ(file_bytes(folder / "record"),
            std::string("[--flag]\n[two words]\n[q\"]\n[") + url + "]\n");
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"player", "record"}));
}

// A player killed by a signal ends the run as a shell reports it; a player that cannot start, or
// an address that is no web address, ends it with status one and a message.
TEST(PlayerTest, ThePlayersEndOrTheRefusalBecomesTheExitStatus) {
  const struct {
    const char* player;
    const char* url;
    int status;
    std::string message;
  } cases[] = {
      {"sh -c 'kill -TERM $$'", "http://h/a.mp3", 128 + 15, ""},
      {"true", "-o/tmp/x", kPlayerUnavailable,
       "songsearch: the play address is not an http:// or https:// address"},
      {"no-such-player-program", "http://h/a.mp3", kPlayerUnavailable,
       "songsearch: cannot start the player 'no-such-player-program': No such file or directory\n"},
  };
  for (const auto& c : cases) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(play_song(entry("S", c.url), {c.player}), c.status) << c.url;
    EXPECT_TRUE(testing::internal::GetCapturedStderr().starts_with(c.message)) << c.url;
  }
}

TEST(PlayerTest, TheOptionBeatsTheEnvironmentWhichBeatsTheKnownPlayers) {
  ScratchFolder path;
  write_file(path / "cvlc", "#!/bin/sh\n", 0755);
  write_file(path / "mplayer", "#!/bin/sh\n", 0755);
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

}  // namespace
