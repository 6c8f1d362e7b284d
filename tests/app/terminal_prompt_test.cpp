// The prompt on a terminal: line editing, the keyword history across runs, and the ways out.
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/app/end_to_end.h"

namespace end_to_end {
namespace {

using test_support::ProgramRun;
using test_support::ReceivedRequest;
using test_support::RunOptions;
using test_support::TerminalSession;

constexpr char kLeft[] = "\x1b[D", kRight[] = "\x1b[C", kUp[] = "\x1b[A", kHome[] = "\x1b[H",
               kEnd[] = "\x1b[F", kDelete[] = "\x1b[3~", kBackspace[] = "\x7f";

// The keywords of the searches the service was asked for, as they went on the wire.
std::vector<std::string> searched(const std::vector<ReceivedRequest>& requests) {
  std::vector<std::string> keywords;
  for (const ReceivedRequest& request : requests) {
    if (request.endpoint != test_support::Endpoint::search) continue;
    const std::size_t start = request.target.find("keyword=") + 8;
    keywords.push_back(request.target.substr(start, request.target.find("&page") - start));
  }
  return keywords;
}

std::string file_text(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// Each test keeps its history in a folder of its own, named by XDG_STATE_HOME.
class TerminalPromptTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    const char* outer = std::getenv("XDG_STATE_HOME");
    outer_state_ = outer != nullptr ? std::optional<std::string>(outer) : std::nullopt;
    char folder[] = "/tmp/songsearch-state-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    state_ = folder;
    ::setenv("XDG_STATE_HOME", folder, 1);
    ::unsetenv("SONGSEARCH_HISTORY");
    serve(kFiveSongs);
  }
  void TearDown() override {
    if (outer_state_) {
      ::setenv("XDG_STATE_HOME", outer_state_->c_str(), 1);
    } else {
      ::unsetenv("XDG_STATE_HOME");
    }
    ::unsetenv("SONGSEARCH_HISTORY");
    std::filesystem::remove_all(state_);
  }

  [[nodiscard]] std::string history_file() const { return state_ + "/songsearch/history"; }

  // A session in `locale` whose terminal has IUTF8 off, showing the prompt.
  static void start(TerminalSession& session, const char* locale) {
    ASSERT_TRUE(session.started());
    termios modes = session.modes();
    modes.c_iflag &= ~static_cast<tcflag_t>(IUTF8);
    session.set_modes(modes);
    ASSERT_TRUE(session.wait_for(shown_in(locale, on_screen(kPrompt))));
  }

  // Types each of `keywords` (UTF-8 keys) at the prompt and `at_wait` and Enter at the wait, then
  // ends the input.
  static void search_typed(const std::vector<std::string>& keywords,
                           const char* locale = kUtf8Locale, const std::string& at_wait = "") {
    TerminalSession session(kProgram, RunOptions{.locale = locale});
    start(session, locale);
    for (const std::string& keys : keywords) {
      session.type(shown_in(locale, keys) + "\r");
      ASSERT_TRUE(session.wait_for(shown_in(locale, on_screen(kComplete))));
      session.type(at_wait + "\r");
      ASSERT_TRUE(session.wait_for(shown_in(locale, on_screen(kPrompt))));
    }
    session.type("\x04");
    EXPECT_EQ(session.finish().exit_code, 0);
  }

  std::string state_;
  std::optional<std::string> outer_state_;
};

TEST_F(TerminalPromptTest, EditingKeysWorkOnWholeCharactersInAUtf8AndAGbkLocaleWithIutf8Off) {
  const std::string sun = utf8(u8"太阳"), moon = utf8(u8"月亮");  // the wire carries UTF-8
  const struct {
    std::string keys, keyword;
  } cases[] = {
      {sun + kBackspace, "%E5%A4%AA"},
      {sun + kLeft + kDelete + utf8(u8"月"), "%E5%A4%AA%E6%9C%88"},
      {std::string("ab") + kLeft + kLeft + "x" + kRight + "y", "xayb"},
      {std::string("abc") + kHome + "x" + kEnd + "y", "xabcy"},
      {"abc\x01x\x05y", "xabcy"},
      {"one two\x17", "one%20"},
      {std::string("abc") + kLeft + "\x0b", "ab"},
      {std::string("abc") + kLeft + "\x15", "c"},
      // Keys the prompt gives no meaning leave nothing behind: F5, Page Up, Insert, F1, and
      // Ctrl-Left moving a word back.
      {moon + "\x1b[15~\x1b[5~\x1b[2~\x1bOP\x1b[1;5Dx", "x%E6%9C%88%E4%BA%AE"},
  };
  for (const char* locale : {kUtf8Locale, kGbkLocale}) {
    std::vector<std::string> keys, expected;
    for (const auto& [typed, keyword] : cases) {
      keys.push_back(typed);
      expected.push_back(keyword);
    }
    SCOPED_TRACE(locale);
    service_.forget_requests();
    search_typed(keys, locale);
    EXPECT_EQ(searched(service_.requests()), expected);
  }
}

TEST_F(TerminalPromptTest, UpRecallsTheKeywordsOfEarlierRunsAndCtrlRSearchesThem) {
  const std::string stars = utf8(u8"星星");
  // The lines typed at the wait and a keyword equal to the one before it are not kept.
  search_typed({"moon", "moon", stars}, kUtf8Locale, "waiting");
  EXPECT_EQ(file_text(history_file()), "moon\n" + stars + "\n");
  struct stat file {};
  ASSERT_EQ(::stat(history_file().c_str(), &file), 0);
  EXPECT_EQ(file.st_mode & 0777, 0600u);

  service_.forget_requests();
  search_typed({kUp, std::string(kUp) + kUp, "\x12mo"}, kGbkLocale);
  EXPECT_EQ(searched(service_.requests()),
            (std::vector<std::string>{"%E6%98%9F%E6%98%9F", "moon", "moon"}));
}

// The modes of a terminal no program has changed.
termios fresh_terminal_modes() {
  int controller = -1, terminal = -1;
  termios modes{};
  if (::openpty(&controller, &terminal, nullptr, nullptr, nullptr) == 0) {
    ::tcgetattr(terminal, &modes);
    ::close(terminal);
    ::close(controller);
  }
  return modes;
}

TEST_F(TerminalPromptTest, CtrlCAndCtrlDEndTheProgramWithTheTerminalsModesAsTheyWere) {
  const struct {
    const char* keys;
    int exit_code;
  } ways_out[] = {{"abc\x03", 130}, {"moon\r\x03", 130}, {"\x04", 0}};
  for (const auto& [keys, exit_code] : ways_out) {
    SCOPED_TRACE(keys);
    TerminalSession session(kProgram);
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.wait_for(on_screen(kPrompt)));
    session.type(keys);
    const ProgramRun run = session.finish();
    EXPECT_EQ(run.exit_code, exit_code);
    const termios before = fresh_terminal_modes(), after = session.modes();
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_TRUE(std::equal(after.c_cc, after.c_cc + NCCS, before.c_cc));
  }
}

}  // namespace
}  // namespace end_to_end
