#include "app/download/download.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "runtime/text_blocks.h"
#include "tests/app/download/download_fixture.h"
#include "tests/support/raw_http_server.h"

namespace {

using download_test::file_bytes;
using download_test::ScratchFolder;
using download_test::write_file;
using test_support::ReceivedRequest;
using test_support::Socket;

const std::string& song_body() {
  static const std::string body = [] {
    std::string bytes(300'000, '\0');
    for (std::size_t at = 0; at < bytes.size(); ++at) {
      bytes[at] = static_cast<char>(at * 7 % 251);
    }
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

enum class Serving { whole, honour_range, break_off_at_100k };

// A song server: the body as audio/mpeg, honouring Range or not, or breaking off after 100,000
// bytes of the body.
test_support::RawHttpServer::Handler song(Serving serving) {
  return [serving](const ReceivedRequest& request, Socket& socket) {
    const std::string& body = song_body();
    const auto from = range_start(request);
    if (serving == Serving::honour_range && from && *from >= body.size()) {
      socket.send(head("416 Range Not Satisfiable",
                       "Content-Range: bytes */" + std::to_string(body.size()) + "\r\n", 0));
    } else if (serving == Serving::honour_range && from) {
      const std::string rest = body.substr(*from);
      socket.send(head("206 Partial Content",
                       "Content-Type: audio/mpeg\r\nContent-Range: bytes " + std::to_string(*from) +
                           "-" + std::to_string(body.size() - 1) + "/" +
                           std::to_string(body.size()) + "\r\n",
                       rest.size()) +
                  rest);
    } else if (serving == Serving::break_off_at_100k) {
      socket.send(head("200 OK", "Content-Type: audio/mpeg\r\n", body.size()) +
                  body.substr(0, 100'000));
    } else {
      socket.send(head("200 OK", "Content-Type: audio/mpeg\r\n", body.size()) + body);
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

TEST(DownloadTest, SavesTheWholeBodyUnderTheEntrysNameAndLeavesNoPart) {
  test_support::RawHttpServer server(song(Serving::whole));
  ScratchFolder folder;
  const DownloadOutcome outcome =
      download_song(entry("Singer - Song", server.url("/m/a.mp3")), quietly_into(folder));
  EXPECT_EQ(outcome.result, DownloadResult::saved) << outcome.reason;
  EXPECT_EQ(outcome.path, folder / "Singer - Song.mp3");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"Singer - Song.mp3"});
  EXPECT_TRUE(file_bytes(outcome.path) == song_body());
}

TEST(DownloadTest, ProgressIsARedrawnLineOrOneSummaryLineOrNothing) {
  test_support::RawHttpServer server(song(Serving::whole));
  const std::pair<ProgressDisplay, std::string> cases[] = {
      {ProgressDisplay::line, "\rS.mp3  293.0 KiB of 293.0 KiB  100%  0:00 left  "},
      {ProgressDisplay::summary, "songsearch: saved S.mp3 (293.0 KiB in "},
      {ProgressDisplay::none, ""},
  };
  for (const auto& [display, start] : cases) {
    ScratchFolder folder;
    DownloadOptions options = quietly_into(folder);
    options.progress = display;
    testing::internal::CaptureStderr();
    EXPECT_EQ(download_song(entry("S", server.url("/a.mp3")), options).result,
              DownloadResult::saved);
    const std::string reported = testing::internal::GetCapturedStderr();
    // The last drawing of the line, or the whole report.
    const std::size_t last_drawing = reported.rfind('\r');
    const std::string last = reported.substr(last_drawing == std::string::npos ? 0 : last_drawing);
    EXPECT_EQ(last.substr(0, start.size()), start) << reported;
    EXPECT_EQ(std::count(reported.begin(), reported.end(), '\n'), start.empty() ? 0 : 1);
  }
}

TEST(DownloadTest, ABodyThatBreaksOffKeepsThePartAndTheNextTryResumesIt) {
  ScratchFolder folder;
  const std::string part = folder / "Song.mp3.part";
  {
    test_support::RawHttpServer broken(song(Serving::break_off_at_100k));
    const DownloadOutcome outcome =
        download_song(entry("Song", broken.url("/a.mp3")), quietly_into(folder));
    EXPECT_EQ(outcome.result, DownloadResult::failed);
    EXPECT_NE(outcome.reason.find("kept for the next try"), std::string::npos) << outcome.reason;
    EXPECT_EQ(folder.names(), std::vector<std::string>{"Song.mp3.part"});
    EXPECT_TRUE(file_bytes(part) == song_body().substr(0, 100'000));
  }
  test_support::RawHttpServer resuming(song(Serving::honour_range));
  const DownloadOutcome outcome =
      download_song(entry("Song", resuming.url("/a.mp3")), quietly_into(folder));
  EXPECT_EQ(outcome.result, DownloadResult::saved) << outcome.reason;
  ASSERT_EQ(resuming.requests().size(), 1u);
  EXPECT_EQ(resuming.requests()[0].header("Range"), "bytes=100000-");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"Song.mp3"});
  EXPECT_TRUE(file_bytes(folder / "Song.mp3") == song_body());
}

// What an existing part becomes, by how the server answers its Range request.
TEST(DownloadTest, AnExistingPartIsContinuedReplacedOrCompletedByTheAnswer) {
  const std::string& body = song_body();
  struct Case {
    const char* what;
    Serving serving;
    std::string part;
    std::size_t requests;
  };
  const Case cases[] = {
      {"a 206 appends", Serving::honour_range, body.substr(0, 1234), 1},
      {"a 200 starts again from zero", Serving::whole, std::string(5000, 'x'), 1},
      {"a 416 of the part's length completes it", Serving::honour_range, body, 1},
      {"a 416 of another length starts again", Serving::honour_range, body + "extra", 2},
  };
  for (const Case& c : cases) {
    test_support::RawHttpServer server(song(c.serving));
    ScratchFolder folder;
    write_file(folder / "S.mp3.part", c.part);
    const DownloadOutcome outcome =
        download_song(entry("S", server.url("/a.mp3")), quietly_into(folder));
    EXPECT_EQ(outcome.result, DownloadResult::saved) << c.what << ": " << outcome.reason;
    EXPECT_EQ(folder.names(), std::vector<std::string>{"S.mp3"}) << c.what;
    EXPECT_TRUE(file_bytes(folder / "S.mp3") == body) << c.what;
    EXPECT_EQ(server.requests().size(), c.requests) << c.what;
  }
}

TEST(DownloadTest, A206ThatContinuesElsewhereStartsAgainFromZero) {
  test_support::RawHttpServer server([](const ReceivedRequest& request, Socket& socket) {
    if (range_start(request)) {
      socket.send(head("206 Partial Content", "Content-Range: bytes 0-2/3\r\n", 3) + "abc");
    } else {
      socket.send(head("200 OK", "", 3) + "xyz");
    }
    socket.close();
  });
  ScratchFolder folder;
  write_file(folder / "S.mp3.part", "12345");
  const DownloadOutcome outcome =
      download_song(entry("S", server.url("/a.mp3")), quietly_into(folder));
  EXPECT_EQ(outcome.result, DownloadResult::saved) << outcome.reason;
  EXPECT_EQ(file_bytes(folder / "S.mp3"), "xyz");
}

TEST(DownloadTest, AnExistingFileIsKeptUnlessForced) {
  test_support::RawHttpServer server(song(Serving::whole));
  ScratchFolder folder;
  write_file(folder / "S.mp3", "mine");
  DownloadOptions options = quietly_into(folder);

  const DownloadOutcome kept = download_song(entry("S", server.url("/a.mp3")), options);
  EXPECT_EQ(kept.result, DownloadResult::exists);
  EXPECT_EQ(kept.reason, folder / "S.mp3" + " exists (--force replaces it)");
  EXPECT_EQ(file_bytes(folder / "S.mp3"), "mine");
  EXPECT_TRUE(server.requests().empty());

  options.force = true;
  const DownloadOutcome replaced = download_song(entry("S", server.url("/a.mp3")), options);
  EXPECT_EQ(replaced.result, DownloadResult::saved) << replaced.reason;
  EXPECT_TRUE(file_bytes(folder / "S.mp3") == song_body());
}

TEST(DownloadTest, TheContentTypeNamesTheExtensionWhenTheAddressHasNone) {
  test_support::RawHttpServer server(song(Serving::whole));
  ScratchFolder folder;
  const DownloadOutcome outcome =
      download_song(entry("S", server.url("/play?id=1")), quietly_into(folder));
  EXPECT_EQ(outcome.result, DownloadResult::saved) << outcome.reason;
  EXPECT_EQ(folder.names(), std::vector<std::string>{"S.mp3"});
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

TEST(DownloadTest, RefusesAddressesOtherThanHttpAndThoseWithCredentials) {
  test_support::RawHttpServer server(song(Serving::whole));
  ScratchFolder folder;
  const std::string authority = server.authority();
  const std::pair<std::string, const char*> cases[] = {
      {"", "is empty"},
      {"ftp://" + authority + "/a.mp3", "is not an http:// or https:// address"},
      {"file:///etc/passwd", "is not an http:// or https:// address"},
      {"--output=/tmp/x", "is not an http:// or https:// address"},
      {"http://user:secret@" + authority + "/a.mp3", "carries credentials"},
      {"HTTP://@" + authority + "/a.mp3", "carries credentials"},
      {"http:///a.mp3", "names no host"},
      {"http://" + authority + "/a b.mp3", "holds a blank or a control character"},
  };
  for (const auto& [url, phrase] : cases) {
    const DownloadOutcome outcome = download_song(entry("S", url), quietly_into(folder));
    EXPECT_EQ(outcome.result, DownloadResult::failed) << url;
    EXPECT_NE(outcome.reason.find(std::string("the play address ") + phrase), std::string::npos)
        << outcome.reason;
  }
  EXPECT_TRUE(server.requests().empty());
  EXPECT_TRUE(folder.names().empty());
}

TEST(DownloadTest, RedirectsAreFollowedUpToTheClientsLimit) {
  test_support::RawHttpServer server([](const ReceivedRequest& request, Socket& socket) {
    if (request.target() == "/song.mp3") {
      socket.send(head("200 OK", "", 4) + "song");
    } else if (request.target() == "/moved.mp3") {
      socket.send(head("302 Found", "Location: /song.mp3\r\n", 0));
    } else {
      socket.send(head("302 Found", "Location: /loop.mp3\r\n", 0));
    }
  });
  ScratchFolder folder;
  const DownloadOutcome moved =
      download_song(entry("S", server.url("/moved.mp3")), quietly_into(folder));
  EXPECT_EQ(moved.result, DownloadResult::saved) << moved.reason;
  EXPECT_EQ(file_bytes(folder / "S.mp3"), "song");

  const DownloadOutcome looping =
      download_song(entry("L", server.url("/loop.mp3")), quietly_into(folder));
  EXPECT_EQ(looping.result, DownloadResult::failed);
  EXPECT_EQ(looping.reason, folder / "L.mp3" + ": a redirect cannot be followed");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"S.mp3"});
}

TEST(DownloadTest, AnErrorAnswerWritesNothing) {
  test_support::RawHttpServer server(
      test_support::answer_with(test_support::http_response("404 Not Found", "", "gone")));
  ScratchFolder folder;
  const DownloadOutcome outcome =
      download_song(entry("S", server.url("/a.mp3")), quietly_into(folder));
  EXPECT_EQ(outcome.result, DownloadResult::failed);
  EXPECT_EQ(outcome.reason, folder / "S.mp3" + ": the server answered 404");
  EXPECT_TRUE(folder.names().empty());
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

TEST(DownloadTest, EachFileNotSavedIsReportedAndFailsTheRun) {
  test_support::RawHttpServer server(song(Serving::whole));
  ScratchFolder folder;
  write_file(folder / "B.mp3", "mine");
  const SongEntry a = entry("A", server.url("/a.mp3")), b = entry("B", server.url("/b.mp3")),
                  c = entry("C", "file:///c.mp3");
  const SongEntry* entries[] = {&a, &b, &c};

  testing::internal::CaptureStderr();
  const int status = download_songs(entries, quietly_into(folder));
  const std::string reported = testing::internal::GetCapturedStderr();

  EXPECT_EQ(status, kDownloadFailed);
  EXPECT_EQ(reported, "songsearch: " + folder / "B.mp3" + " exists (--force replaces it)\n" +
                          "songsearch: " + folder / "C.mp3" +
                          ": the play address is not an http:// or https:// address\n");
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"A.mp3", "B.mp3"}));
}

}  // namespace
